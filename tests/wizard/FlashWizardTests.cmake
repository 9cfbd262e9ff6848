# Tests of the wizard program itself, included by this folder's CMakeLists.
#
# Native builds: the wizard's platform-free logic (texts, placeholders, page
# navigation, version text) under GoogleTest.
# Windows builds: FlashWizard.exe driven as its user would drive it, under
# Wine on the emulated pen: a driver program starts the copy of the wizard
# that lies beside the emulated Penlink.dll, reads and presses its windows
# and reads the pen's transcript. Three programs, so that ctest can run them
# side by side; the long search has one of its own.
include_guard(DIRECTORY)

if(NOT WIN32)
  include(${PROJECT_SOURCE_DIR}/wizard/WizardLogic.cmake)
  add_executable(wizard_logic_test ${CMAKE_CURRENT_LIST_DIR}/WizardLogicTest.cpp)
  target_link_libraries(wizard_logic_test PRIVATE flashwizard_logic gtest_main)
  penlink_add_test(wizard_logic_test)
  return()
endif()

# The uncompressed image that the build compressed into the wizard, for
# comparing with what the pen received.
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/ExpectedImage.rc
     CONTENT "EXPECTED_IMAGE RCDATA \"@FLASHWIZARD_FIRMWARE_IMAGE@\"\n" @ONLY)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/ExpectedImage.rc PROPERTIES
  OBJECT_DEPENDS ${FLASHWIZARD_FIRMWARE_IMAGE})

add_library(wizard_driver STATIC
  ${CMAKE_CURRENT_LIST_DIR}/driver/PenTranscript.cpp
  ${CMAKE_CURRENT_LIST_DIR}/driver/PenTranscript.h
  ${CMAKE_CURRENT_LIST_DIR}/driver/Screenshot.cpp
  ${CMAKE_CURRENT_LIST_DIR}/driver/Screenshot.h
  ${CMAKE_CURRENT_LIST_DIR}/driver/WizardChecks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/driver/WizardChecks.h
  ${CMAKE_CURRENT_LIST_DIR}/driver/WizardDriver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/driver/WizardDriver.h)
target_include_directories(wizard_driver PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(wizard_driver PUBLIC gtest user32 gdi32)

# One driver program: its sources and the expected image, run as one test.
function(wizard_driver_test name source)
  add_executable(${name} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${source}
                 ${CMAKE_CURRENT_BINARY_DIR}/ExpectedImage.rc)
  target_link_libraries(${name} PRIVATE wizard_driver gtest_main)
  target_compile_definitions(${name} PRIVATE
    FLASHWIZARD_TEST_IMAGE_IS_STANDIN=$<BOOL:${FLASHWIZARD_IMAGE_IS_STANDIN}>)
  # The wizard and its emulated library must be in place before a run.
  add_dependencies(${name} FlashWizard Penlink_emulated)
  penlink_add_test(${name})
endfunction()

wizard_driver_test(wizard_update_test WizardUpdateTest.cpp)
wizard_driver_test(wizard_search_test WizardSearchTest.cpp)
wizard_driver_test(wizard_long_search_test WizardLongSearchTest.cpp)
