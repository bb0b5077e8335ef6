# The writing side of the table engine: creating tables, changing them in place, durability
# (rollback journal), sharing (OS locks), and `velanta-tool check`.
list(APPEND PARADOX_WRITING_SOURCES
  key_order.cpp
  table_spec.cpp
  record_values.cpp
  header_builder.cpp
  tree_builder.cpp
  blob_writer.cpp
  create.cpp
  page_overlay.cpp
  journal.cpp
  block_file.cpp
  table_lock.cpp
  table_family.cpp
  table_writer.cpp
  table_check.cpp
  table_editor.cpp
)

if(VELANTA_TESTS AND PXLIB_FOUND)
  # pxlib is a second opinion in tests only; px_mb_shim.cpp works around its .MB defect.
  velanta_test(paradox_create_test SOURCES
    create_test.cpp
    testing/pxlib_oracle.cpp
    testing/px_mb_shim.cpp
    LINKS paradox PkgConfig::PXLIB dl)
  velanta_test(paradox_writer_test SOURCES
    table_writer_test.cpp
    table_sharing_test.cpp
    fixture_writes_test.cpp
    testing/pxlib_oracle.cpp
    testing/px_mb_shim.cpp
    LINKS paradox PkgConfig::PXLIB dl)
endif()

if(VELANTA_TESTS)
  velanta_test(paradox_check_command_test SOURCES check_command_test.cpp LINKS paradox)
  target_compile_definitions(paradox_check_command_test PRIVATE VELANTA_TOOL="$<TARGET_FILE:velanta-tool>")
  add_dependencies(paradox_check_command_test velanta-tool)
endif()
