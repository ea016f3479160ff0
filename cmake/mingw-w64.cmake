# What the MinGW-w64 toolchain files share: cross-compiling quillet.exe for the processor that
# the including file names in quillet_mingw_arch (x86_64 or i686), with POSIX threads so that
# std::mutex exists for the test framework. Tests run under Wine through the cross-compiling
# emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${quillet_mingw_arch})
set(CMAKE_C_COMPILER ${quillet_mingw_arch}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${quillet_mingw_arch}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${quillet_mingw_arch}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${quillet_mingw_arch}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Static runtime: the program needs nothing but system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

# One loader runs both: a 32-bit program is handed on to Wine's 32-bit support.
find_program(QUILLET_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(QUILLET_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLET_WINE})
endif()
