# The firmware image that the wizard and penflash carry, chosen when the build
# is configured, and whether it is the committed stand-in. Included once, by
# the top level, before the folders that use these values.
#   FLASHWIZARD_FIRMWARE_IMAGE  the firmware image, uncompressed
#   FLASHWIZARD_PRODUCT_NAME    the device's model name
#   FLASHWIZARD_VERSION_NAME    the image's version name
# Sets FLASHWIZARD_IMAGE_IS_STANDIN (ON or OFF): the image says "NOT FOR
# FLASHING", as the stand-in made by wizard/res/firmware/make_standin.py
# does. Programs built with such an image update the emulated pen only.
include_guard(GLOBAL)

set(FLASHWIZARD_FIRMWARE_IMAGE ${PROJECT_SOURCE_DIR}/wizard/res/firmware/standin-2.47.bin
    CACHE FILEPATH "Firmware image that the wizard and penflash carry (uncompressed)")
set(FLASHWIZARD_PRODUCT_NAME "RM550e"
    CACHE STRING "Device model name that the wizard shows for [Product]")
set(FLASHWIZARD_VERSION_NAME "2.47"
    CACHE STRING "Version name of the carried image, shown for [Version]")

if(NOT EXISTS "${FLASHWIZARD_FIRMWARE_IMAGE}")
  message(FATAL_ERROR "FLASHWIZARD_FIRMWARE_IMAGE: ${FLASHWIZARD_FIRMWARE_IMAGE} does not exist")
endif()

# Decided from the content, so that a copy of the stand-in under another name
# counts as well; a new image at the same path configures again.
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${FLASHWIZARD_FIRMWARE_IMAGE})
file(STRINGS "${FLASHWIZARD_FIRMWARE_IMAGE}" _flashwizard_standin_marker
     LIMIT_COUNT 1 REGEX "NOT FOR FLASHING")
if(_flashwizard_standin_marker)
  set(FLASHWIZARD_IMAGE_IS_STANDIN ON CACHE INTERNAL "The carried image is the stand-in")
  message(STATUS "Firmware image: ${FLASHWIZARD_FIRMWARE_IMAGE} is a stand-in: the programs "
                 "update the emulated pen only (set FLASHWIZARD_FIRMWARE_IMAGE to the real image)")
else()
  set(FLASHWIZARD_IMAGE_IS_STANDIN OFF CACHE INTERNAL "The carried image is the stand-in")
endif()
unset(_flashwizard_standin_marker)
