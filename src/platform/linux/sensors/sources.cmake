# The accelerometer: hidraw devices and whether this user may read them.
list(APPEND KNOKLE_PLATFORM_LINUX_SOURCES
    src/platform/linux/sensors/HidrawManager.cpp
    src/platform/linux/sensors/HidrawSensorAccess.cpp
)
