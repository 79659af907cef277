# The update plug-in's sources that need nothing from Win32: built into pendrake, into its
# Windows tests and natively for the sanitizers.
set(PENDRAKE_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/portable/VersionText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/portable/SizeText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/portable/FormatText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/portable/UpdateListRules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/portable/ResumeRules.cpp)
