# The Debian package: cpack -G DEB in the build folder. It installs to /usr whatever this
# tree's install prefix; paths that name the install place are written at install time.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vimo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vimo developers <vimo@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "post short notes to colleagues on the office network")
set(CPACK_PACKAGE_DESCRIPTION
    "Vimo lets the people of one office network write each other short notes.\n"
    "Each user runs a copy that lives in the desktop's notification area. A note\n"
    "shows on its recipient's desktop as a small yellow, green or red window until\n"
    "it is deleted. All copies share one store through the ODBC data source VIMO:\n"
    "a SQLite data file in a shared folder, or a PostgreSQL database.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries the program and the set-up library link come from dpkg-shlibdeps; the SQLite ODBC
# driver behind our entry and odbcinst for the maintainer scripts are loaded or run, not linked,
# and so is libpq, which the program loads for the link that listens to a PostgreSQL store.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsqliteodbc, odbcinst, libpq5")
# Qt's own German, for its standard buttons and the file dialog; ours is in the program.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "odbc-postgresql, qt6-wayland")
configure_file(${PROJECT_SOURCE_DIR}/packaging/conffiles.in ${PROJECT_BINARY_DIR}/packaging/conffiles @ONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/postinst
    ${PROJECT_SOURCE_DIR}/packaging/postrm
    ${PROJECT_BINARY_DIR}/packaging/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
