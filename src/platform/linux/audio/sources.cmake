# Microphone capture through the PulseAudio client API (also PipeWire's Pulse server).
pkg_check_modules(LIBPULSE REQUIRED IMPORTED_TARGET libpulse)
list(APPEND KNOKLE_PLATFORM_LINUX_SOURCES
    src/platform/linux/audio/SampleTimeline.cpp
    src/platform/linux/audio/PulseAudioCapture.cpp
    src/platform/linux/audio/PulseAudioSources.cpp
)
