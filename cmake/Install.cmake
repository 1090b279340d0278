# What `cmake --install` puts in place, and the Debian package (`cpack -G DEB`) made from the same.
include(GNUInstallDirs)

set(KNOKLE_ID org.knokle.Knokle)
set(KNOKLE_UDEV_RULE 70-knokle-accelerometer.rules)
# udev reads rules from lib/udev/rules.d under /usr and /usr/local.
set(KNOKLE_UDEV_DIR ${CMAKE_INSTALL_PREFIX}/lib/udev/rules.d)
set(KNOKLE_SHARE_DIR ${CMAKE_INSTALL_FULL_DATADIR}/knokle)

# The application icon, drawn from the status glyph at build time.
add_executable(knokle_make_app_icon tools/make-app-icon.cpp)
target_link_libraries(knokle_make_app_icon PRIVATE knokle_ui)
set(KNOKLE_ICON_THEME ${PROJECT_BINARY_DIR}/share/icons/hicolor)
add_custom_command(OUTPUT ${KNOKLE_ICON_THEME}/scalable/apps/${KNOKLE_ID}.svg
                   COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:knokle_make_app_icon>
                           ${KNOKLE_ICON_THEME}
                   DEPENDS knokle_make_app_icon VERBATIM)
add_custom_target(knokle_app_icon ALL DEPENDS ${KNOKLE_ICON_THEME}/scalable/apps/${KNOKLE_ID}.svg)

# The rule beside the program in the build tree too, so that a program run from there can name it.
configure_file(share/udev/${KNOKLE_UDEV_RULE} ${PROJECT_BINARY_DIR}/share/knokle/${KNOKLE_UDEV_RULE} COPYONLY)
configure_file(share/knokle.1 ${PROJECT_BINARY_DIR}/share/knokle.1 @ONLY)
configure_file(share/${KNOKLE_ID}.metainfo.xml ${PROJECT_BINARY_DIR}/share/${KNOKLE_ID}.metainfo.xml COPYONLY)

install(TARGETS knokle RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES share/${KNOKLE_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_BINARY_DIR}/share/${KNOKLE_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${KNOKLE_ICON_THEME}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${PROJECT_BINARY_DIR}/share/knokle.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES share/shortcuts/README DESTINATION ${CMAKE_INSTALL_DATADIR}/knokle/shortcuts)
install(PROGRAMS share/shortcuts/do-not-disturb share/shortcuts/do-not-disturb-off
        DESTINATION ${CMAKE_INSTALL_DATADIR}/knokle/shortcuts)
install(FILES share/udev/${KNOKLE_UDEV_RULE} DESTINATION lib/udev/rules.d)
# A rule udev reads takes effect for the devices that are already there only after a reload and a trigger.
install(CODE "set(KNOKLE_UDEV_RULE ${KNOKLE_UDEV_RULE})")
install(CODE [[
    set(rule "${CMAKE_INSTALL_PREFIX}/lib/udev/rules.d/${KNOKLE_UDEV_RULE}")
    if(NOT "$ENV{DESTDIR}" STREQUAL "")
        # Staged for a package, whose scripts reload the rules.
    elseif(NOT CMAKE_INSTALL_PREFIX MATCHES "^/usr(/local)?/?$")
        message(STATUS "udev reads no rules under ${CMAKE_INSTALL_PREFIX}. To let the user logged in at the "
                       "computer read the accelerometer: sudo install -m 644 '${rule}' /etc/udev/rules.d/ && "
                       "sudo udevadm control --reload-rules && "
                       "sudo udevadm trigger --action=change --subsystem-match=hidraw")
    elseif(EXISTS /run/udev/control)
        execute_process(COMMAND udevadm control --reload-rules RESULT_VARIABLE reloaded)
        if(reloaded EQUAL 0)
            execute_process(COMMAND udevadm trigger --action=change --subsystem-match=hidraw)
            message(STATUS "Reloaded the udev rules")
        else()
            message(STATUS "Could not reload the udev rules; they take effect after: sudo udevadm control "
                           "--reload-rules && sudo udevadm trigger --action=change --subsystem-match=hidraw")
        endif()
    endif()
]])

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME knokle)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tap the laptop's chassis to run desktop actions")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Knokle lives in the panel's tray, recognises taps on the laptop's chassis with its built-in accelerometer "
       "(or, when the user turns listening on, its microphone) and runs the mode bound to the number of taps: close browser tabs, quit and open applications, open links, "
       "run a Focus shortcut.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Knokle developers <knokle@users.noreply.github.com>"
    CACHE STRING "Maintainer of the Debian package")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beside the libraries found by dpkg-shlibdeps: the fonts the windows name, udev for the rule, and the sound
# client library named even where shlibdeps is not run.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, fonts-materialdesignicons-webfont, udev, libpulse0")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-shell-extension-appindicator, chromium")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/postinst
                                      ${PROJECT_SOURCE_DIR}/cmake/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
