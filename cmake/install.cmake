# `cmake --install` (FHS under the prefix) and the Debian package (`cpack -G DEB` in the
# build folder): the program, its desktop entry, its icon at 48, 128 and 256 pixels and
# its AppStream metainfo.

include(GNUInstallDirs)
set(ZEPHIRO_APP_ID org.zephiro.ZephiroInstaller)
file(STRINGS ${CMAKE_SOURCE_DIR}/core/version.h version_line REGEX "ZEPHIRO_VERSION_TEXT")
string(REGEX MATCH "[0-9][0-9A-Za-z.]*" ZEPHIRO_VERSION "${version_line}")

install(TARGETS zephiro-installer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/desktop/${ZEPHIRO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/desktop/${ZEPHIRO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The icon is drawn at 256 pixels; the smaller sizes are scaled from it at build time.
set(icon_source ${CMAKE_SOURCE_DIR}/resources/icon.png)
install(FILES ${icon_source} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps
        RENAME zephiro-installer.png)
set(scaled_icons "")
foreach(size 48 128)
  set(icon ${CMAKE_BINARY_DIR}/icons/${size}x${size}/zephiro-installer.png)
  add_custom_command(OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
    COMMAND scale_icon ${icon_source} ${size} ${icon}
    DEPENDS scale_icon ${icon_source} VERBATIM)
  list(APPEND scaled_icons ${icon})
  install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(scaled_icons ALL DEPENDS ${scaled_icons})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zephiro-installer)
set(CPACK_PACKAGE_VERSION ${ZEPHIRO_VERSION})
set(CPACK_PACKAGE_CONTACT "Zephiro <installer@zephiro.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Installer, scenery manager and repair tool of Zephiro 9")
set(CPACK_PACKAGE_DESCRIPTION
  "Installs the Zephiro 9 flight simulator from its DVDs, adds and removes the scenery of a\ncopy, and checks and repairs a copy's files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
# The libraries the program links, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
