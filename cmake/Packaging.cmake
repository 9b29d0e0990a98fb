# Installing and the Debian package (cpack -G DEB): the two programs, the desktop entry and its
# icon, what a new station folder starts with (share/tessora), and the licence.
include(GNUInstallDirs)
# Debian's place, under the package's own name rather than the project's.
set(CMAKE_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/tessora)

install(TARGETS tessora tessora-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/tessora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The icon: the drawing, and the two sizes menus ask for, rendered from it at build time.
set(TESSORA_ICON_SVG ${CMAKE_SOURCE_DIR}/resources/icons/tessora.svg)
install(FILES ${TESSORA_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(TESSORA_ICON_PNGS)
foreach(size 48 256)
    set(png ${CMAKE_BINARY_DIR}/icons/${size}/tessora.png)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${TESSORA_ICON_SVG}
        DEPENDS ${TESSORA_ICON_SVG} VERBATIM)
    list(APPEND TESSORA_ICON_PNGS ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(tessora-icons ALL DEPENDS ${TESSORA_ICON_PNGS})

# What every new station folder starts with (TESSORA_SHIPPED_DIR, filled by the rooms that ship
# files); the program copies what a folder lacks at start.
# The folder also marks an installed program, which keeps its station folder per user.
install(DIRECTORY DESTINATION ${CMAKE_INSTALL_DATADIR}/tessora)
install(DIRECTORY ${TESSORA_SHIPPED_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/tessora OPTIONAL)

install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
foreach(page tessora tessora-cli)
    set(man ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
    add_custom_command(OUTPUT ${man}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/packaging/${page}.1 > ${man}
        DEPENDS ${CMAKE_SOURCE_DIR}/packaging/${page}.1 VERBATIM)
    list(APPEND TESSORA_MAN_PAGES ${man})
    install(FILES ${man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(tessora-man-pages ALL DEPENDS ${TESSORA_MAN_PAGES})
# Debian wants a changelog with every package (a native one: the version has no Debian revision).
set(TESSORA_CHANGELOG ${CMAKE_BINARY_DIR}/changelog.gz)
set(TESSORA_MAINTAINER "The Tessora developers <developers@tessora.example.org>")
string(TIMESTAMP TESSORA_BUILD_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${CMAKE_BINARY_DIR}/changelog.Debian
    "tessora (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
    "  * Built from the project's own sources.\n\n"
    " -- ${TESSORA_MAINTAINER}  ${TESSORA_BUILD_DATE}\n")
add_custom_command(OUTPUT ${TESSORA_CHANGELOG}
    COMMAND gzip -9n -c ${CMAKE_BINARY_DIR}/changelog.Debian > ${TESSORA_CHANGELOG}
    DEPENDS ${CMAKE_BINARY_DIR}/changelog.Debian VERBATIM)
add_custom_target(tessora-changelog ALL DEPENDS ${TESSORA_CHANGELOG})
install(FILES ${TESSORA_CHANGELOG} DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TESSORA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "unattended multi-channel school broadcasting station")
# One string: separate arguments would become a list joined by semicolons.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Tessora runs a school's or a campus's broadcasting by itself: bells, music and\n"
    "announcements on several output channels, each bound to one sound card and each\n"
    "following its own timetable of day lists and weekly, monthly or yearly lists.\n"
    "It also plays single files by hand, makes all-call and alarm broadcasts, edits\n"
    "the timetables, locks the screen and can power the computer off at a set time.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The MIDI sound font and the font that shows the Chinese captions are needed at run time but
# are no libraries, so shlibdeps cannot find them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "timgm6mb-soundfont, fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, pipewire-pulse | pulseaudio")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
