// The phone's process list, as the Toolhelp snapshot of the simulated phone lists it.
#pragma once

#include <vector>

#include "platform/text.h"
#include "platform/types.h"
#include "sim/phone.h"

namespace sim {

struct ProcessEntry {
    DWORD id = 0;
    WString exeFile;  // exactly as the snapshot reports it: no path added or removed
};

struct ProcessTable {
    // In the order a snapshot walks them. The program's own process runs from the start.
    std::vector<ProcessEntry> entries{{kProgramProcessId, WTEXT("quillet.exe")}};
    DWORD nextId = 0x2000;
    // Snapshots are answered with a null handle instead of a snapshot: a platform that reports
    // its failure so, never the INVALID_HANDLE_VALUE that Toolhelp documents.
    bool nullSnapshots = false;
};

// The running processes; Phone::Reset puts the table back to the program's own process alone.
ProcessTable& Processes();

// Starts a process of exeFile: appends it to the list under a fresh identifier and answers it.
DWORD StartProcess(const WString& exeFile);

// Ends a process: it is no longer listed. Its windows are left to the caller.
void EndProcess(DWORD id);

}  // namespace sim
