# The user interface (Qt Widgets, in knokle_ui).
set(KNOKLE_WINDOWS_SOURCES
    src/windows/QtKeyConversion.cpp
    src/windows/QtAlertPresenter.cpp
)
