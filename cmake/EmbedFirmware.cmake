# Script mode (cmake -P): writes OUTPUT from TEMPLATE, with the bytes of
# MAIN_IMAGE and LOADER_IMAGE as C++ initialiser lists in @MAIN_IMAGE_BYTES@
# and @LOADER_IMAGE_BYTES@.

function(bytes_as_initialiser path out_var)
  file(READ "${path}" hex HEX)
  if(hex STREQUAL "")
    message(FATAL_ERROR "${path} is empty")
  endif()
  # Sixteen bytes a line keeps the generated file readable in a debugger.
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1, " hex "${hex}")
  string(REPEAT "0x.., " 16 line)
  string(REGEX REPLACE "(${line})" "\\1\n" hex "${hex}")
  string(REGEX REPLACE " \n" "\n    " hex "    ${hex}")
  string(REGEX REPLACE "[ \n]+$" "" hex "${hex}")
  set(${out_var} "${hex}" PARENT_SCOPE)
endfunction()

foreach(var IN ITEMS TEMPLATE OUTPUT MAIN_IMAGE LOADER_IMAGE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "EmbedFirmware.cmake needs -D${var}=...")
  endif()
endforeach()

bytes_as_initialiser("${MAIN_IMAGE}" MAIN_IMAGE_BYTES)
bytes_as_initialiser("${LOADER_IMAGE}" LOADER_IMAGE_BYTES)
file(READ "${TEMPLATE}" source)
string(CONFIGURE "${source}" source @ONLY)
# Always rewritten, so the output is never older than an image it came from.
file(WRITE "${OUTPUT}" "${source}")
