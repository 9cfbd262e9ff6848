# A copy of the `szdd` tool that runs on the build machine, for compressing
# data at build time. Included once, by the top level.
#
# In a cross build the tools/szdd target is a program for the target system
# that the build machine cannot run, so the tool's sources and the codec's
# (image/) are compiled once more with the build machine's own C++ compiler.
# In a native build the tools/szdd target itself serves.
#
# Sets, for every directory (as internal cache entries, since the tool is
# defined once for the whole build):
#   PENLINK_HOST_SZDD          the program to run (a path or a generator
#                              expression), usable in add_custom_command
#   PENLINK_HOST_SZDD_DEPENDS  what a custom command that runs it depends on
include_guard(GLOBAL)

if(CMAKE_HOST_WIN32)
  set(_szdd_output_backend OutputFileWin.cpp)
else()
  set(_szdd_output_backend OutputFilePosix.cpp)
endif()
set(_szdd_headers ${PROJECT_SOURCE_DIR}/image/SzddCodec.h ${PROJECT_SOURCE_DIR}/tools/szdd/OutputFile.h)
set(_szdd_sources ${PROJECT_SOURCE_DIR}/image/SzddCodec.cpp ${PROJECT_SOURCE_DIR}/tools/szdd/main.cpp
    ${PROJECT_SOURCE_DIR}/tools/szdd/${_szdd_output_backend})
foreach(_file ${_szdd_headers} ${_szdd_sources})
  if(NOT EXISTS ${_file})
    message(FATAL_ERROR "HostSzdd: ${_file} is missing; the firmware "
                        "image cannot be compressed without the szdd tool")
  endif()
endforeach()

if(CMAKE_CROSSCOMPILING)
  # The toolchain files search programs on the build machine only, so this
  # finds the host compiler, not the cross compiler.
  find_program(PENLINK_HOST_CXX NAMES c++ g++ clang++ REQUIRED
               DOC "C++ compiler of the build machine, for build-time tools")
  set(_host_szdd ${CMAKE_BINARY_DIR}/host/szdd)
  add_custom_command(
    OUTPUT ${_host_szdd}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
    COMMAND ${PENLINK_HOST_CXX} -std=c++17 -O2 -I${PROJECT_SOURCE_DIR}/image -o ${_host_szdd}
            ${_szdd_sources}
    DEPENDS ${_szdd_headers} ${_szdd_sources}
    COMMENT "Building szdd for the build machine"
    VERBATIM)
  add_custom_target(host_szdd DEPENDS ${_host_szdd})
  set(PENLINK_HOST_SZDD ${_host_szdd} CACHE INTERNAL "")
  set(PENLINK_HOST_SZDD_DEPENDS ${_host_szdd} host_szdd CACHE INTERNAL "")
else()
  set(PENLINK_HOST_SZDD $<TARGET_FILE:szdd> CACHE INTERNAL "")
  set(PENLINK_HOST_SZDD_DEPENDS szdd CACHE INTERNAL "")
endif()
