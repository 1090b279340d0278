set(KNOKLE_PLATFORM_LINUX_SOURCES
    src/platform/linux/QtMainLoop.cpp
    src/platform/linux/ThreadPoolWorkQueue.cpp
    src/platform/linux/SystemClock.cpp
    src/platform/linux/HidrawManager.cpp
    src/platform/linux/XInputButtonMonitor.cpp
)
