# The Linux realisations of the platform interfaces, one folder per concern (in knokle_platform_linux).
set(KNOKLE_PLATFORM_LINUX_SOURCES)
include(${CMAKE_CURRENT_LIST_DIR}/runtime/sources.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/x11/sources.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/browsers/sources.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/sensors/sources.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/desktop/sources.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/sockets/sources.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/audio/sources.cmake)
