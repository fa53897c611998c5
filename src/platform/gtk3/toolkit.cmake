# The desktop on GTK 3, WebKitGTK 4.1 and Ayatana AppIndicator; chosen by TESSARY_TOOLKIT=gtk3.
# Beside its own folder it takes GLib's event loop, POSIX processes and the engine code that
# any WebKitGTK shares.
set(TESSARY_TOOLKIT_PACKAGES gtk+-3.0 webkit2gtk-4.1 ayatana-appindicator3-0.1)
set(tessary_platform_dir ${CMAKE_CURRENT_LIST_DIR}/..)
set(TESSARY_TOOLKIT_SOURCES
  ${tessary_platform_dir}/glib/environment.cpp
  ${tessary_platform_dir}/glib/glib_child_process.cpp
  ${tessary_platform_dir}/glib/glib_system.cpp
  ${tessary_platform_dir}/posix/process_groups.cpp
  ${tessary_platform_dir}/webkit/dropped_files.cpp
  ${tessary_platform_dir}/webkit/page_focus.cpp
  ${tessary_platform_dir}/webkit/sandbox.cpp
  ${tessary_platform_dir}/webkit/webkit_download.cpp
  ${tessary_platform_dir}/webkit/webkit_web_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gtk3_application.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gtk3_desktop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gtk3_status_item.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gtk3_web_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gtk3_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/menu.cpp
)
