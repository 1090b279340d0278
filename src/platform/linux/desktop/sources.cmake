# The desktop: applications and their entries, processes, autostart, Focus shortcuts, the tray.
list(APPEND KNOKLE_PLATFORM_LINUX_SOURCES
    src/platform/linux/desktop/DesktopApplicationList.cpp
    src/platform/linux/desktop/DesktopEntries.cpp
    src/platform/linux/desktop/DesktopSessionPrivacy.cpp
    src/platform/linux/desktop/DesktopEntryFile.cpp
    src/platform/linux/desktop/DesktopTrayHost.cpp
    src/platform/linux/desktop/ExecutableShortcutRunner.cpp
    src/platform/linux/desktop/GioWorkspace.cpp
    src/platform/linux/desktop/ProcFiles.cpp
    src/platform/linux/desktop/RunningProcesses.cpp
    src/platform/linux/desktop/WellKnownApplications.cpp
    src/platform/linux/desktop/XdgAutostartLoginItem.cpp
    src/platform/linux/desktop/XdgFolders.cpp
)
# Reading the desktop: its entries, workspace and look.
list(APPEND KNOKLE_PLATFORM_LINUX_SOURCES
     src/platform/linux/desktop/DesktopLook.cpp)
