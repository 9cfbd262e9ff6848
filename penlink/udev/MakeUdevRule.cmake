# Writes the udev rule from its template with the pen's USB IDs, read from
# the library's configuration header, so that the rule matches exactly the
# pens the library matches. Run by the build:
#   cmake -DCONFIG=PenlinkConfig.h -DTEMPLATE=70-penlink.rules.in
#         -DOUTPUT=70-penlink.rules -P MakeUdevRule.cmake
# In each mode: every vendor ID with that mode's product ID (entry 0), and
# each product ID accepted from any vendor (entries 1 to 4), once in the file.
# An entry of 0 is unused.
file(READ "${CONFIG}" _config)

# The numbers of the table NAME in the header, as a list.
function(_penlink_table name out)
  if(NOT _config MATCHES "${name}\\[[0-9]+\\] = {([^}]*)}")
    message(FATAL_ERROR "${CONFIG}: no table ${name}")
  endif()
  string(REGEX REPLACE "[ \n]" "" _list "${CMAKE_MATCH_1}")
  string(REPLACE "," ";" _list "${_list}")
  # As decimal numbers, so that an unused entry (0x0000) reads as false.
  set(_numbers "")
  foreach(_entry IN LISTS _list)
    math(EXPR _number "${_entry}")
    list(APPEND _numbers ${_number})
  endforeach()
  set(${out} ${_numbers} PARENT_SCOPE)
endfunction()

# NUMBER as the kernel writes it in a HID device's name: four upper-case hex
# digits.
function(_penlink_hex4 number out)
  math(EXPR _value "${number}" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${_value}" 2 -1 _digits)
  string(TOUPPER "000${_digits}" _digits)
  string(LENGTH "${_digits}" _length)
  math(EXPR _start "${_length} - 4")
  string(SUBSTRING "${_digits}" ${_start} 4 _digits)
  set(${out} ${_digits} PARENT_SCOPE)
endfunction()

_penlink_table(kVendorIds _vendors)
set(_written "")
foreach(_mode NORMAL UPDATE)
  if(_mode STREQUAL "NORMAL")
    _penlink_table(kNormalModeProductIds _products)
  else()
    _penlink_table(kUpdateModeProductIds _products)
  endif()
  list(POP_FRONT _products _own)
  set(_matches "")
  foreach(_vendor IN LISTS _vendors)
    if(_vendor AND _own)
      _penlink_hex4(${_vendor} _v)
      _penlink_hex4(${_own} _p)
      list(APPEND _matches "*:${_v}:${_p}.*")
    endif()
  endforeach()
  foreach(_product IN LISTS _products)
    if(_product)
      _penlink_hex4(${_product} _p)
      list(APPEND _matches "*:*:${_p}.*")
    endif()
  endforeach()
  if(NOT _matches)
    message(FATAL_ERROR "${CONFIG}: no IDs to match the pen by in ${_mode} mode")
  endif()
  if(_written)
    list(REMOVE_ITEM _matches ${_written})
  endif()
  list(REMOVE_DUPLICATES _matches)
  set(_rules "")
  foreach(_match IN LISTS _matches)
    string(APPEND _rules "KERNEL==\"hidraw*\", SUBSYSTEM==\"hidraw\", SUBSYSTEMS==\"hid\", "
                         "KERNELS==\"${_match}\", TAG+=\"uaccess\", GROUP=\"plugdev\", "
                         "MODE=\"0660\"\n")
  endforeach()
  string(STRIP "${_rules}" PENLINK_${_mode}_MODE_RULES)
  list(APPEND _written ${_matches})
endforeach()

configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
