# Cross-compiling quillet.exe with MinGW-w64 for 64-bit desktop Windows.
set(quillet_mingw_arch x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
