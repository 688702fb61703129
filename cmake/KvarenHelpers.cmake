# Warnings for the project's own targets.
function(kvaren_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  target_compile_definitions(${target} PRIVATE QT_NO_CAST_TO_ASCII)
endfunction()

# kvaren_add_test(NAME name SOURCES a.cpp ... [LIBS lib ...] [WIDGETS])
# Builds a GoogleTest program and registers its tests with CTest. WIDGETS gives it
# a QApplication (for window tests) instead of a QCoreApplication. Every test runs
# on Qt's offscreen platform with a Firebird lock directory of its own, so tests
# neither need a display nor clash with another user's /tmp/firebird.
function(kvaren_add_test)
  cmake_parse_arguments(T "WIDGETS" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  kvaren_warnings(${T_NAME})
  if(T_WIDGETS)
    target_link_libraries(${T_NAME} PRIVATE kvaren_test_main_widgets kvaren_ui)
  else()
    target_link_libraries(${T_NAME} PRIVATE kvaren_test_main_core)
  endif()
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest)
  gtest_discover_tests(${T_NAME}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;FIREBIRD_LOCK=${CMAKE_BINARY_DIR}/firebird-lock")
endfunction()
