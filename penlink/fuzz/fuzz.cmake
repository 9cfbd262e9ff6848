# libFuzzer target for the report descriptor parser, the one piece of the
# library that reads bytes a device chose.
#   include(${CMAKE_CURRENT_SOURCE_DIR}/fuzz/fuzz.cmake)   from penlink/CMakeLists.txt
# Build with clang and -DPENLINK_FUZZ=ON, then run for example
#   report_descriptor_fuzz -max_total_time=60 -max_len=4200
option(PENLINK_FUZZ "Build the libFuzzer targets (clang only)" OFF)
if(NOT PENLINK_FUZZ OR TARGET report_descriptor_fuzz)
  return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(WARNING "PENLINK_FUZZ needs clang; report_descriptor_fuzz is not built")
  return()
endif()

if("thread" IN_LIST PENLINK_SANITIZE)
  message(WARNING "report_descriptor_fuzz needs AddressSanitizer, not ThreadSanitizer; not built")
  return()
endif()

get_filename_component(_penlink_src ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

# A fuzz program of the harness and the library sources it reaches. The
# sources are compiled again here: they must carry the fuzzer's coverage
# instrumentation, which the library's own objects do not.
function(penlink_fuzz_target name harness)
  list(TRANSFORM ARGN PREPEND ${_penlink_src}/)
  add_executable(${name} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${harness} ${ARGN})
  target_include_directories(${name} PRIVATE ${_penlink_src})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined
                         -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
endfunction()

# The descriptor parser and the parsing of the pen's replies: the two places
# where bytes that a device chose come in.
penlink_fuzz_target(report_descriptor_fuzz ReportDescriptorFuzz.cpp ReportDescriptor.cpp)
penlink_fuzz_target(reply_parse_fuzz ReplyParseFuzz.cpp ReportCodec.cpp)
