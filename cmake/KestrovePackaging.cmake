# `make package` (cpack): a Debian package of exactly what `cmake --install` puts under /usr.
# The library dependencies come from dpkg-shlibdeps; only what Kestrove loads at run time,
# which no linker records, is named here. The maintainer is set in data/CMakeLists.txt.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrove)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Kestrove developers")
set(CPACK_PACKAGE_CONTACT ${KESTROVE_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "parcel tracker for the desktop")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${PROJECT_SOURCE_DIR}/data/debian/description)
set(CPACK_PACKAGE_INSTALL_DIRECTORY kestrove)
set(CPACK_STRIP_FILES ON)
# The installation decides some paths (the D-Bus file's Exec, the zsh folder) from the prefix
# it is given, so the package is installed to /usr below DESTDIR, never to a staging prefix.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://kestrove.app)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KESTROVE_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time: Qt's SVG icon engine (symbolic icons), the SQLite driver of Qt SQL, and
# libsecret, which QtKeychain opens to reach the Secret Service. hicolor-icon-theme makes the
# installed application icon resolvable by name.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, libqt6sql6-sqlite, libsecret-1-0, hicolor-icon-theme")
# The action icons come from Adwaita (drawn stand-ins otherwise); the key is best kept in a Secret Service.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "adwaita-icon-theme")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-keyring")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
