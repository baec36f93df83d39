# korvel_add_test(NAME name SOURCES a.cpp b.cpp LIBS lib1 lib2)
# Builds a GoogleTest executable and registers it with ctest, run headless
# (offscreen Qt platform) so widget tests need no display.

# A modal dialog that no test answers fails the running test at once instead of waiting for
# ctest's timeout; every test program that can show widgets links the watchdog.
add_library(korvel_modal_watchdog OBJECT ${CMAKE_CURRENT_LIST_DIR}/../testsupport/ModalWatchdog.cpp)
target_link_libraries(korvel_modal_watchdog PUBLIC Qt6::Widgets GTest::gtest)

# Libraries whose tests never show a widget (the core stays free of widgets).
set(KORVEL_WIDGET_FREE_LIBS tamsel SQLite::SQLite3 Qt6::Core)

# A test program that takes longer than this is split into several ctest entries (by
# gtest filter) rather than given more time: a hang must not cost the suite minutes.
set(KORVEL_TEST_TIMEOUT 60)
# Programs that come near the timeout on a loaded machine, as NAME:ENTRIES: each entry runs
# its share of the program's tests (GoogleTest's own sharding), so new tests spread over them.
set(KORVEL_TEST_SHARDS pivrel_engine_tests:4 tools_reliability_tests:2 tamsel_tests:2)

# Test folders go to a memory file system where there is one: the tests check what the files
# hold, never whether they reached the disk, and each commit's sync to a real disk would make
# them wait on it (on a shared machine, most of the suite's time).
set(KORVEL_TEST_TMPDIR "")
if(IS_DIRECTORY /dev/shm AND NOT DEFINED ENV{KORVEL_TEST_ON_DISK})
  set(KORVEL_TEST_TMPDIR ";TMPDIR=/dev/shm")
endif()

function(korvel_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  set(widgets OFF)
  foreach(lib IN LISTS T_LIBS)
    if(NOT lib IN_LIST KORVEL_WIDGET_FREE_LIBS)
      set(widgets ON)
    endif()
  endforeach()
  if(widgets)
    target_link_libraries(${T_NAME} PRIVATE korvel_modal_watchdog)
  endif()
  set(shards 1)
  foreach(entry IN LISTS KORVEL_TEST_SHARDS)
    if(entry MATCHES "^${T_NAME}:([0-9]+)$")
      set(shards ${CMAKE_MATCH_1})
    endif()
  endforeach()
  set(env "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8${KORVEL_TEST_TMPDIR}")
  if(shards EQUAL 1)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${KORVEL_TEST_TIMEOUT})
  else()
    math(EXPR last "${shards} - 1")
    foreach(i RANGE ${last})
      math(EXPR n "${i} + 1")
      add_test(NAME ${T_NAME}_${n}of${shards} COMMAND ${T_NAME})
      set_tests_properties(${T_NAME}_${n}of${shards} PROPERTIES
        ENVIRONMENT "${env};GTEST_TOTAL_SHARDS=${shards};GTEST_SHARD_INDEX=${i}"
        TIMEOUT ${KORVEL_TEST_TIMEOUT})
    endforeach()
  endif()
endfunction()
