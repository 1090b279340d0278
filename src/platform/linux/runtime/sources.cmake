# The main loop, worker threads, clock and the settings file.
list(APPEND KNOKLE_PLATFORM_LINUX_SOURCES
    src/platform/linux/runtime/JsonFileDefaults.cpp
    src/platform/linux/runtime/QtMainLoop.cpp
    src/platform/linux/runtime/SystemClock.cpp
    src/platform/linux/runtime/ThreadPoolWorkQueue.cpp
)
