# X11: the global hot key, the click monitor, full screen and window activation.
list(APPEND KNOKLE_PLATFORM_LINUX_SOURCES
    src/platform/linux/x11/X11HotKeyService.cpp
    src/platform/linux/x11/X11WindowActivation.cpp
    src/platform/linux/x11/X11WindowControl.cpp
    src/platform/linux/x11/XInputActivityMonitor.cpp
    src/platform/linux/x11/XInputButtonMonitor.cpp
    src/platform/linux/x11/XInputRawEvents.cpp
)
