# Installation of the desktop integration and the Debian package (CPack).
# Included at the end of the top-level CMakeLists.txt, once every target exists.
#
#   cmake --install build --prefix /some/where
#   (cd build && cpack -G DEB)        # or scripts/package

set(ORBEL_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})

install(FILES ${ORBEL_PACKAGING_DIR}/orbel.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ORBEL_PACKAGING_DIR}/orbel.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# ---- Debian package ------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orbel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ORBEL developers")
set(CPACK_PACKAGE_CONTACT "ORBEL developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "ОРБЕЛ level gauge service tool / сервисная программа уровнемера")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME orbel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "ORBEL developers")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The summary line comes from CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the
# long description (CPack indents it as the control file requires).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Reads the two channels of the level gauge over a serial port, shows the
levels and the sensor state, and calibrates the instrument. Includes
orbel-sim, a simulated instrument on a pseudo-terminal, for training and for
trying the tool without hardware.
.
Сервисная программа двухканального уровнемера ОРБЕЛ: чтение уровней и
состояния датчиков через последовательный порт, калибровка прибора.
В пакет входит orbel-sim, имитатор прибора для обучения и проверки без
оборудования.")
# The libraries the programs link against are found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its window-system plugins at run time, out of sight of
# dpkg-shlibdeps; without them the window cannot open on X11 or Wayland.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")

include(CPack)
