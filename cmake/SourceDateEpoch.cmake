# Read by CPack before it packs (CPACK_PROJECT_CONFIG_FILE). Unless the
# caller has set SOURCE_DATE_EPOCH, it becomes the time of the commit built;
# CPack then gives every file in the packages that time, not the time it was
# built or checked out.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  return()
endif()
execute_process(COMMAND git log -1 --format=%ct
                WORKING_DIRECTORY ${CPACK_CORVANE_SOURCE_DIR}
                OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE failed ERROR_QUIET)
if(failed OR NOT epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "git could not tell the last commit's time in ${CPACK_CORVANE_SOURCE_DIR}: "
                      "set SOURCE_DATE_EPOCH to it (seconds since 1970) for the packages' file "
                      "times")
endif()
set(ENV{SOURCE_DATE_EPOCH} ${epoch})
