# The user interface (Qt Widgets, in knokle_ui).
set(KNOKLE_WINDOWS_SOURCES
    src/windows/QtKeyConversion.cpp
    src/windows/QtAlertPresenter.cpp
    src/windows/Theme.cpp
    src/windows/CardView.cpp
    src/windows/AccentButton.cpp
    src/windows/ThemedTextField.cpp
    src/windows/ThemedSwitch.cpp
    src/windows/SlidingSegmented.cpp
    src/windows/BlockMeterView.cpp
    src/windows/HotkeyRecorder.cpp
    src/windows/CalibrationWindowController.cpp
    src/windows/PreviewRenderer.cpp
)
