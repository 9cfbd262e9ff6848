# The firmware image pipeline's platform-free part, shared by the wizard and
# the native tests (which build it without the rest of the wizard).
include_guard(GLOBAL)

add_library(flashwizard_image_format STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ImageFormat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ImageFormat.h)
target_include_directories(flashwizard_image_format PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(flashwizard_image_format PUBLIC szddcodec)
