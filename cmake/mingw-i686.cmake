# Cross-building for Windows (i686) with Debian's mingw-w64.
set(MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
