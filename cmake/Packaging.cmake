# Installing Orvelle (`cmake --install`) and its Debian package (`cpack -G DEB`). The desktop
# entry, metainfo and icons install from resources/desktop; here the program itself and the
# package's description. The package's dependencies come from dpkg-shlibdeps, read off the
# libraries the installed program links.
include(GNUInstallDirs)
if(TARGET orvelle)
  install(TARGETS orvelle RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(CPACK_PACKAGE_NAME orvelle)
set(CPACK_PACKAGE_VENDOR "The Orvelle developers")
set(CPACK_PACKAGE_CONTACT "The Orvelle developers <orvelle@orvelle.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Client for the Kestra online radio")
set(CPACK_PACKAGE_DESCRIPTION
  "Orvelle plays the music channels of the Kestra online radio, one song after another, showing each song's title, singer, cover and lyrics.")
set(CPACK_PACKAGE_HOMEPAGE_URL ${ORVELLE_HOMEPAGE_URL})
set(CPACK_PACKAGE_INSTALL_DIRECTORY orvelle)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the program loads at run time and dpkg-shlibdeps cannot see: Qt's window-system plugins and
# the fonts the windows name (Tahoma from Wine's fonts, the Chinese glyphs). The session bus and
# the portal are optional: without them the program runs as before.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-wine, fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "dbus-user-session, xdg-desktop-portal")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
