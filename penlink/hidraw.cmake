# The Linux hidraw backend and the report descriptor parser, as an object
# library that the device library (and the backend's tests) link in.
#   include(${CMAKE_CURRENT_SOURCE_DIR}/hidraw.cmake)   from penlink/CMakeLists.txt
# Defines penlink_hidraw on Linux only; elsewhere it does nothing. The target
# leaves the platform services (PlatformPosix.cpp, TextCodec.cpp) to whoever
# links it, as the library already builds them.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux" OR TARGET penlink_hidraw)
  return()
endif()

add_library(penlink_hidraw OBJECT
  ${CMAKE_CURRENT_LIST_DIR}/HidrawBackend.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReportDescriptor.cpp)
target_include_directories(penlink_hidraw PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_compile_features(penlink_hidraw PUBLIC cxx_std_17)
# Nothing here is exported from the shared library: the core reaches the
# backend through DefaultBackend() inside it.
set_target_properties(penlink_hidraw PROPERTIES POSITION_INDEPENDENT_CODE ON
                      CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
