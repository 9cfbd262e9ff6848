# Drives the szdd tool through its commands and its failure paths.
# Run as: cmake -DSZDD=<tool> -DWORK_DIR=<scratch dir> -P SzddCliTest.cmake
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

function(expect_run expected_rc)
  execute_process(COMMAND ${SZDD} ${ARGN} WORKING_DIRECTORY ${WORK_DIR}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL expected_rc)
    message(FATAL_ERROR "szdd ${ARGN}: exit ${rc}, expected ${expected_rc}\n${out}${err}")
  endif()
  set(last_out "${out}" PARENT_SCOPE)
  set(last_err "${err}" PARENT_SCOPE)
endfunction()

function(expect_match text regex)
  if(NOT text MATCHES "${regex}")
    message(FATAL_ERROR "expected output matching '${regex}', got:\n${text}")
  endif()
endfunction()

# A text input, compressed, described and expanded again.
set(line "    mov eax, [ebp+8] ; firmware block header\n")
string(REPEAT "${line}" 200 input)
file(WRITE ${WORK_DIR}/input.txt "${input}")
string(LENGTH "${input}" input_length)

expect_run(0 compress input.txt packed.sz_)
expect_run(0 info packed.sz_)
expect_match("${last_out}" "signature: +SZDD 88 F0 27 33")
expect_match("${last_out}" "method: +'A' \\(0x41\\)")
expect_match("${last_out}" "declared length: ${input_length} bytes")
# A reference of 18 bytes takes 17 bits, so about 1/8.5 is the best there is.
file(SIZE ${WORK_DIR}/packed.sz_ packed_size)
math(EXPR limit "${input_length} / 8")
if(NOT packed_size LESS limit)
  message(FATAL_ERROR "repetitive text compressed to ${packed_size} bytes")
endif()

expect_run(0 expand packed.sz_ output.txt)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK_DIR}/input.txt ${WORK_DIR}/output.txt
                RESULT_VARIABLE differ)
if(differ)
  message(FATAL_ERROR "expand did not restore the input")
endif()

# Expanding over an existing file replaces it.
expect_run(0 expand packed.sz_ output.txt)

# Failures name the problem, leave no output and keep an existing one.
expect_run(1 expand input.txt never.txt)
expect_match("${last_err}" "input.txt: not an SZDD file")
file(WRITE ${WORK_DIR}/kept.txt "left alone")
string(ASCII 136 240 39 51 sig_tail)
file(WRITE ${WORK_DIR}/short.sz_ "SZDD${sig_tail}A")
expect_run(1 expand short.sz_ kept.txt)
expect_match("${last_err}" "short.sz_: the SZDD header is cut short")
file(READ ${WORK_DIR}/kept.txt kept)
if(NOT kept STREQUAL "left alone")
  message(FATAL_ERROR "a failed expand changed the existing output: '${kept}'")
endif()
expect_run(1 info input.txt)
expect_run(1 compress missing.txt never.txt)
expect_match("${last_err}" "missing.txt: cannot read")
expect_run(1 compress input.txt no/such/dir/out.sz_)

if(EXISTS ${WORK_DIR}/never.txt)
  message(FATAL_ERROR "a failed run left never.txt behind")
endif()
file(GLOB leftovers ${WORK_DIR}/*.tmp ${WORK_DIR}/no/*)
if(leftovers)
  message(FATAL_ERROR "temporary files left behind: ${leftovers}")
endif()

# Inputs are checked before they are read: no directory, device or FIFO
# (which would block), nothing longer than the format can describe (sparse
# files of 4.5 and 5 GB, refused without reading them).
file(MAKE_DIRECTORY ${WORK_DIR}/folder)
execute_process(COMMAND mkfifo ${WORK_DIR}/fifo)
execute_process(COMMAND truncate -s 5G ${WORK_DIR}/huge.bin)
string(ASCII 1 1 1 1 declares_16M)
file(WRITE ${WORK_DIR}/huge.sz_ "SZDD${sig_tail}Ax${declares_16M}")
execute_process(COMMAND truncate -s 4500M ${WORK_DIR}/huge.sz_)
foreach(input folder /dev/zero fifo)
  if(input STREQUAL "folder")
    set(reason "is a directory")
  else()
    set(reason "not a regular file")
  endif()
  foreach(command "compress;${input};c.out" "expand;${input};e.out" "info;${input}")
    expect_run(1 ${command})
    expect_match("${last_err}" "szdd: ${input}: ${reason}")
  endforeach()
endforeach()
expect_run(1 compress huge.bin compress.out)
expect_match("${last_err}" "huge.bin: too large for the format")
expect_run(1 expand huge.bin expand.out)
expect_match("${last_err}" "huge.bin: too large for the format")
expect_run(1 expand huge.sz_ expand.out)
expect_match("${last_err}" "huge.sz_: the compressed stream holds more bytes than the header declares")
file(GLOB outputs ${WORK_DIR}/*.out)
if(outputs)
  message(FATAL_ERROR "refused inputs left outputs: ${outputs}")
endif()
file(REMOVE ${WORK_DIR}/huge.bin ${WORK_DIR}/huge.sz_)

# Usage errors.
expect_run(2)
expect_run(2 compress input.txt)
expect_run(2 unpack packed.sz_ out.txt)
