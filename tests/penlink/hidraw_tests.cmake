# Tests of the hidraw backend and the report descriptor parser: one GoogleTest
# program, hidraw_tests, that needs no device (it builds sysfs and /dev trees
# of its own in a temporary directory).
#   include(${CMAKE_CURRENT_SOURCE_DIR}/hidraw_tests.cmake)   from tests/penlink/CMakeLists.txt
# Expects the target penlink_hidraw (penlink/hidraw.cmake) and GoogleTest's
# gtest_main; Linux only.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux" OR NOT TARGET penlink_hidraw)
  return()
endif()

get_filename_component(_penlink_src ${CMAKE_CURRENT_LIST_DIR}/../../penlink ABSOLUTE)
find_package(Threads REQUIRED)

# The backend forwards to the POSIX platform services; they are compiled in
# here so that the program does not need the whole library.
add_executable(hidraw_tests
  ${CMAKE_CURRENT_LIST_DIR}/HidrawBackendTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReportDescriptorTest.cpp
  ${_penlink_src}/PlatformPosix.cpp
  ${_penlink_src}/TextCodec.cpp)
target_link_libraries(hidraw_tests PRIVATE penlink_hidraw GTest::gtest_main Threads::Threads)

if(COMMAND penlink_add_test)
  penlink_add_test(hidraw_tests)
else()
  add_test(NAME hidraw_tests COMMAND hidraw_tests --gtest_brief=1)
  set_tests_properties(hidraw_tests PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77)
endif()
