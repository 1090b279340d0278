# What the windows show, computed without Qt: view models, geometry, palette, symbols, menu content, placement (in knokle_core).
set(KNOKLE_VIEWMODELS_SOURCES
    src/viewmodels/AccelerometerStatus.cpp
    src/viewmodels/ApplicationCatalog.cpp
    src/viewmodels/CalibrationModel.cpp
    src/viewmodels/ControlGeometry.cpp
    src/viewmodels/MeterModel.cpp
    src/viewmodels/ModeEditor.cpp
    src/viewmodels/Palette.cpp
    src/viewmodels/PreviewLevel.cpp
    src/viewmodels/StatusIconGeometry.cpp
    src/viewmodels/StatusMenu.cpp
    src/viewmodels/Symbols.cpp
    src/viewmodels/WindowPlacement.cpp
)
