# Makes the Windows installer (target msi, packaging/CMakeLists.txt):
#   cmake -DWXS=... -DMSI=... -DSTAGE=... "-DFILES=..." -DVERSION=...
#         -DUPGRADE_CODE=... "-DMANUFACTURER=..." -DSOURCE_DIR=... -P MakeMsi.cmake
# FILES are copied into STAGE, where wixl finds them by their names.
#
# One commit gives the same installer byte for byte (scripts/check-reproducible),
# though wixl takes the time and a random package code of its own:
# - the cabinet keeps each file's modification time: the copies get the
#   commit's time, as in the other packages (cmake/SourceDateEpoch.cmake);
# - the summary's creation and save times come from wixl's clock: it runs
#   under faketime, stopped at the commit's time in UTC;
# - the package code, which must differ between any two installers that
#   differ, is made of the product code and the SHA-256 of the source and of
#   every file, and written over wixl's with msibuild.
find_program(WIXL wixl REQUIRED)
find_program(FAKETIME faketime REQUIRED)
find_program(MSIINFO msiinfo REQUIRED)
find_program(MSIBUILD msibuild REQUIRED)

set(CPACK_CORVANE_SOURCE_DIR ${SOURCE_DIR})
include(${CMAKE_CURRENT_LIST_DIR}/SourceDateEpoch.cmake)

# A version is a product of its own to Windows, for a major upgrade; made of
# the version, the same version has the same product code in every build.
string(UUID product_code NAMESPACE ${UPGRADE_CODE} NAME ${VERSION} TYPE SHA1 UPPER)

file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(SHA256 ${WXS} fingerprint)
set(staged "")
foreach(file IN LISTS FILES)
  file(COPY ${file} DESTINATION ${STAGE})
  get_filename_component(name ${file} NAME)
  list(APPEND staged ${STAGE}/${name})
  file(SHA256 ${file} sha256)
  string(APPEND fingerprint " ${name} ${sha256}")
endforeach()
execute_process(COMMAND touch -d @$ENV{SOURCE_DATE_EPOCH} ${staged} COMMAND_ERROR_IS_FATAL ANY)
string(UUID package_code NAMESPACE ${product_code} NAME "${fingerprint}" TYPE SHA1 UPPER)

string(TIMESTAMP now "%Y-%m-%d %H:%M:%S" UTC)  # SOURCE_DATE_EPOCH, as set above
set(unpinned ${STAGE}/unpinned.msi)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${FAKETIME} -f ${now}
          ${WIXL} --arch x64 -o ${unpinned} -D Version=${VERSION} -D ProductCode=${product_code}
          -D UpgradeCode=${UPGRADE_CODE} -D Manufacturer=${MANUFACTURER} ${WXS}
  WORKING_DIRECTORY ${STAGE} COMMAND_ERROR_IS_FATAL ANY)

# msibuild sets the subject, author and template with the package code: the
# first three as wixl wrote them.
execute_process(COMMAND ${MSIINFO} suminfo ${unpinned} OUTPUT_VARIABLE summary
                COMMAND_ERROR_IS_FATAL ANY)
foreach(field Subject Author Template)
  if(NOT summary MATCHES "\n${field}: ([^\n]*)\n")
    message(FATAL_ERROR "msiinfo suminfo ${unpinned}: no ${field}")
  endif()
  set(${field} "${CMAKE_MATCH_1}")
endforeach()
execute_process(COMMAND ${MSIBUILD} ${unpinned} -s "${Subject}" "${Author}" "${Template}"
                        "{${package_code}}"
                COMMAND_ERROR_IS_FATAL ANY)
file(RENAME ${unpinned} ${MSI})
