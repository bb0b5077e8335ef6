# The data-access layer: the default session with its password dialog, tables over the
# table engine (reading through its cursors, changes through its table editor).
target_sources(toolkit PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/password_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/session.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table.cpp)
target_link_libraries(toolkit PUBLIC paradox)

velanta_test(data_access_test GUI
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/table_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/password_dialog_test.cpp
  LINKS toolkit
)
