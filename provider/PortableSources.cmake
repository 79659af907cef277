# The provider's sources that need nothing from Win32 (the session's list, the answer's
# flattening, the output-key table, the debug rows): built into ravo, into its Windows tests and
# natively for the sanitizers and the fuzzer.
set(RAVO_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/StatsSession.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StatsJson.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StatsFlatten.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OutputKeys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DebugStats.cpp)
