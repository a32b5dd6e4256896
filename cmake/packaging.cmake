# Installation and packages. Linux: the program, its manual page, README,
# licence and bash completion under GNU directories, and a Debian package.
# Windows: a zip of the program with README.txt and LICENSE.txt in CR LF.
# Only what a user runs or reads is installed: no tests, stand-in encoder,
# GoogleTest or benchmarks.
include(GNUInstallDirs)

# The version is the program's own, kept in app/reports.h alone.
file(STRINGS ${CMAKE_SOURCE_DIR}/app/reports.h version_line REGEX "kVersion = \"[^\"]+\"")
string(REGEX MATCH "\"([^\"]+)\"" version_quoted "${version_line}")
set(slidemill_version ${CMAKE_MATCH_1})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_SOURCE_DIR}/app/reports.h ${CMAKE_SOURCE_DIR}/README.md
             ${CMAKE_SOURCE_DIR}/LICENSE)

# Writes TARGET in the build directory: SOURCE's text with CR LF line ends.
function(slidemill_write_crlf source target)
  file(READ ${CMAKE_SOURCE_DIR}/${source} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${CMAKE_BINARY_DIR}/${target} "${text}")
endfunction()

set(CPACK_PACKAGE_NAME slidemill)
set(CPACK_PACKAGE_VERSION ${slidemill_version})
set(CPACK_PACKAGE_VENDOR "The Slidemill developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "makes a video of every directory of JPG photos in a tree")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Slidemill walks a tree of photo directories and, in each directory holding\n"
       "JPGs, writes a title file with the first photo's date and runs mencoder or\n"
       "ffmpeg to make a video of its photos. Ctrl-C asks before it ends a long run.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # Windows readers expect .txt names and CR LF; everything sits beside the exe.
  slidemill_write_crlf(README.md README.txt)
  slidemill_write_crlf(LICENSE LICENSE.txt)
  install(TARGETS slidemill RUNTIME DESTINATION .)
  install(FILES ${CMAKE_BINARY_DIR}/README.txt ${CMAKE_BINARY_DIR}/LICENSE.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
else()
  install(TARGETS slidemill RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/slidemill.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${CMAKE_BINARY_DIR}/slidemill-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME slidemill)

  # Debian names a package's licence in share/doc/<package>/copyright.
  file(READ ${CMAKE_SOURCE_DIR}/LICENSE license_text)
  string(STRIP "${license_text}" license_text)
  string(REPLACE "\n\n" "\n.\n" license_text "${license_text}")
  string(REPLACE "\n" "\n " license_text "${license_text}")
  file(WRITE ${CMAKE_BINARY_DIR}/copyright
       "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
       "Upstream-Name: slidemill\n\n"
       "Files: *\nCopyright: 2026 The Slidemill developers\nLicense: Expat\n ${license_text}\n")
  install(FILES ${CMAKE_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Slidemill developers")
  set(CPACK_DEBIAN_PACKAGE_SECTION video)
  # Depends comes from the libraries the program links (dpkg-shlibdeps).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "mencoder | ffmpeg")
endif()

include(CPack)
