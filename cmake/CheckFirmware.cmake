# Script mode: cmake -DIMAGE=path -DKIND=main|loader -P CheckFirmware.cmake
# Fails, naming the file and the rule it breaks, unless IMAGE has the size of
# its kind and its record (cmake/FirmwareLayout.cmake) keeps its checksum: the sum of
# the record's first 31 bytes, modulo 256, is its last byte. The remote takes
# an image only whole, with that record intact.

# A byte value as two hex digits after 0x.
function(byte_hex value out_var)
  math(EXPR hex "${value} + 256" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${hex}" 3 2 hex)
  set(${out_var} "0x${hex}" PARENT_SCOPE)
endfunction()

# An offset in the image as 0x and upper-case hex digits.
function(offset_hex expression out_var)
  math(EXPR hex "${expression}" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${hex}" 2 -1 digits)
  string(TOUPPER "${digits}" digits)
  set(${out_var} "0x${digits}" PARENT_SCOPE)
endfunction()

# Every message is indented, so that CMake shows it on one line, unwrapped.
foreach(var IN ITEMS IMAGE KIND)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR " CheckFirmware.cmake needs -D${var}=...")
  endif()
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/FirmwareLayout.cmake)
if(KIND STREQUAL "main")
  set(expected_size ${CORVANE_MAIN_IMAGE_SIZE})
elseif(KIND STREQUAL "loader")
  set(expected_size ${CORVANE_LOADER_IMAGE_SIZE})
else()
  message(FATAL_ERROR " KIND is '${KIND}'; it must be main or loader")
endif()

# Named as the person who put it there knows it: within the project, from
# the project's folder.
get_filename_component(project_dir "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
get_filename_component(image "${IMAGE}" ABSOLUTE)
file(RELATIVE_PATH name "${project_dir}" "${image}")
if(name MATCHES "^\\.\\./")
  set(name "${image}")
endif()

if(NOT EXISTS "${image}")
  message(FATAL_ERROR " ${name}: no such file; a ${KIND} image is needed there")
endif()
file(SIZE "${image}" size)
if(NOT size EQUAL expected_size)
  message(FATAL_ERROR
    " ${name}: ${size} bytes, but a ${KIND} image must be exactly ${expected_size} bytes")
endif()

file(READ "${image}" record OFFSET ${CORVANE_IMAGE_INFO_OFFSET} LIMIT ${CORVANE_IMAGE_INFO_SIZE} HEX)
string(REGEX MATCHALL "[0-9a-f][0-9a-f]" bytes "${record}")
list(POP_BACK bytes last)
set(sum 0)
foreach(byte IN LISTS bytes)
  math(EXPR sum "(${sum} + 0x${byte}) % 256")
endforeach()
math(EXPR last_value "0x${last}")
if(NOT sum EQUAL last_value)
  byte_hex(${sum} sum)
  offset_hex(${CORVANE_IMAGE_INFO_OFFSET} first)
  offset_hex("${CORVANE_IMAGE_INFO_OFFSET} + ${CORVANE_IMAGE_INFO_SIZE} - 2" before_last)
  offset_hex("${CORVANE_IMAGE_INFO_OFFSET} + ${CORVANE_IMAGE_INFO_SIZE} - 1" at_last)
  message(FATAL_ERROR " ${name}: the ${CORVANE_IMAGE_INFO_SIZE}-byte record at ${first} breaks "
                      "its checksum: bytes ${first}..${before_last} sum to ${sum} (mod 256), "
                      "byte ${at_last} is 0x${last}")
endif()
