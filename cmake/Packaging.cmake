# Installing like any desktop program (bin, share/applications, share/icons, share/metainfo), and
# the Debian package made from that installation with `cpack` in a build folder.
install(TARGETS tarvik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvik)
set(CPACK_PACKAGE_VENDOR morvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tarvik Developers <dev@tarvik.invalid>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tarvik Developers <dev@tarvik.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tray utility that watches whether web hosts answer")
# The summary is the Description's first line; this is the paragraph under it.
set(CPACK_PACKAGE_DESCRIPTION
    "Tarvik checks a list of web hosts over HTTP at an interval you choose and\n\
shows in the system tray how many are down, with a menu listing every host.\n\
A command line checks once with an exit code, or monitors without a tray.")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The library dependencies come from the binaries themselves (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
