# The controller: arming, the tap pipeline, gestures, settings and the command line (plain C++, in knokle_core).
set(KNOKLE_CONTROLLER_SOURCES
    src/controller/AppDelegate.cpp
    src/controller/ArmShortcut.cpp
    src/controller/CalibrationSession.cpp
    src/controller/CommandLine.cpp
    src/controller/DefaultsCommand.cpp
    src/controller/ExecMode.cpp
    src/controller/ExitWhenSettled.cpp
    src/controller/Hotkey.cpp
    src/controller/MicrophoneListening.cpp
    src/controller/MicrophoneTaps.cpp
    src/controller/SensorAccessAlert.cpp
    src/controller/Settings.cpp
    src/controller/TapPipeline.cpp
)
# The program's controller (plain C++, in knokle_core).
list(APPEND KNOKLE_CONTROLLER_SOURCES
     src/controller/NoTrayAlert.cpp)
