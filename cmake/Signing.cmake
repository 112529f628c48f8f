# Authenticode signatures for murmuro.exe (in both zips and the setup), the setup and its
# uninstaller, made with osslsigncode when a certificate is given:
#   cmake --preset mingw-x64 -DMURMURO_SIGN_CERTIFICATE=/path/to/certificate.pfx \
#         -DMURMURO_SIGN_TIMESTAMP=http://timestamp.example
# The certificate's password is read from the environment variable MURMURO_SIGN_PASSWORD when
# the build signs, so it is never written into the build tree. Without a certificate nothing is
# signed and nothing else changes.
set(MURMURO_SIGN_CERTIFICATE "$ENV{MURMURO_SIGN_CERTIFICATE}" CACHE FILEPATH
  "PKCS#12 file (.pfx) the Windows programs are signed with; empty: unsigned")
set(MURMURO_SIGN_TIMESTAMP "" CACHE STRING
  "Address of the RFC 3161 timestamp server for the signatures; empty: no timestamp")

# murmuro_sign_command(<var> <certificate> <timestamp>): the command that signs the file whose
# path is appended to it, in place; empty when <certificate> is.
function(murmuro_sign_command out certificate timestamp)
  set(command)
  if(NOT certificate STREQUAL "")
    find_program(MURMURO_OSSLSIGNCODE osslsigncode)
    if(NOT MURMURO_OSSLSIGNCODE)
      message(FATAL_ERROR "signing needs osslsigncode (apt-get install osslsigncode)")
    endif()
    set(command ${CMAKE_COMMAND} -DOSSLSIGNCODE=${MURMURO_OSSLSIGNCODE} -DCERTIFICATE=${certificate}
      -DTIMESTAMP=${timestamp} -P ${PROJECT_SOURCE_DIR}/cmake/sign.cmake)
  endif()
  set(${out} "${command}" PARENT_SCOPE)
endfunction()

# murmuro_quoted(<var> <list>): the list as one command line, each item in double quotes.
function(murmuro_quoted out)
  set(line)
  foreach(item IN LISTS ARGN)
    string(APPEND line " \"${item}\"")
  endforeach()
  string(STRIP "${line}" line)
  set(${out} "${line}" PARENT_SCOPE)
endfunction()
