// A hook program for the launch tests: writes the command line it was started with, as UTF-16,
// to the file that QUILLET_HOOK_RECORD names. The record appears whole or not at all, so the
// test never reads half of it.
#include <windows.h>

#include <string>

int wmain()
{
    WCHAR target[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"QUILLET_HOOK_RECORD", target, MAX_PATH) == 0) {
        return 2;
    }
    const std::wstring part = std::wstring(target) + L".part";
    HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 3;
    }
    const std::wstring line = GetCommandLineW();
    DWORD written = 0;
    const BOOL wrote =
        WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(WCHAR)), &written, nullptr);
    CloseHandle(file);
    return wrote != FALSE && MoveFileExW(part.c_str(), target, MOVEFILE_REPLACE_EXISTING) != FALSE ? 0 : 4;
}
