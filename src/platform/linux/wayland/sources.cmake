list(APPEND KNOKLE_PLATFORM_LINUX_SOURCES
    src/platform/linux/wayland/MutterIdleActivityMonitor.cpp
    src/platform/linux/wayland/PortalTrigger.cpp
    src/platform/linux/wayland/PortalRequest.cpp
    src/platform/linux/wayland/PortalHotKeyService.cpp
    src/platform/linux/wayland/CompositorWindow.cpp
    src/platform/linux/wayland/SwayWindowControl.cpp
    src/platform/linux/wayland/KWinWindowControl.cpp
    src/platform/linux/wayland/HyprlandWindowControl.cpp
    src/platform/linux/wayland/SessionServices.cpp)

# Activation of our own windows: xdg-activation-v1 on the display Qt's Wayland platform has open.
pkg_check_modules(WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)
set(KNOKLE_WAYLAND_GENERATED ${CMAKE_BINARY_DIR}/wayland-protocols)
set(KNOKLE_XDG_ACTIVATION_XML ${WAYLAND_PROTOCOLS_DIR}/staging/xdg-activation/xdg-activation-v1.xml)
file(MAKE_DIRECTORY ${KNOKLE_WAYLAND_GENERATED})
add_custom_command(
    OUTPUT ${KNOKLE_WAYLAND_GENERATED}/xdg-activation-v1-client-protocol.h
           ${KNOKLE_WAYLAND_GENERATED}/xdg-activation-v1-protocol.c
    COMMAND ${WAYLAND_SCANNER} client-header ${KNOKLE_XDG_ACTIVATION_XML}
            ${KNOKLE_WAYLAND_GENERATED}/xdg-activation-v1-client-protocol.h
    COMMAND ${WAYLAND_SCANNER} private-code ${KNOKLE_XDG_ACTIVATION_XML}
            ${KNOKLE_WAYLAND_GENERATED}/xdg-activation-v1-protocol.c
    DEPENDS ${KNOKLE_XDG_ACTIVATION_XML})
list(APPEND KNOKLE_PLATFORM_LINUX_SOURCES
    src/platform/linux/wayland/WaylandWindowActivation.cpp
    ${KNOKLE_WAYLAND_GENERATED}/xdg-activation-v1-client-protocol.h
    ${KNOKLE_WAYLAND_GENERATED}/xdg-activation-v1-protocol.c)
