// The hook recorder: records its start time and its whole command line, so that the driver can
// tell which hook ran, with which parameters, and when.
#include <windows.h>

#include "common/standin.h"

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPWSTR /*commandLine*/, int /*show*/)
{
    const long long startedAt = standin::NowMicroseconds();
    const std::string line = std::to_string(startedAt) + " hook " + standin::Utf8(GetCommandLineW());
    standin::AppendLine(standin::StatePath(L"hooks.log"), standin::Wide(line));
    return 0;
}
