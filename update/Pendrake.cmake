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

add_library(update_worker STATIC ${CMAKE_CURRENT_LIST_DIR}/DownloadWorker.cpp)
kit_common_options(update_worker)
target_link_libraries(update_worker PUBLIC update_engine kit wininet)
