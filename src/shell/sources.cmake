# Core parts of the shell (plain C++, in knokle_core).
set(KNOKLE_SHELL_CORE_SOURCES
    src/shell/Settings.cpp
    src/shell/DefaultsCommand.cpp
    src/shell/VirtualKeys.cpp
    src/shell/Hotkey.cpp
    src/shell/StatusMenu.cpp
    src/shell/AppDelegate.cpp
    src/shell/GestureHandling.cpp
    src/shell/Arming.cpp
    src/shell/CommandLine.cpp
    src/shell/ExecMode.cpp
)
# Qt parts of the shell (in knokle_ui).
set(KNOKLE_SHELL_UI_SOURCES
    src/shell/QtKeyConversion.cpp
    src/shell/QtAlertPresenter.cpp
)
# The composition root.
set(KNOKLE_APP_SOURCES
    src/shell/main.cpp
    src/shell/TrayApp.cpp
)
