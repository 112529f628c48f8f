# The Windows package: murmuro-<version>-win64.zip with murmuro.exe, kel.dat and README.txt.
# Beside a 64-bit build, the package target also makes murmuro-<version>-win32.zip from the
# 32-bit build (Build32.cmake).
if(WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/data/README.txt DESTINATION .)
  murmuro_sign_command(sign "${MURMURO_SIGN_CERTIFICATE}" "${MURMURO_SIGN_TIMESTAMP}")
  if(sign)
    # After the install has stripped the program: stripping would break the signature.
    murmuro_quoted(sign ${sign})
    install(CODE "execute_process(COMMAND ${sign} \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/murmuro.exe\"
      COMMAND_ERROR_IS_FATAL ANY)")
  endif()
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(MURMURO_PACKAGE_NAME "murmuro-${PROJECT_VERSION}-win64")
  else()
    set(MURMURO_PACKAGE_NAME "murmuro-${PROJECT_VERSION}-win32")
  endif()
  set(CPACK_PACKAGE_FILE_NAME ${MURMURO_PACKAGE_NAME})
  set(CPACK_STRIP_FILES ON)
  if(TARGET murmuro32)
    set(MURMURO_PACKAGE32_NAME "murmuro-${PROJECT_VERSION}-win32")
    # Read by package32.cmake when CPack runs.
    set(CPACK_MURMURO_CPACK ${CMAKE_CPACK_COMMAND})
    set(CPACK_MURMURO_CONFIG32 ${MURMURO_WIN32_DIR}/CPackConfig.cmake)
    set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package32.cmake)
  endif()
  include(CPack)
endif()
