# Makes the release zip of a build tree, the same bytes for the same commit:
#   cmake -DBUILD_DIR=<build tree> -DSOURCE_DIR=<repository> -DNAME=<Orvelle-version-system> -P MakeZip.cmake
# Every file gets the commit's time (SOURCE_DATE_EPOCH, else the commit's), fixed permissions and a
# fixed place in the zip, and no owner or extra time fields, so neither the build tree, nor the
# clock, nor the user who builds shows in the zip. Writes <build tree>/dist/NAME.zip and NAME.zip.sha256.
cmake_minimum_required(VERSION 3.25)

foreach(var BUILD_DIR SOURCE_DIR NAME)
  if(NOT ${var})
    message(FATAL_ERROR "MakeZip.cmake: ${var} is not set")
  endif()
endforeach()

set(epoch "$ENV{SOURCE_DATE_EPOCH}")
if(epoch STREQUAL "")
  execute_process(COMMAND git -C "${SOURCE_DIR}" log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "MakeZip.cmake: no SOURCE_DATE_EPOCH and no commit to take the time from")
  endif()
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "MakeZip.cmake: SOURCE_DATE_EPOCH is not a number of seconds: '${epoch}'")
endif()
# strip stamps the PE header with this time; a zip stores local times: UTC, so the builder's time
# zone does not show.
set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
set(ENV{TZ} UTC)

find_program(ZIP zip REQUIRED)
find_program(TOUCH touch REQUIRED)

set(stage "${BUILD_DIR}/package-stage")
set(dist "${BUILD_DIR}/dist")
file(REMOVE_RECURSE "${stage}" "${dist}")
file(MAKE_DIRECTORY "${dist}")

execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${stage}/${NAME}" --strip
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)

# The zip's order is the sorted names, not the order the folder lists them in.
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${stage}" "${stage}/*")
list(SORT files)
foreach(f IN LISTS files)
  if(f MATCHES "\\.exe$")
    file(CHMOD "${stage}/${f}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                           WORLD_READ WORLD_EXECUTE)
  else()
    file(CHMOD "${stage}/${f}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()
  execute_process(COMMAND "${TOUCH}" -d "@${epoch}" "${stage}/${f}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# -X: no owner and no extra time fields; -D: no folder entries.
execute_process(COMMAND "${ZIP}" -X -D -9 -q "${dist}/${NAME}.zip" ${files}
                WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)
file(SHA256 "${dist}/${NAME}.zip" sum)
file(WRITE "${dist}/${NAME}.zip.sha256" "${sum}  ${NAME}.zip\n")
file(REMOVE_RECURSE "${stage}")
message(STATUS "Package: ${dist}/${NAME}.zip")
