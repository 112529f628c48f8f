# Signs one Windows program in place with osslsigncode:
#   cmake -DOSSLSIGNCODE=<tool> -DCERTIFICATE=<file.pfx> [-DTIMESTAMP=<url>] -P sign.cmake <file>
# The certificate's password comes from the environment variable MURMURO_SIGN_PASSWORD (none
# when unset); it reaches osslsigncode in a file only we may read, never on a command line.
math(EXPR last "${CMAKE_ARGC} - 1")
set(file "${CMAKE_ARGV${last}}")
if(NOT EXISTS "${file}" OR NOT EXISTS "${CERTIFICATE}")
  message(FATAL_ERROR "sign.cmake: no file '${file}' or certificate '${CERTIFICATE}'")
endif()

set(signed "${file}.signed")
set(password "${file}.password")
set(options -pkcs12 "${CERTIFICATE}" -h sha256)
if(DEFINED ENV{MURMURO_SIGN_PASSWORD})
  file(TOUCH "${password}")
  file(CHMOD "${password}" PERMISSIONS OWNER_READ OWNER_WRITE)
  file(WRITE "${password}" "$ENV{MURMURO_SIGN_PASSWORD}")
  list(APPEND options -readpass "${password}")
endif()
if(TIMESTAMP)
  list(APPEND options -ts "${TIMESTAMP}")
endif()
file(REMOVE "${signed}")
execute_process(COMMAND "${OSSLSIGNCODE}" sign ${options} -in "${file}" -out "${signed}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(REMOVE "${password}")
if(NOT result EQUAL 0)
  file(REMOVE "${signed}")
  message(FATAL_ERROR "signing ${file} failed:\n${output}")
endif()
file(RENAME "${signed}" "${file}")
