# Run by CPack once it has made a package (CPACK_POST_BUILD_SCRIPTS), after
# cmake/SourceDateEpoch.cmake. CPack's zip lists the files in the file
# system's order and names the builder as their owner, and the .deb's outer
# archive gives its parts the builder's umask: strip-nondeterminism sorts
# the entries, clears the owners, sets the usual modes and dates everything
# to SOURCE_DATE_EPOCH in UTC, so that a package depends on nothing but the
# files in it.
find_program(STRIP_NONDETERMINISM strip-nondeterminism REQUIRED)
if(CPACK_GENERATOR STREQUAL "DEB")
  set(format ar)
else()
  set(format zip)
endif()
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  # Its ar normaliser is off unless asked for.
  execute_process(COMMAND ${STRIP_NONDETERMINISM} --normalizers=+${format} --type ${format}
                          --timestamp $ENV{SOURCE_DATE_EPOCH} ${package}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
