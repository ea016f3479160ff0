# Cross-compiling quillet.exe for the phone itself (Windows CE 5 on ARM) with CeGCC's
# arm-mingw32ce compiler. Not tried here: no compiler for the device can be installed on the
# machines this project is built on. The program is C++20, so it needs a CeGCC built on a recent
# GCC; CeGCC's own releases stop at GCC 4.4. What follows is written for the public CeGCC fork
# on GCC 14.2 and binutils 2.43.1 (github.com/salman-javed-nz/cegcc-build, built for
# arm-mingw32ce on Debian 12 into /opt/cegcc-arm), as its sources describe the compiler:
#
#   cmake -S . -B build-device -DCMAKE_TOOLCHAIN_FILE=cmake/arm-mingw32ce.cmake -DQUILLET_TESTS=OFF
#   cmake --build build-device            # build-device/src/app/quillet.exe
#
# The device build compiles the platform layer's device branch (_WIN32_WCE) and links the
# device's coredll and toolhelp; ole32 and cemapi are loaded at first use.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(QUILLET_DEVICE ON)

set(CEGCC_ROOT /opt/cegcc-arm CACHE PATH "Where CeGCC's arm-mingw32ce is installed")
set(CMAKE_C_COMPILER ${CEGCC_ROOT}/bin/arm-mingw32ce-gcc)
set(CMAKE_CXX_COMPILER ${CEGCC_ROOT}/bin/arm-mingw32ce-g++)
set(CMAKE_RC_COMPILER ${CEGCC_ROOT}/bin/arm-mingw32ce-windres)
set(CMAKE_FIND_ROOT_PATH ${CEGCC_ROOT}/arm-mingw32ce)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The compiler itself defines UNDER_CE, _UNICODE, _WIN32, __MINGW32CE__, __COREDLL__, ARM and
# _M_ARM; UNICODE and WIN32 only outside strict ISO mode, and the program is built as
# -std=c++20. It does not define _WIN32_WCE: Windows Mobile 5.0 is Windows CE 5.01.
add_compile_definitions(UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WCE=0x501)
# Only the system DLLs that src/platform names are linked: CMake's default list of desktop
# libraries is dropped. The compiler adds coredll itself.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
# The runtime is linked statically, so that the phone needs nothing but its system DLLs (that
# compiler is built without shared runtime libraries, and without thread support, which the
# program does not use).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
