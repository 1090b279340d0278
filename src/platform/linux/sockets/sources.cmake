# Local sockets: one program per settings folder.
list(APPEND KNOKLE_PLATFORM_LINUX_SOURCES
    src/platform/linux/sockets/UnixSocketSingleInstance.cpp
)
