# Installing Orvelle (`cmake --install`) and its Debian package (`cpack -G DEB`). The desktop
# entry, metainfo and icons install from resources/desktop; here the program itself, its manual
# page, the licence and changelog files Debian asks for, and the package's description. The
# package's dependencies come from dpkg-shlibdeps, read off the libraries the installed program
# links. The package is checked with lintian by the desktop install test (tests/desktop).
include(GNUInstallDirs)
include(Changelog)
orvelle_read_changelog(${PROJECT_SOURCE_DIR}/debian/changelog)
set(ORVELLE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/orvelle)

if(TARGET orvelle)
  install(TARGETS orvelle RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The manual page and the changelog, compressed as Debian ships them: the highest compression and
# no time stamp in the gzip header, so that the same sources give the same package.
find_program(ORVELLE_GZIP gzip REQUIRED)
configure_file(${PROJECT_SOURCE_DIR}/docs/orvelle.1.in ${PROJECT_BINARY_DIR}/docs/orvelle.1 @ONLY)
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/docs/orvelle.1.gz
  COMMAND ${ORVELLE_GZIP} -9nf -k ${PROJECT_BINARY_DIR}/docs/orvelle.1
  DEPENDS ${PROJECT_BINARY_DIR}/docs/orvelle.1
  VERBATIM)
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/docs/changelog.gz
  COMMAND ${ORVELLE_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/debian/changelog > ${PROJECT_BINARY_DIR}/docs/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/debian/changelog
  VERBATIM)
add_custom_target(orvelle_docs ALL DEPENDS ${PROJECT_BINARY_DIR}/docs/orvelle.1.gz ${PROJECT_BINARY_DIR}/docs/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/docs/orvelle.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/debian/copyright ${PROJECT_BINARY_DIR}/docs/changelog.gz
  DESTINATION ${ORVELLE_DOC_DIR})

set(CPACK_PACKAGE_NAME orvelle)
set(CPACK_PACKAGE_VERSION ${ORVELLE_CHANGELOG_VERSION})
set(CPACK_PACKAGE_VENDOR "The Orvelle developers")
set(CPACK_PACKAGE_CONTACT "The Orvelle developers <orvelle@orvelle.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "client for the Kestra online radio")
# Wrapped for the package managers' display: each line at most 79 characters.
set(CPACK_PACKAGE_DESCRIPTION
  "Orvelle plays the music channels of the Kestra online radio, one song after
another, showing each song's title, singer, cover and lyrics. Media keys and
the desktop's sound menu control it, and it remembers the channel and the
volume across starts.")
set(CPACK_PACKAGE_HOMEPAGE_URL ${ORVELLE_HOMEPAGE_URL})
set(CPACK_PACKAGE_INSTALL_DIRECTORY orvelle)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the program loads at run time and dpkg-shlibdeps cannot see: Qt's window-system plugins,
# GStreamer's plugins the player builds its pipeline from (the HTTP source, MP3 parsing and
# decoding, the PulseAudio output; TLS for HTTPS through glib-networking) and the fonts the windows
# name (Tahoma from Wine's fonts, the Chinese glyphs). The session bus and
# the portal are optional: without them the program runs as before.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, glib-networking, fonts-wine, fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "dbus-user-session, xdg-desktop-portal")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
