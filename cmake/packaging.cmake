# What an install brings besides the programs and their texts, and the
# packages CPack makes of it: `cpack --config build/default/CPackConfig.cmake`
# gives a .deb and a .tar.gz.

set(VELMORA_DESKTOP_ID io.github.velmora.Velmora)

install(FILES "${PROJECT_SOURCE_DIR}/resources/cli/velmora-cli.1"
        DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${PROJECT_SOURCE_DIR}/resources/cli/velmora-cli.bash"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions"
        RENAME velmora-cli)

if(VELMORA_GUI)
  install(FILES "${PROJECT_SOURCE_DIR}/resources/desktop/${VELMORA_DESKTOP_ID}.desktop"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
  install(FILES "${PROJECT_SOURCE_DIR}/resources/desktop/${VELMORA_DESKTOP_ID}.metainfo.xml"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
  foreach(size 16 32 48 128 256)
    install(FILES "${PROJECT_SOURCE_DIR}/resources/desktop/icons/velmora-${size}.png"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
            RENAME velmora.png)
  endforeach()
endif()

set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "The Velmora developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Remove the sound from video files without re-encoding")
set(CPACK_PACKAGE_CONTACT "The Velmora developers <velmora@users.noreply.github.com>")
set(CPACK_GENERATOR "DEB;TGZ")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
# The libraries' packages are read off the programs; the CJK font is for the
# Chinese texts of the window, Qt's translations for its own dialogs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(VELMORA_GUI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
endif()
include(CPack)
