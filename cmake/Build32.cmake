# Beside a 64-bit MinGW build, the same tree built again for 32-bit Windows in <build>/win32:
# its murmuro.exe goes into murmuro-<version>-win32.zip (a 64-bit program sees only voices
# installed for 64-bit programs), and its sample IM client lets the tests read a 32-bit client
# from the 64-bit program.
if(NOT (MINGW AND CMAKE_CROSSCOMPILING AND CMAKE_SIZEOF_VOID_P EQUAL 8))
  return()
endif()
find_program(MURMURO_I686_CXX i686-w64-mingw32-g++-posix)
if(NOT MURMURO_I686_CXX)
  message(STATUS "i686-w64-mingw32-g++-posix not found: no 32-bit program")
  return()
endif()

include(ExternalProject)
set(MURMURO_WIN32_DIR ${CMAKE_BINARY_DIR}/win32)
ExternalProject_Add(murmuro32
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${MURMURO_WIN32_DIR}
  CMAKE_GENERATOR ${CMAKE_GENERATOR}
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchain-mingw-i686.cmake
    -DCMAKE_BUILD_TYPE=Release -DMURMURO_TESTS=OFF -DMURMURO_SAMPLE_CLIENT=${MURMURO_TESTS}
    -DMURMURO_SIGN_CERTIFICATE=${MURMURO_SIGN_CERTIFICATE} -DMURMURO_SIGN_TIMESTAMP=${MURMURO_SIGN_TIMESTAMP}
  # Ninja decides what is out of date there, as here.
  BUILD_ALWAYS ON
  INSTALL_COMMAND "")
set(MURMURO_IM_CLIENT32 ${MURMURO_WIN32_DIR}/tests/fixtures/im_client/im_client.exe)
