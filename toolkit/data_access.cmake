# The data-access layer: the default session with its password dialog, tables over the
# table engine, and how records are stored through it.
target_sources(toolkit PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/password_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/session.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_writes.cpp)
target_link_libraries(toolkit PUBLIC paradox)
