# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
# The Debian package, made by CPack from the install rules:
#   cpack --config <build>/CPackConfig.cmake   ->  dayspinner_<version>_<arch>.deb
# tools/build-package.sh does the whole build and leaves the file in the top folder.
#
# The package takes the program, the manual page and the catalogs of the
# ordinary install rules, but the page compressed, and adds the Debian copyright and changelog
# under /usr/share/doc/dayspinner and the entry of Debian's menu (the root menu
# of Window Maker and others) as /usr/share/menu/dayspinner. Those four are the
# component `debian`, excluded from a plain `cmake --install`.
#
# The maintainer, named in the package's control file and its changelog, is set
# in this one place; a packager gives their own at configure time:
#   cmake -DDAYSPINNER_MAINTAINER="Name <address>" ...

set(DAYSPINNER_MAINTAINER "Dayspinner developers <dayspinner@example.org>"
    CACHE STRING "Maintainer of the Debian package, as \"Name <address>\"")
set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/dayspinner)
set(package_dir ${CMAKE_BINARY_DIR}/packaging)

# gzip -n leaves out the name and time stamp, so the same page gives the same bytes.
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${package_dir}/changelog @ONLY)
add_custom_command(
  OUTPUT ${package_dir}/dayspinner.1.gz ${package_dir}/changelog.gz
  COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/docs/dayspinner.1 > ${package_dir}/dayspinner.1.gz
  COMMAND gzip -9n -c ${package_dir}/changelog > ${package_dir}/changelog.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/docs/dayspinner.1 ${package_dir}/changelog
  VERBATIM)
add_custom_target(debian_files ALL DEPENDS ${package_dir}/dayspinner.1.gz ${package_dir}/changelog.gz)

install(FILES ${package_dir}/dayspinner.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${package_dir}/changelog.gz
        DESTINATION ${doc_dir} COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/menu DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/menu
        RENAME dayspinner COMPONENT debian EXCLUDE_FROM_ALL)
# CPack strips the program but keeps the compilers' notes (.comment), which a
# Debian package leaves out as dh_strip does. This runs after the program's
# own install rule.
install(CODE "execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment
                  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/dayspinner\"
                  COMMAND_ERROR_IS_FATAL ANY)"
        COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dayspinner)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL program debian)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${DAYSPINNER_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The application button's default command.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS evolution)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/postinst)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "month calendar tile for the dock of an X11 window manager
Dayspinner shows one month as a 64x64 tile in the dock or slit of a window
manager such as Window Maker or Fluxbox, in the Gregorian, the Persian (solar
Hijri) or the Islamic calendar, with Latin or Farsi names and digits.
.
Today's number is red; the days that carry events from an iCalendar file
have a coloured ground, and a right click lists a day's events. A moon view
shows the phases of the moon. A button on the tile starts a configured
application, such as a mail and calendar program.")

include(CPack)
