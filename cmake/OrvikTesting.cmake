# GoogleTest for both builds: the system's package natively; for the Windows build it is built from its
# sources, whose folder ORVIK_GOOGLETEST_SOURCE_DIR names.
enable_testing()
include(GoogleTest)

if(WIN32)
  set(ORVIK_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH
      "GoogleTest's sources, built with the cross compiler for the Windows tests")
  if(NOT EXISTS ${ORVIK_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ORVIK_GOOGLETEST_SOURCE_DIR (${ORVIK_GOOGLETEST_SOURCE_DIR})")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${ORVIK_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()

# The one entry point of the test programs: a failed assertion of the library is only reported, so that no
# dialog of it waits for a user. Programs that do not use the library take GoogleTest's own (GTEST_MAIN).
set(ORVIK_TEST_MAIN ${CMAKE_SOURCE_DIR}/tests/common/test_main.cpp)

# orvik_add_test(NAME name [SHOWS_WINDOWS] [GTEST_MAIN] [FIXTURES fixture] SOURCES ... LIBS ...)
# One GoogleTest executable; its cases are discovered when ctest runs (under Wine for the Windows build),
# so building never needs a display or a Wine prefix. SHOWS_WINDOWS: its cases put windows on the shared
# display (robot sessions, dialogs, message boxes); ctest runs no two such cases at once, so that they do not
# cover each other's windows in screenshots or take each other's focus. FIXTURES: every case needs that CTest
# fixture (for example servers started before the cases and ended after them).
function(orvik_add_test)
  cmake_parse_arguments(T "SHOWS_WINDOWS;GTEST_MAIN" "NAME;FIXTURES" "SOURCES;LIBS" ${ARGN})
  set(display_lock "")
  if(T_SHOWS_WINDOWS)
    set(display_lock RESOURCE_LOCK wine_display)
  endif()
  if(T_FIXTURES)
    list(APPEND display_lock FIXTURES_REQUIRED ${T_FIXTURES})
  endif()
  if(T_GTEST_MAIN)
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
  else()
    add_executable(${T_NAME} ${T_SOURCES} ${ORVIK_TEST_MAIN})
  endif()
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest)
  target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR})
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ENVIRONMENT "ORVIK_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data" ${display_lock})
endfunction()
