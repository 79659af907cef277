# One function for every deliverable: a statically linked 32-bit DLL (or EXE) with its .def file
# (export names, ordinals and the export table's module name) and its .rc file.
#
#   add_plugin(<name> SOURCES ... [DEF file.def] [RC file.rc] [LIBS ...])
#   add_deliverable_program(<name> SOURCES ... [RC file.rc] [LIBS ...] [GUI])

set(KIT_WARNINGS -Wall -Wextra)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  # The 64-bit twin keeps the sources 64-bit clean: an int turned into a pointer (or, in C, a
  # pointer squeezed into an int) fails its build. C++ refuses a narrowing pointer cast by itself.
  list(APPEND KIT_WARNINGS $<$<COMPILE_LANGUAGE:C,CXX>:-Werror=int-to-pointer-cast>
    $<$<COMPILE_LANGUAGE:C>:-Werror=pointer-to-int-cast>)
endif()
# Sources are UTF-8; every narrow literal in a Windows binary is cp1251, as the host reads it.
set(KIT_CHARSET -finput-charset=UTF-8 -fexec-charset=CP1251)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 1251")

function(kit_common_options target)
  target_compile_options(${target} PRIVATE ${KIT_WARNINGS} $<$<COMPILE_LANGUAGE:C,CXX>:${KIT_CHARSET}>)
  target_compile_definitions(${target} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
endfunction()

# windres reads .rc files as cp1251 (Cyrillic dialog and version texts); our sources stay UTF-8,
# so every .rc is converted at build time.
function(kit_resource target rc)
  get_filename_component(rc_abs ${rc} ABSOLUTE)
  get_filename_component(rc_name ${rc} NAME)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_${rc_name})
  add_custom_command(OUTPUT ${out}
    COMMAND iconv -f UTF-8 -t CP1251 ${rc_abs} -o ${out}
    DEPENDS ${rc_abs} VERBATIM)
  target_sources(${target} PRIVATE ${out})
  set_source_files_properties(${out} PROPERTIES LANGUAGE RC)
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
endfunction()

# What every deliverable gets: its resources, our class library, a place in the static-link check.
function(kit_finish_deliverable name rc libs)
  if(rc)
    kit_resource(${name} ${rc})
  endif()
  target_link_libraries(${name} PRIVATE kit ${libs})
  set_property(GLOBAL APPEND PROPERTY KIT_DELIVERABLES ${name})
endfunction()

function(add_plugin name)
  cmake_parse_arguments(P "" "DEF;RC" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${P_SOURCES} ${KIT_SOURCE_DIR}/PluginMain.cpp)
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".dll")
  kit_common_options(${name})
  if(P_DEF)
    get_filename_component(def_abs ${P_DEF} ABSOLUTE)
    target_sources(${name} PRIVATE ${def_abs})
    # A decorated __stdcall symbol behind an undecorated .def name is an error, not a silent fix-up.
    target_link_options(${name} PRIVATE -Wl,--disable-stdcall-fixup)
  endif()
  kit_finish_deliverable(${name} "${P_RC}" "${P_LIBS}")
endfunction()

function(add_deliverable_program name)
  cmake_parse_arguments(P "GUI" "RC" "SOURCES;LIBS" ${ARGN})
  if(P_GUI)
    add_executable(${name} WIN32 ${P_SOURCES})
  else()
    add_executable(${name} ${P_SOURCES})
  endif()
  kit_common_options(${name})
  kit_finish_deliverable(${name} "${P_RC}" "${P_LIBS}")
endfunction()
