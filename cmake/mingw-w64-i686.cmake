# Cross-compiling quillet.exe with MinGW-w64 for 32-bit desktop Windows, the phone's word size.
# It runs under Wine's 32-bit support (Debian's wine32, from the i386 architecture).
set(quillet_mingw_arch i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
