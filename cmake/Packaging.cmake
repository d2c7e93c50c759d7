# What is installed besides the programs, and the packages made from it:
#   Linux:   cpack -G DEB  ->  quillon_VERSION_ARCH.deb
#   Windows: share/windows/release.sh  ->  quillon-windows-x64.zip and
#            quillon-VERSION-x64.msi, from what is installed here, signed
#            when given a certificate
# ./quillon.sh package makes them all.
set(QUILLON_SUMMARY "list folder trees and find what was added, deleted or modified")
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VENDOR "Quillon")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${QUILLON_SUMMARY})
set(CPACK_PACKAGE_CONTACT "Quillon Maintainers <maintainers@quillon.example.org>")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # The programs at the top, with the help and a README.txt that Notepad
  # shows (CR LF line ends).
  configure_file(${PROJECT_SOURCE_DIR}/share/windows/README.txt ${CMAKE_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/README.txt ${QUILLON_HELP_FILE} DESTINATION .)
  # The window, once this build makes one.
  if(TARGET quillon)
    install(TARGETS quillon RUNTIME DESTINATION .)
  endif()
  # The DLLs that sign and check listings, beside the programs that load
  # them, and what their licence (LGPL 2.1) asks to go with them: its text,
  # their copyright notices, and which source they were built from.
  install(IMPORTED_RUNTIME_ARTIFACTS Gcrypt::Gcrypt GpgError::GpgError RUNTIME DESTINATION .)
  foreach(package libgcrypt libgpg-error)
    execute_process(COMMAND dpkg-query -W -f=\${source:Package}\ \${Version} ${package}-mingw-w64-dev
                    OUTPUT_VARIABLE source RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "${package}-mingw-w64-dev is not installed (./quillon.sh windows installs it)")
    endif()
    string(MAKE_C_IDENTIFIER ${package} name)
    set(QUILLON_${name}_SOURCE ${source})
    set(notices /usr/share/doc/${package}-mingw-w64-dev/copyright)
    file(READ ${notices} text)
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${CMAKE_BINARY_DIR}/licenses/${package}.txt "${text}")
  endforeach()
  file(READ /usr/share/common-licenses/LGPL-2.1 text)
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${CMAKE_BINARY_DIR}/licenses/LGPL-2.1.txt "${text}")
  configure_file(${PROJECT_SOURCE_DIR}/share/windows/THIRD-PARTY.txt ${CMAKE_BINARY_DIR}/licenses/THIRD-PARTY.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/licenses/THIRD-PARTY.txt ${CMAKE_BINARY_DIR}/licenses/LGPL-2.1.txt
          ${CMAKE_BINARY_DIR}/licenses/libgcrypt.txt ${CMAKE_BINARY_DIR}/licenses/libgpg-error.txt DESTINATION licenses)
  return()
endif()

include(GNUInstallDirs)
set(QUILLON_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/quillon)

# Man pages and the Debian changelog, compressed as the Debian policy asks
# (gzip -9n: no name or time inside, so the same bytes every build).
find_program(QUILLON_GZIP gzip REQUIRED)
set(QUILLON_PAGES quillon-cli.1 quillon-audit.8)
if(TARGET quillon)
  list(APPEND QUILLON_PAGES quillon.1)
endif()
# Dates of the build (or of SOURCE_DATE_EPOCH, when set).
string(TIMESTAMP QUILLON_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP QUILLON_MAN_DATE "%Y-%m-%d" UTC)
configure_file(${PROJECT_SOURCE_DIR}/share/changelog.in ${CMAKE_BINARY_DIR}/package/changelog @ONLY)
set(QUILLON_COMPRESSED ${CMAKE_BINARY_DIR}/package/changelog.gz)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/package/changelog.gz
  COMMAND ${QUILLON_GZIP} -9nf ${CMAKE_BINARY_DIR}/package/changelog -c > ${CMAKE_BINARY_DIR}/package/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/package/changelog VERBATIM)
foreach(page ${QUILLON_PAGES})
  configure_file(${PROJECT_SOURCE_DIR}/share/man/${page} ${CMAKE_BINARY_DIR}/package/${page} @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/package/${page}.gz
    COMMAND ${QUILLON_GZIP} -9nf ${CMAKE_BINARY_DIR}/package/${page} -c > ${CMAKE_BINARY_DIR}/package/${page}.gz
    DEPENDS ${CMAKE_BINARY_DIR}/package/${page} VERBATIM)
  list(APPEND QUILLON_COMPRESSED ${CMAKE_BINARY_DIR}/package/${page}.gz)
  string(REGEX REPLACE ".*\\." "" section ${page})
  install(FILES ${CMAKE_BINARY_DIR}/package/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()
add_custom_target(quillon_compressed_docs ALL DEPENDS ${QUILLON_COMPRESSED})

install(FILES ${PROJECT_SOURCE_DIR}/share/completion/quillon-cli.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME quillon-cli)
install(FILES ${PROJECT_SOURCE_DIR}/share/completion/_quillon-cli DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
install(FILES ${PROJECT_SOURCE_DIR}/share/completion/quillon-cli.fish
        DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)

# Scheduled audits: the script on the administrator's path (the service
# names it without a folder, so it is found under /usr and /usr/local
# alike), the unit templates where systemd looks for the prefix's units.
install(PROGRAMS ${PROJECT_SOURCE_DIR}/share/audit/quillon-audit DESTINATION ${CMAKE_INSTALL_SBINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/share/audit/quillon-audit@.service ${PROJECT_SOURCE_DIR}/share/audit/quillon-audit@.timer
        DESTINATION lib/systemd/system)
install(FILES ${PROJECT_SOURCE_DIR}/share/audit/audit.conf DESTINATION ${QUILLON_DOC_DIR}/examples)
install(FILES ${PROJECT_SOURCE_DIR}/share/copyright ${CMAKE_BINARY_DIR}/package/changelog.gz DESTINATION ${QUILLON_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# CPack puts the summary above this, as the description's first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quillon lists a whole folder tree, one line per file with its date and
time, size, attributes, optionally its MD5 digest and its full path, and
compares such listings over time, so that you know exactly which files
were added, deleted, modified or moved.

This package holds the desktop program (Qt 6), the command-line tool
quillon-cli for scripts, and systemd timers for nightly audits.")
include(CPack)
