# README.txt names the settings file the program writes and the zip the user checks; CHANGELOG.txt
# describes the version being packaged; all three open in Notepad (CR LF line ends).
set(failures "")
macro(fail text)
  string(APPEND failures "  ${text}\n")
endmacro()

file(STRINGS "${STORED_TEXTS}" settings_line REGEX "#define ORVELLE_TEXT_SETTINGS_FILE ")
string(REGEX REPLACE ".*\"([^\"]+)\".*" "\\1" settings_file "${settings_line}")
if(settings_file STREQUAL "")
  message(FATAL_ERROR "no settings file name in ${STORED_TEXTS}")
endif()

file(READ "${PACKAGE_DIR}/README.txt" readme)
foreach(wanted
    "certutil -hashfile ${NAME}.zip SHA256"
    "Get-FileHash ${NAME}.zip -Algorithm SHA256"
    "${NAME}.zip.sha256"
    "${settings_file}")
  string(FIND "${readme}" "${wanted}" at)
  if(at EQUAL -1)
    fail("README.txt does not say \"${wanted}\"")
  endif()
endforeach()
# Both languages say it: each text appears at least twice.
foreach(wanted "certutil -hashfile" "Get-FileHash" "${settings_file}")
  string(REGEX MATCHALL "${wanted}" found "${readme}")
  list(LENGTH found count)
  if(count LESS 2)
    fail("README.txt says \"${wanted}\" ${count} time(s), not in both languages")
  endif()
endforeach()

file(STRINGS "${PACKAGE_DIR}/CHANGELOG.txt" heading REGEX "^## ")
list(GET heading 0 newest)
if(NOT newest MATCHES "^## ${VERSION}[ \r]*$")
  fail("CHANGELOG.txt begins with \"${newest}\", not the version ${VERSION}")
endif()

foreach(text README.txt LICENSE.txt CHANGELOG.txt)
  # As hex bytes with a blank after each, so every match starts at a byte: file(READ) as text
  # would drop the CRs.
  file(READ "${PACKAGE_DIR}/${text}" content HEX)
  string(REGEX REPLACE "(..)" "\\1 " bytes "${content}")
  string(FIND "${bytes}" "0d 0a " first_end)
  string(REPLACE "0d 0a " "" joined "${bytes}")
  string(FIND "${joined}" "0a " bare)
  if(first_end EQUAL -1 OR NOT bare EQUAL -1)
    fail("${text} has line ends without CR")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "package texts:\n${failures}")
endif()
message(STATUS "package texts: README.txt, LICENSE.txt and CHANGELOG.txt as they should be")
