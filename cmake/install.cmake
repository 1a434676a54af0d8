# What "cmake --install" puts where (GNUInstallDirs): the program, its manual
# page and bash completion, the README, the docs and the examples. On Windows
# everything goes to the top of the prefix, as the zip wants it, with the
# texts in CR LF, and reports.bat beside the exe.
include(GNUInstallDirs)

if(WIN32)
  install(TARGETS gridtally RUNTIME DESTINATION .)

  # Notepad and cmd.exe want CR LF.
  function(gridtally_install_crlf source destination name)
    file(READ ${CMAKE_CURRENT_SOURCE_DIR}/${source} text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    set(copy ${CMAKE_CURRENT_BINARY_DIR}/crlf/${destination}/${name})
    file(WRITE ${copy} "${text}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${source})
    install(FILES ${copy} DESTINATION ${destination})
  endfunction()
  gridtally_install_crlf(README.md . README.txt)
  gridtally_install_crlf(LICENSE . LICENSE.txt)
  gridtally_install_crlf(examples/README.md examples README.txt)
  # Files dropped on the batch file get their pages; it finds the exe
  # beside itself.
  gridtally_install_crlf(dist/windows/reports.bat . reports.bat)
  install(FILES examples/monza67.rpy examples/gem67.cst DESTINATION examples)
  gridtally_install_crlf(examples/season/season.ini examples/season season.ini)
  install(DIRECTORY examples/season/rounds DESTINATION examples/season)
  install(FILES examples/season/logo.svg DESTINATION examples/season)

  # The batch file as it ships (CR LF) under Wine, on the sample files.
  if(GRIDTALLY_TESTS)
    add_test(NAME reports_bat COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/reports_bat_test.sh
      $<TARGET_FILE:gridtally> ${CMAKE_CURRENT_BINARY_DIR}/crlf/./reports.bat
      ${CMAKE_CURRENT_SOURCE_DIR}/examples ${CMAKE_CURRENT_SOURCE_DIR}/docs/monza67.html ${CMAKE_BINARY_DIR}/wine-run.sh)
    set_tests_properties(reports_bat PROPERTIES SKIP_RETURN_CODE 77)
  endif()
  return()
endif()

install(TARGETS gridtally RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The library and its C header.
if(GRIDTALLY_SHARED_LIBRARY)
  install(TARGETS libgridtally LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
else()
  install(FILES ${PROJECT_BINARY_DIR}/src/libgridtally.a DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
install(FILES src/capi/gridtally.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# Debian wants manual pages compressed, without a name or time stamp inside;
# man reads them either way.
find_program(GZIP_PROGRAM gzip)
set(GRIDTALLY_MAN_PAGE ${CMAKE_CURRENT_SOURCE_DIR}/docs/gridtally.1)
if(GZIP_PROGRAM)
  execute_process(COMMAND ${GZIP_PROGRAM} -9nc ${GRIDTALLY_MAN_PAGE}
    OUTPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/gridtally.1.gz COMMAND_ERROR_IS_FATAL ANY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${GRIDTALLY_MAN_PAGE})
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/gridtally.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  install(FILES ${GRIDTALLY_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

install(FILES dist/completion/gridtally.bash
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions RENAME gridtally)

# The README links docs/ and examples/ by relative paths: keep them so.
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
# The JSON schemas and the sample results page (with its picture) go along.
file(GLOB GRIDTALLY_DOCS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/docs/*.md
  ${CMAKE_CURRENT_SOURCE_DIR}/docs/*.json ${CMAKE_CURRENT_SOURCE_DIR}/docs/*.html
  ${CMAKE_CURRENT_SOURCE_DIR}/docs/*.png)
install(FILES ${GRIDTALLY_DOCS} DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
install(FILES examples/README.md examples/monza67.rpy examples/gem67.cst
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(DIRECTORY examples/season examples/archive examples/library DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# The manual page and the completion must know every option of --help. They
# skip when groff or bash-completion is missing.
if(GRIDTALLY_TESTS)
  foreach(part man completion)
    add_test(NAME ${part}_options COMMAND bash
      ${CMAKE_CURRENT_SOURCE_DIR}/tests/man_and_completion_test.sh ${part} $<TARGET_FILE:gridtally>
      ${GRIDTALLY_MAN_PAGE} ${CMAKE_CURRENT_SOURCE_DIR}/dist/completion/gridtally.bash)
    set_tests_properties(${part}_options PROPERTIES SKIP_RETURN_CODE 77)
  endforeach()
endif()
