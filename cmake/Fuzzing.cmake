# The libFuzzer programs (PENLINK_FUZZ, clang only; scripts/fuzz.sh builds
# and runs them). A fuzz program links an instrumented build of the library
# it fuzzes, so that the code it reaches carries the fuzzer's coverage and
# the sanitizers' checks, which the library's own objects do not:
#   fuzz_instrumented_library(NAME FROM SANITIZERS)  the sources of target
#       FROM compiled again into the static library NAME (a program takes
#       only the objects it reaches), with FROM's include folders and
#       definitions
#   fuzz_program(NAME HARNESS SANITIZERS LIBRARY...)  the program
# SANITIZERS is a comma list, e.g. address,undefined.

function(fuzz_instrumented_library name from sanitizers)
  get_target_property(_sources ${from} SOURCES)
  get_target_property(_dir ${from} SOURCE_DIR)
  set(_files)
  foreach(_source IN LISTS _sources)
    if(NOT _source MATCHES "\\.(c|cpp)$")
      continue()
    endif()
    if(NOT IS_ABSOLUTE ${_source})
      set(_source ${_dir}/${_source})
    endif()
    list(APPEND _files ${_source})
  endforeach()
  add_library(${name} STATIC EXCLUDE_FROM_ALL ${_files})
  target_include_directories(${name} PUBLIC $<TARGET_PROPERTY:${from},INCLUDE_DIRECTORIES>)
  target_compile_definitions(${name} PRIVATE $<TARGET_PROPERTY:${from},COMPILE_DEFINITIONS>)
  target_compile_options(${name} PUBLIC -fsanitize=${sanitizers} -fno-sanitize-recover=all
                         -fno-omit-frame-pointer)
  # The library's objects are made for the fuzzer, not linked with it.
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer-no-link)
endfunction()

function(fuzz_program name harness sanitizers)
  add_executable(${name} ${harness})
  target_link_libraries(${name} PRIVATE ${ARGN})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,${sanitizers})
endfunction()
