# Builds the packages and unpacks each zip of PACKAGE_NAMES (comma-separated) into UNPACK_DIR, as
# a user would.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target package RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "building the package failed")
endif()
file(REMOVE_RECURSE ${UNPACK_DIR})
file(MAKE_DIRECTORY ${UNPACK_DIR})
string(REPLACE "," ";" names "${PACKAGE_NAMES}")
foreach(name IN LISTS names)
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${BUILD_DIR}/${name}.zip
    WORKING_DIRECTORY ${UNPACK_DIR} RESULT_VARIABLE unpacked)
  if(NOT unpacked EQUAL 0)
    message(FATAL_ERROR "unpacking ${name}.zip failed")
  endif()
endforeach()
