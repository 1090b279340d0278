# The shell's rules (plain C++, in knokle_core).
set(KNOKLE_SHELL_SOURCES
    src/shell/Settings.cpp
    src/shell/DefaultsCommand.cpp
    src/shell/Hotkey.cpp
    src/shell/StatusMenu.cpp
    src/shell/StatusIconGeometry.cpp
    src/shell/WindowPlacement.cpp
    src/shell/SensorAccessAlert.cpp
    src/shell/AppDelegate.cpp
    src/shell/TapPipeline.cpp
    src/shell/CommandLine.cpp
    src/shell/ExecMode.cpp
    src/shell/ExitWhenSettled.cpp
)
