# Installation and the Debian package. The launcher looks up its companion files and the
# emulator in its own directory, so they are installed together, with a link in bin/.
include(GNUInstallDirs)

set(VELMORA_APP_ID org.velmora.MobileEmulator)
set(VELMORA_INSTALL_APPDIR lib/velmora-mobile-emulator)
set(VELMORA_PACKAGING_SOURCE_DIR ${PROJECT_SOURCE_DIR}/packaging)

install(TARGETS velmora-launcher RUNTIME DESTINATION ${VELMORA_INSTALL_APPDIR})
# velmora-shots finds the emulator and the profiles as the launcher does, so it lies beside it.
set(VELMORA_LINKED_PROGRAMS velmora-launcher)
if(TARGET VelmoraMobileEmu)
    install(TARGETS VelmoraMobileEmu velmora-shots RUNTIME DESTINATION ${VELMORA_INSTALL_APPDIR})
    list(APPEND VELMORA_LINKED_PROGRAMS velmora-shots)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/data/LauncherDefault.ini
              ${PROJECT_SOURCE_DIR}/data/LauncherHelp.html
        DESTINATION ${VELMORA_INSTALL_APPDIR})

if(NOT WIN32)
    # A relative link keeps the installed tree movable (DESTDIR, package builds).
    foreach(program ${VELMORA_LINKED_PROGRAMS})
        install(CODE "
            set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
            file(MAKE_DIRECTORY \"\${bin}\")
            file(CREATE_LINK ../${VELMORA_INSTALL_APPDIR}/${program}
                 \"\${bin}/${program}\" SYMBOLIC)
            message(STATUS \"Installing: \${bin}/${program}\")
        ")
    endforeach()

    install(FILES ${VELMORA_PACKAGING_SOURCE_DIR}/linux/${VELMORA_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${VELMORA_PACKAGING_SOURCE_DIR}/linux/${VELMORA_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    foreach(size 16 24 32 48 128 256)
        install(FILES ${VELMORA_PACKAGING_SOURCE_DIR}/icons/velmora-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME ${VELMORA_APP_ID}.png)
    endforeach()
    install(FILES ${VELMORA_PACKAGING_SOURCE_DIR}/icons/velmora-mobile-emulator.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
            RENAME ${VELMORA_APP_ID}.svg)
endif()

set(CPACK_PACKAGE_NAME velmora-mobile-emulator)
set(CPACK_PACKAGE_VENDOR Velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Mobile browser emulator with a launcher of device profiles")
set(CPACK_PACKAGE_DESCRIPTION
    "Velmora Mobile Emulator shows web pages as the browser of a phone or tablet would: \
screen size, pixel density, user-agent string and touch, keyboard or mouse input. Its \
launcher keeps named device profiles and starts any number of emulators side by side.")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Velmora Mobile Emulator team <mobile-emulator@velmora.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The emulator renders every page with the system's Chromium.
set(CPACK_DEBIAN_PACKAGE_DEPENDS chromium)
# Help opens the page through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
include(CPack)
