# cmake --install puts the terminal in the usual places; cpack makes a Debian package of it
# whose dependencies are worked out from the libraries it links (the Debian Qt packages).
install(FILES ${PROJECT_SOURCE_DIR}/help.htm DESTINATION ${CMAKE_INSTALL_DATADIR}/zelvic)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelvic)
set(CPACK_PACKAGE_VENDOR "Zelvic")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Lumo Brisk Terminal: configures an embedded web server over RS-232")
set(CPACK_PACKAGE_INSTALL_DIRECTORY /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Zelvic developers <dev@zelvic.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The simulator receives with lrzsz; Ping runs the system's ping in a terminal window.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "lrzsz, iputils-ping, xterm | x-terminal-emulator")
include(CPack)
