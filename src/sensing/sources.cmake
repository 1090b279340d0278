set(KNOKLE_SENSING_SOURCES
    src/sensing/ClickWatcher.cpp
    src/sensing/EventLog.cpp
    src/sensing/SlapCounter.cpp
    src/sensing/SlapDetector.cpp
    src/sensing/SyntheticMotion.cpp
)
