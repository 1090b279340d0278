set(KNOKLE_COMMON_SOURCES
    src/common/AtomicFile.cpp
    src/common/DiagnosticOutput.cpp
    src/common/NoFollowFiles.cpp
    src/common/TextFormat.cpp
    src/common/UnicodeText.cpp
    src/common/VirtualKeys.cpp
)
