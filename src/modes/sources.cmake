set(KNOKLE_MODES_SOURCES
    src/modes/ModeCoding.cpp
    src/modes/ModeManager.cpp
    src/modes/ModeRunner.cpp
    src/modes/ModeStore.cpp
    src/modes/NormalisedURL.cpp
    src/modes/SlapMode.cpp
)
