// Built the way quillet.exe is (static runtime, GUI subsystem, wide entry point) and does
// nothing but exit with a code no loader failure gives: the test command starts it to learn
// whether this machine runs Windows programs of the build's word size under Wine at all.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPWSTR /*commandLine*/, int /*show*/)
{
    constexpr int ranToTheEnd = 73;  // scripts/wine-probe.sh waits for this code
    return ranToTheEnd;
}
