// The process list, read through a Toolhelp snapshot.
#pragma once

#include "platform/process.h"
#include "platform/types.h"

#ifdef _WIN32
#include <tlhelp32.h>
#else

constexpr DWORD TH32CS_SNAPPROCESS = 0x00000002;

// The device's layout: 564 bytes, with the heap identifier a plain 32-bit value and the two
// fields that only the device has at the end.
struct PROCESSENTRY32W {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    DWORD th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    WCHAR szExeFile[MAX_PATH];
    DWORD th32MemoryBase;
    DWORD th32AccessKey;
};
using LPPROCESSENTRY32W = PROCESSENTRY32W*;
static_assert(sizeof(PROCESSENTRY32W) == 564, "the device's entry size");

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId);
BOOL Process32FirstW(HANDLE snapshot, LPPROCESSENTRY32W entry);
BOOL Process32NextW(HANDLE snapshot, LPPROCESSENTRY32W entry);

#endif

// The device's SDK names the wide walk Process32First/Process32Next (it has no narrow one);
// desktop Windows adds the W. Program code calls the W names.
//
// A snapshot is given back with CloseToolhelp32Snapshot, which the device's toolhelp.dll
// exports and requires; desktop Windows has no such function and closes a snapshot like any
// other handle, so there the name stands for CloseHandle.
#if defined(_WIN32_WCE)
#define Process32FirstW Process32First
#define Process32NextW Process32Next
#else
inline BOOL CloseToolhelp32Snapshot(HANDLE snapshot)
{
    return CloseHandle(snapshot);
}
#endif
