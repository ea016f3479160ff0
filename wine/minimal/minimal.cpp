// The smallest Win32 GUI program built the way quillet.exe is (static runtime, GUI subsystem,
// wide entry point): the base line that quillet.exe's size is compared with.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPWSTR /*commandLine*/, int /*show*/)
{
    return 0;
}
