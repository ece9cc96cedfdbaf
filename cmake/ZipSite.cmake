# Script mode (cmake -P): zips the web page's site (the files in SITE) and
# the licence (LICENCE) into ZIP, inside a folder FOLDER. The same commit
# gives the same bytes: the files are dated to the commit
# (cmake/SourceDateEpoch.cmake, in SOURCE_DIR) and strip-nondeterminism
# orders the entries and clears what the builder leaves in them.
find_program(STRIP_NONDETERMINISM strip-nondeterminism REQUIRED)
set(CPACK_CORVANE_SOURCE_DIR ${SOURCE_DIR})
include(${SOURCE_DIR}/cmake/SourceDateEpoch.cmake)

get_filename_component(stage ${ZIP}.stage ABSOLUTE)
file(REMOVE_RECURSE ${stage})
file(GLOB files RELATIVE ${SITE} ${SITE}/*)
file(MAKE_DIRECTORY ${stage}/${FOLDER})
foreach(file IN LISTS files)
  file(COPY_FILE ${SITE}/${file} ${stage}/${FOLDER}/${file})
endforeach()
file(COPY_FILE ${LICENCE} ${stage}/${FOLDER}/LICENSE)

file(REMOVE ${ZIP})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip ${FOLDER}
                WORKING_DIRECTORY ${stage} COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${STRIP_NONDETERMINISM} --type zip --timestamp $ENV{SOURCE_DATE_EPOCH}
                        ${ZIP}
                COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE ${stage})
