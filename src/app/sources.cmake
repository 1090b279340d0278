# The composition root.
set(KNOKLE_APP_SOURCES
    src/app/main.cpp
    src/app/TrayApp.cpp
    src/app/RecordingReplay.cpp
    src/app/AppWindows.cpp
    src/app/PreviewProcess.cpp
)
