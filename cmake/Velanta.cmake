include(GoogleTest)

# Real files written by other programs, used in place by the tests (never copied into the
# repository). Tests that need them skip when the folder is absent.
set(VELANTA_FIXTURES "${PROJECT_SOURCE_DIR}/../shared/fixtures" CACHE PATH
  "Folder of the shared test fixtures")
get_filename_component(VELANTA_FIXTURES "${VELANTA_FIXTURES}" ABSOLUTE)

# Shared build settings and helpers for every folder.

# Warnings on and clean for our own targets.
function(velanta_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
endfunction()

# velanta_library(NAME SOURCES... [QT]) : one library per folder.
function(velanta_library name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;PUBLIC_LINKS;PRIVATE_LINKS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  velanta_warnings(${name})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(ARG_QT)
    set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON)
  endif()
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LINKS} PRIVATE ${ARG_PRIVATE_LINKS})
endfunction()

# velanta_test(NAME SOURCES... LINKS... [GUI] [LABELS ...]) : a GoogleTest binary under CTest.
# GUI tests run with Qt's offscreen platform on a 96-dpi screen; label "gui" lets the
# sanitizer build leave them out.
function(velanta_test name)
  if(NOT VELANTA_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "GUI;QT;OWN_MAIN" "" "SOURCES;LINKS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  velanta_warnings(${name})
  if(ARG_GUI OR ARG_QT)
    set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON)
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} GTest::gtest GTest::gmock)
  if(NOT ARG_OWN_MAIN)
    if(ARG_GUI)
      # Widget tests run under the toolkit's application object (its catch points).
      target_link_libraries(${name} PRIVATE toolkit_test_main)
    elseif(ARG_QT)
      target_link_libraries(${name} PRIVATE velanta_qt_test_main)
    else()
      target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
  endif()
  target_compile_definitions(${name} PRIVATE
    VELANTA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    VELANTA_FIXTURES_DIR="${VELANTA_FIXTURES}"
    VELANTA_BINARY_DIR="${PROJECT_BINARY_DIR}")
  set(labels ${ARG_LABELS})
  if(ARG_GUI)
    list(APPEND labels gui)
  endif()
  set(properties ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen:configfile=${PROJECT_SOURCE_DIR}/cmake/screen96.json")
  if(labels)
    # One label, parts joined by "-": ctest's -L/-LE take regular expressions, so
    # "-LE nosanitize" still finds "gui-nosanitize", and PROPERTIES keeps one value.
    list(JOIN labels "-" label)
    list(APPEND properties LABELS ${label})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
endfunction()
