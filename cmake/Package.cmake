# What a workstation installs beside the library: the desktop entries, the icon, the manual page,
# the pkg-config file and the package's documents; and the Debian package made by
# `cpack -G DEB` in a build configured with -DCMAKE_INSTALL_PREFIX=/usr (see package.sh).

set(packaging ${PROJECT_SOURCE_DIR}/packaging)

install(FILES ${packaging}/tzsndmsg-messages.desktop ${packaging}/tzsndmsg-events.desktop
              ${packaging}/tzsndmsg-holidays.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The tray starts with each desktop session of the workstation. A system install (/usr, as the
# Debian package is built) puts the entry in the machine's /etc/xdg/autostart; an install under
# any other prefix (cmake --install --prefix DIR) keeps it inside that prefix.
install(CODE "
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(autostart \"/etc/xdg/autostart\")
  else()
    set(autostart \"\${CMAKE_INSTALL_PREFIX}/etc/xdg/autostart\")
  endif()
  file(INSTALL DESTINATION \"\${autostart}\" TYPE FILE FILES \"${packaging}/tzsndmsg-tray.desktop\")
")
install(FILES ${packaging}/tzsndmsg.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The pkg-config file finds its prefix from where it lies, so an unpacked tree works too.
file(RELATIVE_PATH TZSNDMSG_PC_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" TZSNDMSG_PC_PREFIX "${TZSNDMSG_PC_PREFIX}")
configure_file(${packaging}/tzsndmsg.pc.in ${PROJECT_BINARY_DIR}/tzsndmsg.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tzsndmsg.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The manual page, from the program's own --help texts.
string(TIMESTAMP manual_date "%B %Y" UTC)
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/tzsndmsg.1.gz
  COMMAND ${packaging}/make-manpage.sh $<TARGET_FILE:tzsndmsg_app> "${manual_date}"
          ${PROJECT_BINARY_DIR}/tzsndmsg.1
  COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/tzsndmsg.1
  DEPENDS tzsndmsg_app ${packaging}/make-manpage.sh
  COMMENT "Writing the manual page tzsndmsg(1)")
add_custom_target(tzsndmsg_manpage ALL DEPENDS ${PROJECT_BINARY_DIR}/tzsndmsg.1.gz)
install(FILES ${PROJECT_BINARY_DIR}/tzsndmsg.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
  COMMAND gzip -9nc ${packaging}/changelog > ${PROJECT_BINARY_DIR}/changelog.gz
  DEPENDS ${packaging}/changelog)
add_custom_target(tzsndmsg_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES ${packaging}/copyright ${PROJECT_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tzsndmsg)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "tzsndmsg maintainers <maintainers@tzsndmsg.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "office messages, events and holidays for clinics")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "The staff of a clinic send each other internal messages (inbox, sent items,\n"
  "history, replies, forwards, return receipts, confirmations and reminders), keep\n"
  "the office's events and its holidays, over SQLite or a PostgreSQL server that\n"
  "the workstations share. The package holds the program tzsndmsg, the shared\n"
  "library a clinic's own software links, its headers and CMake and pkg-config\n"
  "packages, the help pages and the desktop entries.")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the program links, found by dpkg-shlibdeps, and the plug-ins Qt loads at run
# time: the two database drivers and the platform plug-ins that draw the windows.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The library cache is renewed by dpkg's ldconfig trigger, not by calls in the scripts.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${packaging}/triggers ${packaging}/postinst ${packaging}/postrm
    ${packaging}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# Only what a workstation needs: the tests and benchmarks are never installed.
include(CPack)
