# The window's job commands (Qt): the start command, the progress polling and
# the progress dialog. Included by mainwindow/CMakeLists.txt, which owns the
# velmora_ui target, so these sources see the main window's headers.
target_sources(velmora_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/av_convert_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/av_convert_dlg.h
  ${CMAKE_CURRENT_LIST_DIR}/progress_polling.cpp
  ${CMAKE_CURRENT_LIST_DIR}/progress_polling.h
  ${CMAKE_CURRENT_LIST_DIR}/sound_removal.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_grab.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_grab.h)
