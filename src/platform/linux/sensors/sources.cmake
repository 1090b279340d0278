# The accelerometers: hidraw devices and whether this user may read them; IIO and platform accelerometers.
list(APPEND KNOKLE_PLATFORM_LINUX_SOURCES
    src/platform/linux/sensors/HidrawManager.cpp
    src/platform/linux/sensors/HidrawSensorAccess.cpp
    src/platform/linux/sensors/AccelerometerDiscovery.cpp
    src/platform/linux/sensors/IioAccelerometer.cpp
    src/platform/linux/sensors/JoystickAccelerometer.cpp
    src/platform/linux/sensors/LinuxAccelerometerPort.cpp
)
