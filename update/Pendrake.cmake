# The update plug-in's window side: the HTML pane, the download worker, the update window and the
# exports that make pendrake.dll. Included from update/CMakeLists.txt.

# The built-in page of the HTML pane: cp1251 bytes from the UTF-8 source.
set(PENDRAKE_PAGE ${CMAKE_CURRENT_BINARY_DIR}/DefaultPage.cp1251.html)
add_custom_command(OUTPUT ${PENDRAKE_PAGE}
  COMMAND iconv -f UTF-8 -t CP1251 ${CMAKE_CURRENT_LIST_DIR}/DefaultPage.html -o ${PENDRAKE_PAGE}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/DefaultPage.html VERBATIM)
add_custom_target(pendrake_page DEPENDS ${PENDRAKE_PAGE})

# Adds the pane's resource (the built-in page) to `target`: the plug-in, or a test program that
# links the pane.
function(pendrake_pane_resource target)
  kit_resource(${target} ${CMAKE_SOURCE_DIR}/update/HtmlPane.rc)
  target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/update)
  add_dependencies(${target} pendrake_page)
endfunction()

add_library(update_pane STATIC ${CMAKE_CURRENT_LIST_DIR}/HtmlPane.cpp)
kit_common_options(update_pane)
target_link_libraries(update_pane PUBLIC kit htmlayout_import user32 gdi32)

add_library(update_worker STATIC ${CMAKE_CURRENT_LIST_DIR}/DownloadWorker.cpp ${CMAKE_CURRENT_LIST_DIR}/FileRequest.cpp)
kit_common_options(update_worker)
target_link_libraries(update_worker PUBLIC update_engine kit wininet)

# The window side: the parameter store, the update log and the update window.
add_library(update_window STATIC
  ${CMAKE_CURRENT_LIST_DIR}/UpdateParamStore.cpp ${CMAKE_CURRENT_LIST_DIR}/UpdateLog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UpdateDialog.cpp)
kit_common_options(update_window)
target_link_libraries(update_window PUBLIC update_worker update_pane update_engine kit comctl32 user32 gdi32)

# Adds the update window's resources (its template and the pane's page) to `target`.
function(pendrake_window_resource target)
  kit_resource(${target} ${CMAKE_SOURCE_DIR}/update/UpdateWindow.rc)
  target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/update ${CMAKE_SOURCE_DIR}/update)
  add_dependencies(${target} pendrake_page)
endfunction()

# The files pendrake.dll carries: the updater program (the `updater` target, or the program that
# PENDRAKE_UPDATER_EXE names) and a 16 by 16 GIF made by make-gif.py.
set(PENDRAKE_UPDATER_EXE "" CACHE FILEPATH "updater program to embed as FILES 4012 (empty: the updater target)")
set(PENDRAKE_GIF ${CMAKE_CURRENT_BINARY_DIR}/pendrake16.gif)
add_custom_command(OUTPUT ${PENDRAKE_GIF}
  COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/make-gif.py ${PENDRAKE_GIF}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make-gif.py VERBATIM)
# The program is copied beside the resource script, so the script is compiled again whenever it
# changes.
set(pendrake_updater ${CMAKE_CURRENT_BINARY_DIR}/embedded-updater.exe)
if(PENDRAKE_UPDATER_EXE)
  add_custom_command(OUTPUT ${pendrake_updater}
    COMMAND ${CMAKE_COMMAND} -E copy ${PENDRAKE_UPDATER_EXE} ${pendrake_updater}
    DEPENDS ${PENDRAKE_UPDATER_EXE} VERBATIM)
else()
  add_custom_command(OUTPUT ${pendrake_updater}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:updater> ${pendrake_updater}
    DEPENDS updater VERBATIM)
endif()
add_custom_target(pendrake_files DEPENDS ${pendrake_updater} ${PENDRAKE_GIF})
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/PendrakeFiles.rc
  "4012 FILES \"${pendrake_updater}\"\n4013 FILES \"${PENDRAKE_GIF}\"\n")

add_plugin(pendrake
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PendrakeExports.cpp
  DEF ${CMAKE_CURRENT_LIST_DIR}/pendrake.def
  RC ${CMAKE_CURRENT_LIST_DIR}/pendrake.rc
  LIBS update_window htmlayout_import)
target_include_directories(pendrake PRIVATE ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_CURRENT_LIST_DIR})
add_dependencies(pendrake pendrake_page pendrake_files)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/pendrake_pendrake.rc PROPERTIES
  OBJECT_DEPENDS "${pendrake_updater};${PENDRAKE_GIF};${CMAKE_CURRENT_BINARY_DIR}/PendrakeFiles.rc;${PENDRAKE_PAGE}")
