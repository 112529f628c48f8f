# The per-user installer murmuro-<version>-setup.exe, made by NSIS from installer/murmuro.nsi:
#   cmake --build --preset mingw-x64 --target installer
if(NOT WIN32)
  return()
endif()
find_program(MURMURO_MAKENSIS makensis)
if(NOT MURMURO_MAKENSIS)
  message(STATUS "makensis not found: no installer target")
  return()
endif()

# murmuro_installer(<target> <version> <output> [<readme> [<certificate>]]): an installer of this
# build's murmuro.exe that calls itself <version>, signed (with the program and the uninstaller)
# with <certificate>, by default the build's. Only the tests give a version, a README.txt or a
# certificate of their own.
function(murmuro_installer target version output)
  set(readme ${PROJECT_SOURCE_DIR}/data/README.txt)
  set(certificate "${MURMURO_SIGN_CERTIFICATE}")
  if(ARGC GREATER 3 AND NOT "${ARGV3}" STREQUAL "")
    set(readme ${ARGV3})
  endif()
  if(ARGC GREATER 4)
    set(certificate "${ARGV4}")
  endif()
  set(script ${PROJECT_SOURCE_DIR}/installer/murmuro.nsi)
  set(includes ${PROJECT_SOURCE_DIR}/installer/running_copies.nsh
    ${PROJECT_SOURCE_DIR}/installer/checked_writes.nsh ${PROJECT_SOURCE_DIR}/installer/own_folder.nsh
    ${PROJECT_SOURCE_DIR}/installer/ownership.nsh ${PROJECT_SOURCE_DIR}/installer/uninstall.nsh)
  set(icon ${PROJECT_SOURCE_DIR}/src/app/resources/murmuro.ico)
  set(program $<TARGET_FILE:murmuro>)
  set(strip)
  if(MINGW AND CMAKE_STRIP)
    # Stripped like the zip's copy.
    get_filename_component(outdir ${output} DIRECTORY)
    set(program ${outdir}/${target}-stage/murmuro.exe)
    set(strip COMMAND ${CMAKE_COMMAND} -E make_directory ${outdir}/${target}-stage
              COMMAND ${CMAKE_STRIP} -o ${program} $<TARGET_FILE:murmuro>)
  endif()
  murmuro_sign_command(sign "${certificate}" "${MURMURO_SIGN_TIMESTAMP}")
  set(signing)
  if(sign)
    murmuro_quoted(line ${sign})
    set(signing -DSIGN=${line})
    list(APPEND strip COMMAND ${sign} ${program})
  endif()
  add_custom_command(OUTPUT ${output}
    ${strip}
    COMMAND ${MURMURO_MAKENSIS} -V2 -WX -DVERSION=${version} -DPROGRAM=${program}
      -DSETTINGS=${PROJECT_SOURCE_DIR}/data/kel.dat -DREADME=${readme}
      -DICON=${icon} -DOUTFILE=${output} ${signing} ${script}
    DEPENDS murmuro ${script} ${includes} ${icon} ${PROJECT_SOURCE_DIR}/data/kel.dat ${readme}
      ${certificate} ${PROJECT_SOURCE_DIR}/cmake/sign.cmake
    COMMENT "Making ${output}"
    VERBATIM)
  add_custom_target(${target} DEPENDS ${output})
endfunction()

set(MURMURO_INSTALLER ${CMAKE_BINARY_DIR}/murmuro-${PROJECT_VERSION}-setup.exe)
murmuro_installer(installer ${PROJECT_VERSION} ${MURMURO_INSTALLER})
