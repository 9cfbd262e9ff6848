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
# The parser is compiled again here: it must carry the fuzzer's coverage
# instrumentation, which the library's own objects do not.
add_executable(report_descriptor_fuzz
  ${CMAKE_CURRENT_LIST_DIR}/ReportDescriptorFuzz.cpp
  ${_penlink_src}/ReportDescriptor.cpp)
target_include_directories(report_descriptor_fuzz PRIVATE ${_penlink_src})
target_compile_options(report_descriptor_fuzz PRIVATE -fsanitize=fuzzer,address,undefined
                       -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_link_options(report_descriptor_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)

# The parsing of the pen's replies, the other place where device bytes come in.
add_executable(reply_parse_fuzz
  ${CMAKE_CURRENT_LIST_DIR}/ReplyParseFuzz.cpp
  ${_penlink_src}/ReportCodec.cpp)
target_include_directories(reply_parse_fuzz PRIVATE ${_penlink_src})
target_compile_options(reply_parse_fuzz PRIVATE -fsanitize=fuzzer,address,undefined
                       -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_link_options(reply_parse_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
