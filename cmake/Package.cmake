# The Debian package of what cmake/Install.cmake installs (`make package`). Its dependencies
# are read from the programs' shared libraries by dpkg-shlibdeps (dpkg-dev), so they follow
# whatever Qt and ICU the build linked.
set(KELVOR_PACKAGE_MAINTAINER "Kelvor monitor developers <kelvor-monitor@localhost>"
  CACHE STRING "Maintainer field of the Debian package: name <address>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvor-monitor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${KELVOR_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor for a station's bit stream, one line per block")
set(CPACK_PACKAGE_DESCRIPTION
  "A desktop monitor that connects to a station over TCP and shows every block it
receives as one line of 0 and 1 characters, with a red/green connection strip
and a save to RTF. Companion commands record a station's stream without a
desktop, export and search recordings for bit patterns, replay them from a
station simulator, and send text to a running monitor's view.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KELVOR_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
