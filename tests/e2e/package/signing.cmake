# Makes a throwaway self-signed code-signing certificate, builds the setup signed with it,
# installs that setup under Wine, and checks murmuro.exe, the setup and the uninstaller it wrote
# against that certificate; the unsigned program must fail the same check.
function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result}):\n${output}")
  endif()
endfunction()

if(NOT OPENSSL OR NOT OSSLSIGNCODE)
  message(FATAL_ERROR "signing needs openssl and osslsigncode (scripts/test installs them)")
endif()
file(REMOVE_RECURSE ${DIR})
file(MAKE_DIRECTORY ${DIR})
set(ENV{MURMURO_SIGN_PASSWORD} "not a secret")
run("making the certificate" ${OPENSSL} req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes
  -subj "/CN=Murmuro test signing" -addext "extendedKeyUsage=codeSigning"
  -keyout ${DIR}/key.pem -out ${DIR}/certificate.pem)
run("packing the certificate" ${OPENSSL} pkcs12 -export -inkey ${DIR}/key.pem -in ${DIR}/certificate.pem
  -out ${DIR}/test.pfx -passout env:MURMURO_SIGN_PASSWORD)
run("building the signed setup" ${CMAKE_COMMAND} --build ${BUILD_DIR} --target installer_signed)

# The uninstaller exists only as the setup writes it.
string(REPLACE "/" "\\" folder "Z:${DIR}/installed")
run("installing silently" ${WINE_RUN} ${DIR}/murmuro-signed-setup.exe /S /AUTOSTART=0 "/D=${folder}")
foreach(file murmuro-signed-setup.exe installed/murmuro.exe installed/uninstall.exe)
  run("checking ${file}" ${OSSLSIGNCODE} verify -CAfile ${DIR}/certificate.pem -in ${DIR}/${file})
endforeach()
execute_process(COMMAND ${OSSLSIGNCODE} verify -CAfile ${DIR}/certificate.pem -in ${UNSIGNED}
  RESULT_VARIABLE unsigned OUTPUT_QUIET ERROR_QUIET)
if(unsigned EQUAL 0)
  message(FATAL_ERROR "the unsigned ${UNSIGNED} passed the check")
endif()
