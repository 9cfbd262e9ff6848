# The wizard's platform-free logic: its text type, the placeholder rule, the
# page list with the navigation rule and the version text. Shared by the
# wizard and the native tests, which build it without the rest of the wizard.
include_guard(GLOBAL)

add_library(flashwizard_logic STATIC
  ${CMAKE_CURRENT_LIST_DIR}/FirmwareVersion.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FirmwareVersion.h
  ${CMAKE_CURRENT_LIST_DIR}/Placeholders.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Placeholders.h
  ${CMAKE_CURRENT_LIST_DIR}/WizardNavigation.h
  ${CMAKE_CURRENT_LIST_DIR}/ui/PageList.h
  ${CMAKE_CURRENT_LIST_DIR}/ui/Text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui/Text.h)
target_include_directories(flashwizard_logic PUBLIC ${CMAKE_CURRENT_LIST_DIR})
