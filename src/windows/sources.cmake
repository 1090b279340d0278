# The user interface (Qt Widgets, in knokle_ui).
set(KNOKLE_WINDOWS_SOURCES
    src/windows/QtKeyConversion.cpp
    src/windows/QtAlertPresenter.cpp
    src/windows/StatusIcon.cpp
    src/windows/ModeRowWidget.cpp
    src/windows/TrayStatusItem.cpp
    src/windows/WindowPresenter.cpp
    src/windows/WindowCloseObserver.cpp
    src/windows/StandInCalibrationWindow.cpp
)
