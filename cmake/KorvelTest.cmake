# korvel_add_test(NAME name SOURCES a.cpp b.cpp LIBS lib1 lib2)
# Builds a GoogleTest executable and registers it with ctest, run headless
# (offscreen Qt platform) so widget tests need no display.
function(korvel_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
    TIMEOUT 900)
endfunction()
