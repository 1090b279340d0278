# What `cmake --install` puts in place, and the Debian package (`cpack -G DEB`) made from the same.
include(GNUInstallDirs)

set(KNOKLE_ID org.knokle.Knokle)
set(KNOKLE_UDEV_RULE 70-knokle-accelerometer.rules)

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
configure_file(share/${KNOKLE_ID}.metainfo.xml ${PROJECT_BINARY_DIR}/share/${KNOKLE_ID}.metainfo.xml COPYONLY)

install(TARGETS knokle RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES share/${KNOKLE_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_BINARY_DIR}/share/${KNOKLE_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${KNOKLE_ICON_THEME}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES share/shortcuts/README DESTINATION ${CMAKE_INSTALL_DATADIR}/knokle/shortcuts)
# Every shortcut the README names: the two that pick the desktop's mechanism run the others.
install(PROGRAMS share/shortcuts/do-not-disturb share/shortcuts/do-not-disturb-off share/shortcuts/do-not-disturb-gnome
                 share/shortcuts/do-not-disturb-kde share/shortcuts/do-not-disturb-xfce
                 share/shortcuts/do-not-disturb-inhibit
        DESTINATION ${CMAKE_INSTALL_DATADIR}/knokle/shortcuts)

# The browser extension, unpacked for Chromium-family browsers and packed for Firefox's "Install Add-on From File".
set(KNOKLE_EXTENSION_FILES manifest.json background.js)
set(KNOKLE_XPI ${PROJECT_BINARY_DIR}/share/knokle/knokle-tabs.xpi)
list(TRANSFORM KNOKLE_EXTENSION_FILES PREPEND ${PROJECT_SOURCE_DIR}/share/browser-extension/
     OUTPUT_VARIABLE KNOKLE_EXTENSION_SOURCES)
add_custom_command(OUTPUT ${KNOKLE_XPI}
                   COMMAND ${CMAKE_COMMAND} -E tar cf ${KNOKLE_XPI} --format=zip --mtime=2026-01-01
                           ${KNOKLE_EXTENSION_FILES}
                   WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}/share/browser-extension
                   DEPENDS ${KNOKLE_EXTENSION_SOURCES} VERBATIM)
add_custom_target(knokle_extension_xpi ALL DEPENDS ${KNOKLE_XPI})
install(FILES ${KNOKLE_EXTENSION_SOURCES} DESTINATION ${CMAKE_INSTALL_DATADIR}/knokle/browser-extension)
install(FILES ${KNOKLE_XPI} DESTINATION ${CMAKE_INSTALL_DATADIR}/knokle)

# The package's documents, compressed as Debian keeps them.
set(KNOKLE_DOC_BUILD ${PROJECT_BINARY_DIR}/share/doc)
add_custom_command(OUTPUT ${KNOKLE_DOC_BUILD}/changelog.gz
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${KNOKLE_DOC_BUILD}
                   COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/cmake/debian/changelog > ${KNOKLE_DOC_BUILD}/changelog.gz
                   DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog)
add_custom_command(OUTPUT ${KNOKLE_DOC_BUILD}/README.md.gz
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${KNOKLE_DOC_BUILD}
                   COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/README.md > ${KNOKLE_DOC_BUILD}/README.md.gz
                   DEPENDS ${PROJECT_SOURCE_DIR}/README.md)
add_custom_target(knokle_changelog ALL DEPENDS ${KNOKLE_DOC_BUILD}/changelog.gz ${KNOKLE_DOC_BUILD}/README.md.gz)
install(FILES cmake/debian/copyright ${KNOKLE_DOC_BUILD}/changelog.gz ${KNOKLE_DOC_BUILD}/README.md.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The man page names the folders of the prefix it is installed into (the package's is /usr, not the build's).
install(CODE "set(KNOKLE_MAN_SOURCE \"${PROJECT_SOURCE_DIR}/share/knokle.1\")
              set(KNOKLE_MAN_BUILD \"${PROJECT_BINARY_DIR}/share/man1\")
              set(PROJECT_VERSION \"${PROJECT_VERSION}\")
              set(KNOKLE_MANDIR \"${CMAKE_INSTALL_MANDIR}\")
              set(KNOKLE_DATADIR \"${CMAKE_INSTALL_DATADIR}\")")
install(CODE [[
    set(KNOKLE_SHARE_DIR "${CMAKE_INSTALL_PREFIX}/${KNOKLE_DATADIR}/knokle")
    set(KNOKLE_UDEV_DIR "${CMAKE_INSTALL_PREFIX}/lib/udev/rules.d")
    configure_file("${KNOKLE_MAN_SOURCE}" "${KNOKLE_MAN_BUILD}/knokle.1" @ONLY)
    execute_process(COMMAND gzip -9n -f "${KNOKLE_MAN_BUILD}/knokle.1" RESULT_VARIABLE zipped)
    if(NOT zipped EQUAL 0)
        message(FATAL_ERROR "could not compress the man page")
    endif()
    file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${KNOKLE_MANDIR}/man1" TYPE FILE
         FILES "${KNOKLE_MAN_BUILD}/knokle.1.gz")
]])
install(FILES share/udev/${KNOKLE_UDEV_RULE} DESTINATION lib/udev/rules.d)
# The faster-accelerometer rule is for the user to put in place (it changes a device setting as root), so it is
# installed where udev does not read it.
install(FILES share/udev/optional/71-knokle-faster-accelerometer.rules DESTINATION ${CMAKE_INSTALL_DATADIR}/knokle/udev-optional)
install(PROGRAMS share/udev/optional/knokle-raise-accelerometer-rate DESTINATION ${CMAKE_INSTALL_DATADIR}/knokle/udev-optional)
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
# Lines under 80 columns, as dpkg shows them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Knokle lives in the panel's tray, recognises taps on the laptop's chassis\n"
       "with its built-in accelerometer (or, once the user turns listening on, its\n"
       "microphone) and runs the mode bound to the number of taps: close browser\n"
       "tabs, quit and open applications, open links, run a Focus shortcut.")
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
