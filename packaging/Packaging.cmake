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

# orbel-gateway's service, one instance per port; installed, not enabled.
if(TARGET orbel-gateway)
  install(FILES ${ORBEL_PACKAGING_DIR}/systemd/orbel-gateway@.service
    DESTINATION lib/systemd/system)
endif()

# Manual pages of the programs, compressed as Debian keeps them (gzip -n:
# no name or time stamp, so the same page always gives the same bytes).
find_program(ORBEL_GZIP gzip REQUIRED)
set(man_pages "")
foreach(page orbel orbel-cli orbel-sim orbel-gateway)
  set(source ${ORBEL_PACKAGING_DIR}/man/${page}.1)
  set(copy ${CMAKE_BINARY_DIR}/man/${page}.1)
  add_custom_command(OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
    COMMAND ${ORBEL_GZIP} -9nf ${copy}
    DEPENDS ${source}
    COMMENT "Compressing the manual page ${page}.1")
  list(APPEND man_pages ${copy}.gz)
endforeach()
add_custom_target(orbel_man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The package's changelog and copyright file, where Debian looks for them.
set(changelog ${CMAKE_BINARY_DIR}/doc/changelog)
add_custom_command(OUTPUT ${changelog}.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${ORBEL_PACKAGING_DIR}/changelog ${changelog}
  COMMAND ${ORBEL_GZIP} -9nf ${changelog}
  DEPENDS ${ORBEL_PACKAGING_DIR}/changelog
  COMMENT "Compressing the changelog")
add_custom_target(orbel_changelog ALL DEPENDS ${changelog}.gz)
install(FILES ${changelog}.gz ${ORBEL_PACKAGING_DIR}/copyright
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orbel)

# ---- Debian package ------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orbel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ORBEL developers")
set(CPACK_PACKAGE_CONTACT "ORBEL developers <orbel-devel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "ОРБЕЛ level gauge service tool / сервисная программа уровнемера")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME orbel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "ORBEL developers <orbel-devel@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The summary line comes from CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the
# long description (CPack indents it as the control file requires).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Reads the two channels of the level gauge over a serial port, shows the
levels and the sensor state, and calibrates the instrument, from a window
(orbel) or from a terminal and scripts (orbel-cli), and serves them to SCADA
systems as a Modbus TCP server (orbel-gateway). Includes orbel-sim, a
simulated instrument on a pseudo-terminal, for training and for trying the
tool without hardware.
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
