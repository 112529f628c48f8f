# Builds the package and unpacks it into UNPACK_DIR, as a user would.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target package RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "building the package failed")
endif()
file(REMOVE_RECURSE ${UNPACK_DIR})
file(MAKE_DIRECTORY ${UNPACK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${BUILD_DIR}/${PACKAGE_NAME}.zip
  WORKING_DIRECTORY ${UNPACK_DIR} RESULT_VARIABLE unpacked)
if(NOT unpacked EQUAL 0)
  message(FATAL_ERROR "unpacking ${PACKAGE_NAME}.zip failed")
endif()
