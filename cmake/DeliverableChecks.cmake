# Checks of the shipped files that need no execution: their bytes are read as they are (PE32 format,
# export names and ordinals, the export table's module name, imports of system DLLs only, version
# resources). They carry the label "static", so a machine that runs no 32-bit code still runs them
# against the 32-bit deliverables (ctest -L static). KNOWN_DLLS_ONLY: every import is one that the
# loader never looks for in the program's own folder (a known DLL, or comctl32 bound by the
# manifest to the side-by-side store).
#
#   add_deliverable_check(<target> [MODULE name] [EXPORTS ord:name|name ...] [VERSION a.b.c.d]
#                         [STRINGS key=value ...] [RESOURCES type:id ...] [ALLOW_IMPORTS dll ...]
#                         [MANIFEST_LEVEL level] [MANIFEST_OS guid ...] [KNOWN_DLLS_ONLY])
function(add_deliverable_check target)
  cmake_parse_arguments(C "KNOWN_DLLS_ONLY" "MODULE;VERSION;MANIFEST_LEVEL" "EXPORTS;STRINGS;RESOURCES;ALLOW_IMPORTS;MANIFEST_OS" ${ARGN})
  set(args $<TARGET_FILE:${target}> --pe32 --imports-system-only)
  if(C_KNOWN_DLLS_ONLY)
    list(APPEND args --imports-known-dlls)
  endif()
  if(DEFINED C_MODULE)
    list(APPEND args --module ${C_MODULE})
  endif()
  if(C_EXPORTS)
    list(APPEND args --exact-exports)
    foreach(e ${C_EXPORTS})
      list(APPEND args --export ${e})
    endforeach()
  endif()
  if(C_VERSION)
    list(APPEND args --version ${C_VERSION})
  endif()
  foreach(s ${C_STRINGS})
    list(APPEND args --string ${s})
  endforeach()
  foreach(r ${C_RESOURCES})
    list(APPEND args --resource ${r})
  endforeach()
  foreach(d ${C_ALLOW_IMPORTS})
    list(APPEND args --allow-import ${d})
  endforeach()
  if(C_MANIFEST_LEVEL)
    list(APPEND args --manifest-level ${C_MANIFEST_LEVEL})
  endif()
  foreach(o ${C_MANIFEST_OS})
    list(APPEND args --manifest-os ${o})
  endforeach()
  add_test(NAME shape_${target} COMMAND python3 ${CMAKE_SOURCE_DIR}/scripts/check-pe.py ${args})
  set_tests_properties(shape_${target} PROPERTIES LABELS static)
endfunction()
