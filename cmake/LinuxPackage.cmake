# Installing the native Linux program and packaging it as a .deb: the program, its desktop entry and its
# hicolor icons, written at build time from the core's pixel art.

include(GNUInstallDirs)

set(HOVERMARK_ICON_THEME_DIR ${CMAKE_BINARY_DIR}/icons/hicolor)
add_executable(hovermark_write_icon_pngs ${PROJECT_SOURCE_DIR}/tools/write_icon_pngs.cpp)
target_link_libraries(hovermark_write_icon_pngs PRIVATE hovermark_platform_qt hovermark_main_window)
add_custom_command(OUTPUT ${HOVERMARK_ICON_THEME_DIR}/48x48/apps/hovermark.png
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:hovermark_write_icon_pngs>
            ${HOVERMARK_ICON_THEME_DIR}
    DEPENDS hovermark_write_icon_pngs
    COMMENT "Writing the hicolor icons from the pixel art")
add_custom_target(hovermark_icons ALL DEPENDS ${HOVERMARK_ICON_THEME_DIR}/48x48/apps/hovermark.png)

install(TARGETS hovermark RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/app/linux/hovermark.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48)
    install(FILES ${HOVERMARK_ICON_THEME_DIR}/${size}x${size}/apps/hovermark.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME hovermark)
set(CPACK_PACKAGE_VENDOR "The Hovermark developers")
set(CPACK_PACKAGE_CONTACT "The Hovermark developers <hovermark@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "shows the window or control under the mouse pointer")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "shows the window or control under the mouse pointer\n Ten times a second Hovermark lists the X window under the mouse pointer with its\n chain of parents and owners (class, id, title), outlines it with a thin red\n frame and marks it when it vanishes. It only reads other programs' windows.")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The library packages the program needs come from the libraries it links (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its X11 platform plugin at run time; no linked library names the package that holds it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
# The list's "Courier New" is matched by Liberation Mono, metric for metric. Looking inside windows needs the
# desktop's accessibility bus, which at-spi2-core brings; without it everything else works.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, at-spi2-core")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
