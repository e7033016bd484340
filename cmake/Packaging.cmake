# Installing like any desktop program (bin, share/applications, share/icons, share/metainfo), and
# the Debian packages made from that installation with `cpack` in a build folder: `tarvik` for
# desktops (the tray program, its login helper and what a desktop shows of it) and
# `tarvik-server` for machines without one (tarvikd, its systemd unit and the Prometheus setup),
# whose dependencies hold no GUI library.
install(TARGETS tarvik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT desktop)
install(TARGETS tarvikd RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT server)
# A user unit: the host list is each user's own.
install(FILES docs/systemd/tarvikd.service DESTINATION lib/systemd/user COMPONENT server)
install(FILES docs/prometheus/prometheus.yml docs/prometheus/tarvik-alerts.yml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarvik-server/prometheus COMPONENT server)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvik)
set(CPACK_PACKAGE_VENDOR morvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tarvik Developers <dev@tarvik.invalid>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tarvik Developers <dev@tarvik.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The library dependencies come from the binaries themselves (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# One package per component; the desktop one keeps the name, fields and file name it always had.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL desktop server)
set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME tarvik)
set(CPACK_DEBIAN_DESKTOP_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_SERVER_PACKAGE_NAME tarvik-server)
set(CPACK_DEBIAN_SERVER_FILE_NAME DEB-DEFAULT)
# Each package's Description is its summary line, then the paragraph under it. CPack would put
# one shared summary before every package's description unless that summary is CPack's own
# default, so it is left at the default, which no package shows.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_DEBIAN_DESKTOP_DESCRIPTION
    "tray utility that watches whether web hosts answer\n\
Tarvik checks a list of web hosts over HTTP at an interval you choose and\n\
shows in the system tray how many are down, with a menu listing every host.\n\
A command line checks once with an exit code, or monitors without a tray.")
set(CPACK_DEBIAN_SERVER_DESCRIPTION
    "server program that watches whether web hosts answer\n\
tarvikd checks a list of web hosts over HTTP at an interval and serves the\n\
last results to Prometheus, on a machine without a desktop. It runs as a\n\
systemd user service (tarvikd.service) and needs no GUI library.")
include(CPack)
