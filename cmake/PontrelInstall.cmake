# What `cmake --install` puts under the prefix, and the Debian package CPack makes of it.
#
# The program finds NIVELCAN.DBF, YEDRA.chm and Velmora.ini in its own folder (the folder of the running
# executable, links resolved). So the executables and those files travel together:
#   Linux:   lib/pontrel/{pontrel, pontrel-cli, NIVELCAN.DBF, YEDRA.chm}, and bin/pontrel and
#            bin/pontrel-cli as relative links to them;
#   Windows: bin/ holds all four.
# The licences: Pontrel is GPL-3.0-or-later. The Windows programs carry Qt and libxml2 linked in, so
# their notices and licence texts go beside them (bin/AVISOS-DE-TERCEROS.txt, bin/COPYING.txt and
# bin/licenses/); on Linux the package uses the system's libraries and holds the notices file and the
# Debian copyright file under share/doc/pontrel.
# Beside them: the desktop entry, the icon, the AppStream metainfo, the manual page of pontrel-cli and
# the sample school (share/pontrel/sample: colegio.xml and its timetable SOLUC.DBF).

include(GNUInstallDirs)

if(WIN32)
  set(PONTREL_INSTALL_PROGRAM_DIR ${CMAKE_INSTALL_BINDIR})
else()
  set(PONTREL_INSTALL_PROGRAM_DIR lib/pontrel)
endif()

set(pontrel_programs pontrel-cli)
if(TARGET pontrel)
  list(PREPEND pontrel_programs pontrel)
endif()
install(TARGETS ${pontrel_programs} RUNTIME DESTINATION ${PONTREL_INSTALL_PROGRAM_DIR})
install(FILES ${PONTREL_BIN_DIR}/NIVELCAN.DBF DESTINATION ${PONTREL_INSTALL_PROGRAM_DIR})
if(TARGET pontrel_help)
  install(FILES ${PONTREL_BIN_DIR}/YEDRA.chm DESTINATION ${PONTREL_INSTALL_PROGRAM_DIR})
endif()

set(licenses ${CMAKE_SOURCE_DIR}/docs/licenses)
if(WIN32)
  install(FILES ${licenses}/AVISOS-DE-TERCEROS.txt DESTINATION ${PONTREL_INSTALL_PROGRAM_DIR})
  install(FILES ${CMAKE_SOURCE_DIR}/COPYING DESTINATION ${PONTREL_INSTALL_PROGRAM_DIR} RENAME COPYING.txt)
  install(FILES ${licenses}/libxml2-2.9.14-Copyright.txt DESTINATION ${PONTREL_INSTALL_PROGRAM_DIR}/licenses)
  if(TARGET pontrel)
    install(DIRECTORY ${licenses}/qt-6.4.2 DESTINATION ${PONTREL_INSTALL_PROGRAM_DIR}/licenses)
  endif()
else()
  install(FILES ${licenses}/AVISOS-DE-TERCEROS.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pontrel)
endif()

if(NOT WIN32)
  # The links are made once in the build tree (they dangle there) and installed as links.
  set(link_dir ${CMAKE_BINARY_DIR}/install-links)
  file(MAKE_DIRECTORY ${link_dir})
  foreach(program ${pontrel_programs})
    file(CREATE_LINK ../${PONTREL_INSTALL_PROGRAM_DIR}/${program} ${link_dir}/${program} SYMBOLIC)
    install(FILES ${link_dir}/${program} DESTINATION ${CMAKE_INSTALL_BINDIR})
  endforeach()

  set(packaging ${CMAKE_SOURCE_DIR}/packaging)
  if(TARGET pontrel)
    install(FILES ${packaging}/pontrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${packaging}/pontrel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    install(FILES ${packaging}/org.pontrel.Pontrel.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  endif()
  if(PONTREL_MANUAL_PAGE)
    install(FILES ${PONTREL_MANUAL_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
  install(FILES ${packaging}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pontrel)
endif()

if(PONTREL_SAMPLE_SOLUC)
  install(FILES ${CMAKE_SOURCE_DIR}/data/sample/colegio.xml ${PONTREL_SAMPLE_SOLUC}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/pontrel/sample)
endif()

# The Debian package: bash scripts/package.sh.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pontrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Pontrel <pontrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "converter between Yedra school data and Velmora timetables")
# Lines under 80 characters, as Debian's control file wants them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Pontrel moves a school's data from Yedra, the school-administration system\n"
       "(XML documents), into the working tables of the timetable tool Velmora\n"
       "(dBase), and the computed timetable back into a Yedra document. It has a\n"
       "window (pontrel) and a command line (pontrel-cli).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps names the libraries' packages (Qt 6 Widgets, libxml2, the C++ runtime); the window also
# needs Qt's platform plugins, which no library links against.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xchm, qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
