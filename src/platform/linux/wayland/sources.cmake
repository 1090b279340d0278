list(APPEND KNOKLE_PLATFORM_LINUX_SOURCES
    src/platform/linux/wayland/MutterIdleActivityMonitor.cpp
    src/platform/linux/wayland/PortalTrigger.cpp
    src/platform/linux/wayland/PortalRequest.cpp
    src/platform/linux/wayland/PortalHotKeyService.cpp
    src/platform/linux/wayland/SwayWindowControl.cpp
    src/platform/linux/wayland/SessionServices.cpp)
