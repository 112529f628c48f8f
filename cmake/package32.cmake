# Run by CPack after the 64-bit zip: the 32-bit build's zip, into the same folder.
execute_process(COMMAND "${CPACK_MURMURO_CPACK}" --config "${CPACK_MURMURO_CONFIG32}" -B "${CPACK_PACKAGE_DIRECTORY}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the 32-bit package was not made")
endif()
