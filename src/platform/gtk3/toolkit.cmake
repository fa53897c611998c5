# The desktop on GTK 3, WebKitGTK 4.1 and Ayatana AppIndicator; chosen by TESSARY_TOOLKIT=gtk3.
set(TESSARY_TOOLKIT_PACKAGES gtk+-3.0 webkit2gtk-4.1 ayatana-appindicator3-0.1)
set(TESSARY_TOOLKIT_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/application.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desktop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/downloads.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dropped_files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/menu.cpp
  ${CMAKE_CURRENT_LIST_DIR}/page_focus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sandbox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/status_item.cpp
  ${CMAKE_CURRENT_LIST_DIR}/web_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window.cpp
)
