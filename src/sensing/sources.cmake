set(KNOKLE_SENSING_SOURCES
    src/sensing/MotionSensor.cpp
    src/sensing/ReportRecording.cpp
    src/sensing/ReplaySource.cpp
    src/sensing/ReportRecorder.cpp
)
