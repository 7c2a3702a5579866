# Installation and packaging: the five programs under bin/ (nsf2pst starts
# nsfviewer and nsfsaver from its own folder, so the three stay together),
# the manual pages, the desktop entry with its icon and the MIME type of
# Notes databases, the documentation, the sample mailbox as a ready database
# and its description, and the Debian package that `cpack -G DEB` makes from
# all of it.
include(GNUInstallDirs)

# nsf2pst/Version.h carries the project version into every program.
configure_file(${CMAKE_CURRENT_LIST_DIR}/Version.h.in ${PROJECT_BINARY_DIR}/generated/nsf2pst/Version.h @ONLY)
foreach(program nsf2pst nsfviewer nsfsaver nsfdb pstbuild)
  if(TARGET ${program})
    target_include_directories(${program} PRIVATE ${PROJECT_BINARY_DIR}/generated)
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# Manual pages: the version goes into the title line, then gzip -9n as
# Debian wants them (no name or time stamp in the archive).
set(man_pages)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/docs/man)
foreach(page nsf2pst.1 nsfdb.1)
  set(text ${PROJECT_BINARY_DIR}/docs/man/${page})
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page} ${text} @ONLY)
  add_custom_command(OUTPUT ${text}.gz
    COMMAND gzip -9n -f -k ${text}
    DEPENDS ${text}
    COMMENT "Compressing the manual page ${page}")
  list(APPEND man_pages ${text}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/nsf2pst.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/nsf2pst.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/nsf2pst-mime.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME nsf2pst.xml)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/nsfdb.md ${PROJECT_SOURCE_DIR}/docs/nsf-format.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The sample mailbox: its description (for nsfdb) and the database built
# from it, so that a fresh installation has something to convert.
if(TARGET nsfdb)
  set(sample ${PROJECT_BINARY_DIR}/samples/mailbox.nsf)
  file(GLOB_RECURSE sample_sources ${PROJECT_SOURCE_DIR}/samples/mailbox/*)
  add_custom_command(OUTPUT ${sample}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/samples
    COMMAND ${CMAKE_COMMAND} -E rm -f ${sample}
    COMMAND nsfdb build ${PROJECT_SOURCE_DIR}/samples/mailbox/mailbox.json ${sample}
    DEPENDS nsfdb ${sample_sources}
    COMMENT "Building the sample mailbox database")
  add_custom_target(sample_database ALL DEPENDS ${sample})
  install(FILES ${sample} DESTINATION ${CMAKE_INSTALL_DATADIR}/nsf2pst/samples)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/samples/mailbox DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
endif()

# The Debian package: nsf2pst_VERSION_ARCH.deb. dpkg-shlibdeps (dpkg-dev)
# derives Depends from the libraries the programs link; xdg-utils opens the
# help and home pages from the viewer.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nsf2pst)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "nsf2pst maintainers <maintainers@nsf2pst.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert Notes mail databases into Outlook PST files")
# The long description follows the summary line; CPack indents its lines.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "nsf2pst reads Notes and Domino databases (.nsf) directly, without a Notes
client, and writes Unicode PST files: mail, tasks, calendar entries,
contacts and groups, folder by folder, with a report of what became of
every document. nsfviewer lets the user choose folders and options in a
window (nsf2pst --gui); nsfdb and pstbuild are tools for test databases
and staging stores.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_STRIP_FILES ON)
include(CPack)
