# Windows test programs run under Wine through CTest's cross-compiling emulator: a wrapper that
# owns the Wine prefixes inside the build tree (see wine-run.sh.in).
set(WINE_PREFIX_BASE ${CMAKE_BINARY_DIR}/wineprefix)
set(WINE_REG_DIR ${CMAKE_BINARY_DIR}/wine-registry)
file(MAKE_DIRECTORY ${WINE_REG_DIR}/headless)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-registry.reg ${WINE_REG_DIR}/base.reg COPYONLY)
configure_file(${CMAKE_SOURCE_DIR}/cmake/headless/null-graphics.reg ${WINE_REG_DIR}/headless/null-graphics.reg COPYONLY)
set(WINE_PREFIX ${WINE_PREFIX_BASE})
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
  @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(WINE_RUN ${CMAKE_BINARY_DIR}/wine-run.sh)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_RUN})

# A private X server for the tests that paint, started and stopped by CTest fixtures.
# Xvfb picks a free display; the wrapper reads its name from the state folder.
set(TEST_XVFB_STATE ${CMAKE_BINARY_DIR}/xvfb)
add_test(NAME xvfb_start COMMAND ${CMAKE_SOURCE_DIR}/scripts/xvfb-fixture.sh start ${TEST_XVFB_STATE})
add_test(NAME xvfb_stop COMMAND ${CMAKE_SOURCE_DIR}/scripts/xvfb-fixture.sh stop ${TEST_XVFB_STATE})
set_tests_properties(xvfb_start PROPERTIES FIXTURES_SETUP xvfb)
set_tests_properties(xvfb_stop PROPERTIES FIXTURES_CLEANUP xvfb)

# The local network services (testing/services), started and stopped by CTest fixtures; they write
# their ports to this file, which tests with SERVICES find through TEST_SERVICES_FILE.
set(TEST_SERVICES_FILE ${CMAKE_BINARY_DIR}/testing/services/state/ports.txt)

#   add_wine_test(<name> SOURCES ... [LIBS ...] [DISPLAY] [SERVICES] [RUN_SERIAL] [TIMEOUT s] [ENVIRONMENT ...])
# One doctest program per area; its cases run in one Wine start.
function(add_wine_test name)
  cmake_parse_arguments(T "DISPLAY;SERVICES;RUN_SERIAL" "TIMEOUT" "SOURCES;LIBS;ENVIRONMENT;DEPENDS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${CMAKE_SOURCE_DIR}/tests/support/doctest_main.cpp)
  kit_common_options(${name})
  target_link_libraries(${name} PRIVATE third_party test_support ${T_LIBS})
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS})
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set(env "TEST_BINARY_DIR=${CMAKE_BINARY_DIR}" "TEST_SOURCE_DIR=${CMAKE_SOURCE_DIR}" ${T_ENVIRONMENT})
  set(fixtures)
  if(T_DISPLAY)
    list(APPEND env "WINE_TEST_DISPLAY_FILE=${TEST_XVFB_STATE}/display")
    list(APPEND fixtures xvfb)
  endif()
  if(T_SERVICES)
    list(APPEND env "TEST_SERVICES_FILE=${TEST_SERVICES_FILE}")
    list(APPEND fixtures services)
  endif()
  if(fixtures)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${fixtures}")
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
  if(T_RUN_SERIAL)
    set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()
