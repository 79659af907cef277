# Header-only libraries from Debian's packages. The cross compiler must not see /usr/include (it
# would pick up glibc's headers), so a folder of symlinks in the build tree carries just these.
set(THIRD_PARTY_INCLUDE ${CMAKE_BINARY_DIR}/third-party-include)
file(MAKE_DIRECTORY ${THIRD_PARTY_INCLUDE})
foreach(lib rapidjson doctest)
  if(NOT EXISTS /usr/include/${lib})
    message(FATAL_ERROR "/usr/include/${lib} is missing: run 'make setup' (installs ${lib}-dev)")
  endif()
  file(CREATE_LINK /usr/include/${lib} ${THIRD_PARTY_INCLUDE}/${lib} SYMBOLIC)
endforeach()

add_library(third_party INTERFACE)
target_include_directories(third_party SYSTEM INTERFACE ${THIRD_PARTY_INCLUDE})
if(WIN32)
  # The default win32 thread model has no std::mutex/std::thread.
  target_compile_definitions(third_party INTERFACE DOCTEST_CONFIG_NO_MULTITHREADING)
endif()
