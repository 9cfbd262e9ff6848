# The wizard's resources: dialog templates, string table, side picture, icon,
# version block, manifest and the firmware that the wizard carries.
#
# What is carried is chosen when the build is configured, so another image
# can ship without touching the sources:
#   FLASHWIZARD_FIRMWARE_IMAGE  the firmware image, uncompressed; compressed
#                               at build time into resource FIRMWARE/"MOT"
#   FLASHWIZARD_PRODUCT_NAME    the device's model name, FIRMWARE/"PRODUCT_NAME"
#   FLASHWIZARD_VERSION_NAME    the image's version name, FIRMWARE/"VERSION_NAME"
#
# The three are chosen by cmake/FirmwareImage.cmake and the image is
# compressed with the szdd tool that cmake/HostSzdd.cmake names, both
# included by the top level.
#
# Defines the object library flashwizard_resources (the compiled resource
# script; its include directories give the program resource.h and
# FlashWizardVersion.h) and the function flashwizard_add_resources(target).
include_guard(GLOBAL)

# Writes to out_var the UTF-16LE words of text followed by a NUL word, as
# resource data ("0x0052, 0x004D, ..., 0x0000"). Printable ASCII only: the
# names are model and version designations, and anything else is far more
# likely a configuration slip than a real name.
function(_flashwizard_utf16z_words what text out_var)
  string(LENGTH "${text}" length)
  if(length EQUAL 0)
    message(FATAL_ERROR "${what} is empty")
  endif()
  set(words "")
  math(EXPR last "${length} - 1")
  foreach(i RANGE ${last})
    string(SUBSTRING "${text}" ${i} 1 char)
    string(HEX "${char}" hex)
    math(EXPR code "0x${hex}")
    if(code LESS 32 OR code GREATER 126)
      message(FATAL_ERROR "${what} \"${text}\" holds a character outside printable ASCII")
    endif()
    string(APPEND words "0x00${hex}, ")
  endforeach()
  set(${out_var} "${words}0x0000" PARENT_SCOPE)
endfunction()

_flashwizard_utf16z_words(FLASHWIZARD_PRODUCT_NAME "${FLASHWIZARD_PRODUCT_NAME}"
                          FLASHWIZARD_PRODUCT_NAME_WORDS)
_flashwizard_utf16z_words(FLASHWIZARD_VERSION_NAME "${FLASHWIZARD_VERSION_NAME}"
                          FLASHWIZARD_VERSION_NAME_WORDS)

# The manifest names the common controls of the program's own architecture.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i[3-6]86|x86)$")
  set(FLASHWIZARD_MANIFEST_ARCH x86)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(FLASHWIZARD_MANIFEST_ARCH amd64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|ARM64|arm64)$")
  set(FLASHWIZARD_MANIFEST_ARCH arm64)
else()
  message(FATAL_ERROR "No manifest architecture known for ${CMAKE_SYSTEM_PROCESSOR}")
endif()

set(_res_dir ${CMAKE_CURRENT_LIST_DIR})
set(_gen_dir ${CMAKE_CURRENT_BINARY_DIR}/res)
set(FLASHWIZARD_MOT_FILE ${_gen_dir}/MOT.szdd)

configure_file(${_res_dir}/FlashWizardVersion.h.in ${_gen_dir}/FlashWizardVersion.h @ONLY)
configure_file(${_res_dir}/FlashWizard.manifest.in ${_gen_dir}/FlashWizard.manifest @ONLY)
configure_file(${_res_dir}/FirmwareData.rc.in ${_gen_dir}/FirmwareData.rc @ONLY)

add_custom_command(
  OUTPUT ${FLASHWIZARD_MOT_FILE}
  COMMAND ${PENLINK_HOST_SZDD} compress ${FLASHWIZARD_FIRMWARE_IMAGE} ${FLASHWIZARD_MOT_FILE}
  DEPENDS ${FLASHWIZARD_FIRMWARE_IMAGE} ${PENLINK_HOST_SZDD_DEPENDS}
  COMMENT "Compressing the firmware image for the wizard's resources"
  VERBATIM)

# The compressed image is listed as a source so that its command runs before
# the script is compiled.
add_library(flashwizard_resources OBJECT ${_res_dir}/FlashWizard.rc ${FLASHWIZARD_MOT_FILE})
target_include_directories(flashwizard_resources PUBLIC ${_res_dir} ${_gen_dir})
# The resource compiler reports no dependencies, so they are listed here.
set_source_files_properties(${_res_dir}/FlashWizard.rc PROPERTIES OBJECT_DEPENDS
  "${_res_dir}/resource.h;${_res_dir}/side_picture.bmp;${_res_dir}/wizard.ico;${_gen_dir}/FlashWizardVersion.h;${_gen_dir}/FlashWizard.manifest;${_gen_dir}/FirmwareData.rc;${FLASHWIZARD_MOT_FILE}")

# Links the wizard's resources into target (a program or a DLL) and gives its
# sources resource.h and FlashWizardVersion.h.
function(flashwizard_add_resources target)
  get_target_property(type ${target} TYPE)
  if(NOT type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY)$")
    message(FATAL_ERROR "flashwizard_add_resources: ${target} is a ${type}; resources belong in a program or DLL")
  endif()
  target_link_libraries(${target} PRIVATE flashwizard_resources)
endfunction()
