# What `cmake --install` puts in place: the four programs, the monitor's desktop entry and icon,
# and a manual page per program; nothing that only tests, measures or demonstrates.
#
# The rules live here rather than beside each target because the product is one list that
# spans app/, tools/ and feed/, which the package test checks entry by entry; this file is
# included after every folder, where all four targets exist.
include(GNUInstallDirs)

# Folders get the same mode whatever the builder's umask, in the package as in a prefix.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(KELVOR_PROGRAMS kelvor-monitor kelvor-station-sim kelvor-capture kelvor-feed)
install(TARGETS ${KELVOR_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages get the version filled in and are compressed as Debian ships them (gzip -n: no
# name or time stamp, so the same page gives the same bytes).
find_program(KELVOR_GZIP gzip REQUIRED)
set(manual_pages)
foreach(program ${KELVOR_PROGRAMS})
  set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
  configure_file(${PROJECT_SOURCE_DIR}/dist/man/${program}.1.in ${page} @ONLY)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${KELVOR_GZIP} -9 -n -k -f ${page}
    DEPENDS ${page}
    COMMENT "Compressing the manual page of ${program}"
    VERBATIM)
  list(APPEND manual_pages ${page}.gz)
endforeach()
add_custom_target(kelvor-manual-pages ALL DEPENDS ${manual_pages})
install(FILES ${manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${PROJECT_SOURCE_DIR}/dist/applications/kelvor-monitor.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${PROJECT_SOURCE_DIR}/dist/icons/kelvor-monitor.svg DESTINATION ${icons}/scalable/apps)
foreach(size 48 256)
  install(FILES ${PROJECT_SOURCE_DIR}/dist/icons/kelvor-monitor-${size}.png
    DESTINATION ${icons}/${size}x${size}/apps RENAME kelvor-monitor.png)
endforeach()

# Everything the install step needs, without the tests: what `make package` builds.
add_custom_target(kelvor-installables)
add_dependencies(kelvor-installables ${KELVOR_PROGRAMS} kelvor-manual-pages)
