# cpack -G DEB: a Debian package of what cmake --install installs, under /usr.
set(CPACK_PACKAGE_NAME kvaren)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "Kvaren puts chosen directories under control, recording a baseline row for
every file of the chosen types (size, date, attributes and two checksums
of its contents) in a Firebird database, and later checks them, reporting
deleted, moved, new and changed files. It has a window, kvaren, and a
console program for scripts and cron, kvaren-cli. One command,
kvaren-cli init --system, puts the system's directories under control; a
systemd timer, enabled, then checks them daily, reporting to the journal
and mailing root where a mail transport is installed, and a service,
installed disabled, watches them as their files change. Its interface is
in Russian.")
if(NOT CPACK_PACKAGE_CONTACT)
  set(CPACK_PACKAGE_CONTACT "Kvaren developers <maintainers@kvaren.org>")
endif()
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RPM_PACKAGE_LICENSE MIT)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)

# The package's own revision of the project's version: the packaging may
# change without a new release, and the changelog's latest entry names it.
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KVAREN_DEBIAN_REVISION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps finds the libraries the programs link (Qt, fbclient); these
# three are loaded at run time and so invisible to it: Qt's Firebird driver,
# the embedded engine that opens database files, and Qt's SVG plugins that
# draw the windows' icon.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# gpgv verifies the archive's signature where a finding is checked against a cached .deb.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-ibase, firebird3.0-server-core, libqt6svg6, gpgv")
# Qt's Russian texts of the standard buttons; without them they read in English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
# postinst makes /var/lib/kvaren, root's alone, for the system's database,
# and enables and starts the daily check's timer, whose service waits for
# the database; prerm stops the timer, postrm removes /var/lib/kvaren on
# purge when it is empty, and masks and forgets the timer's enabling as
# debhelper's scripts do. The watch's service is the administrator's choice.
# The list of the system's directories is a conffile.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/data/postinst ${PROJECT_SOURCE_DIR}/data/prerm ${PROJECT_SOURCE_DIR}/data/postrm
  ${PROJECT_SOURCE_DIR}/data/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
