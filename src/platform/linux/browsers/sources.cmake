# Browsers: the extension host, its installer and the DevTools route for closing tabs.
list(APPEND KNOKLE_PLATFORM_LINUX_SOURCES
    src/platform/linux/browsers/BrowserCatalog.cpp
    src/platform/linux/browsers/BrowserExtensionHost.cpp
    src/platform/linux/browsers/BrowserHosts.cpp
    src/platform/linux/browsers/BrowserSupportInstaller.cpp
    src/platform/linux/browsers/DesktopBrowserScripting.cpp
    src/platform/linux/browsers/DevToolsBrowserScripting.cpp
    src/platform/linux/browsers/DevToolsTargets.cpp
    src/platform/linux/browsers/LoopbackHttp.cpp
)
