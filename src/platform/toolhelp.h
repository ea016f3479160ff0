// The process list, read through a Toolhelp snapshot.
#pragma once

#include "platform/process.h"
#include "platform/types.h"

#if defined(_WIN32) && !defined(_WIN32_WCE)

#include <tlhelp32.h>

// Desktop Windows has no call of its own for giving a snapshot back: it is closed like any
// other handle.
inline BOOL CloseToolhelp32Snapshot(HANDLE snapshot)
{
    return CloseHandle(snapshot);
}

#else  // the device, and the simulated phone that stands for it

constexpr DWORD TH32CS_SNAPPROCESS = 0x00000002;

// The device's layout: 564 bytes, with the heap identifier a plain 32-bit value and the two
// fields that only the device has at the end. The device has only this wide entry; program
// code names it with the W, as on desktop Windows.
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

#if defined(_WIN32_WCE)

// What toolhelp.dll exports, under the device's names: the walk has no W, and a snapshot is
// given back with CloseToolhelp32Snapshot, never with CloseHandle.
extern "C" {
HANDLE WINAPI CreateToolhelp32Snapshot(DWORD flags, DWORD processId);
BOOL WINAPI Process32First(HANDLE snapshot, LPPROCESSENTRY32W entry);
BOOL WINAPI Process32Next(HANDLE snapshot, LPPROCESSENTRY32W entry);
BOOL WINAPI CloseToolhelp32Snapshot(HANDLE snapshot);
}
#define Process32FirstW Process32First
#define Process32NextW Process32Next

#else

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId);
BOOL Process32FirstW(HANDLE snapshot, LPPROCESSENTRY32W entry);
BOOL Process32NextW(HANDLE snapshot, LPPROCESSENTRY32W entry);

// The simulated phone keeps its snapshots in its handle table, as desktop Windows does.
inline BOOL CloseToolhelp32Snapshot(HANDLE snapshot)
{
    return CloseHandle(snapshot);
}

#endif

#endif
