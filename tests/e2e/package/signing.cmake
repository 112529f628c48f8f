# Makes a throwaway self-signed code-signing certificate, builds the setup signed with it (the
# program inside it too), installs that setup under Wine, and checks the signatures of
# murmuro.exe, the setup and the uninstaller it wrote against that certificate, and that the
# unsigned program fails the same check.
if(NOT OPENSSL OR NOT OSSLSIGNCODE)
  message(FATAL_ERROR "signing needs openssl and osslsigncode (scripts/test installs them)")
endif()

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result}):\n${output}")
  endif()
endfunction()

function(verify file)
  execute_process(COMMAND ${OSSLSIGNCODE} verify -CAfile ${DIR}/certificate.pem -in ${file}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(verified ${result} PARENT_SCOPE)
  set(verify_output "${output}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${DIR})
file(MAKE_DIRECTORY ${DIR})
set(password "not a secret")
run("making the certificate" ${OPENSSL} req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes
  -subj "/CN=Murmuro test signing" -addext "extendedKeyUsage=codeSigning"
  -keyout ${DIR}/key.pem -out ${DIR}/certificate.pem)
run("packing the certificate" ${OPENSSL} pkcs12 -export -inkey ${DIR}/key.pem -in ${DIR}/certificate.pem
  -out ${DIR}/test.pfx -passout "pass:${password}")

set(ENV{MURMURO_SIGN_PASSWORD} "${password}")
run("building the signed setup" ${CMAKE_COMMAND} --build ${BUILD_DIR} --target installer_signed)
unset(ENV{MURMURO_SIGN_PASSWORD})

# The uninstaller exists only as the setup writes it.
string(REPLACE "/" "\\" folder "Z:${DIR}/installed")
run("installing silently" ${WINE_RUN} ${DIR}/murmuro-signed-setup.exe /S /AUTOSTART=0 "/D=${folder}")

foreach(file murmuro-signed-setup.exe installer_signed-stage/murmuro.exe installed/murmuro.exe installed/uninstall.exe)
  verify(${DIR}/${file})
  if(NOT verified EQUAL 0)
    message(FATAL_ERROR "${file} is not signed with the test's certificate:\n${verify_output}")
  endif()
endforeach()
verify(${UNSIGNED})
if(verified EQUAL 0)
  message(FATAL_ERROR "the unsigned ${UNSIGNED} passed the check:\n${verify_output}")
endif()
message(STATUS "murmuro.exe, the setup and the uninstaller are signed")
