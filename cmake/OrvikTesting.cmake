# GoogleTest for both builds: the system's package natively, built from its sources for the Windows build.
enable_testing()
include(GoogleTest)

if(WIN32 OR NOT EXISTS /usr/lib/x86_64-linux-gnu/libgtest.a)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(ORVIK_GTEST_LIBS GTest::gtest GTest::gmock)
  if(NOT TARGET GTest::gtest)
    set(ORVIK_GTEST_LIBS gtest gmock)
  endif()
else()
  find_package(GTest REQUIRED)
  set(ORVIK_GTEST_LIBS GTest::gtest GTest::gmock)
endif()

# orvik_add_test(NAME name [SHOWS_WINDOWS] [FIXTURES fixture] SOURCES ... LIBS ...)
# One GoogleTest executable; its cases are discovered when ctest runs (under Wine for the Windows build),
# so building never needs a display or a Wine prefix. SHOWS_WINDOWS: its cases put windows on the shared
# display (robot sessions, dialogs, message boxes); ctest runs no two such cases at once, so that they do not
# cover each other's windows in screenshots or take each other's focus. FIXTURES: every case needs that CTest
# fixture (for example servers started before the cases and ended after them).
function(orvik_add_test)
  cmake_parse_arguments(T "SHOWS_WINDOWS" "NAME;FIXTURES" "SOURCES;LIBS" ${ARGN})
  set(display_lock "")
  if(T_SHOWS_WINDOWS)
    set(display_lock RESOURCE_LOCK wine_display)
  endif()
  if(T_FIXTURES)
    list(APPEND display_lock FIXTURES_REQUIRED ${T_FIXTURES})
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} ${ORVIK_GTEST_LIBS})
  if(NOT WIN32)
    target_link_libraries(${T_NAME} PRIVATE pthread)
  endif()
  target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR})
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ENVIRONMENT "ORVIK_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data" ${display_lock})
endfunction()
