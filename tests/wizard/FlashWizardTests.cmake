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
endif()
