// The Toolhelp process snapshot of the simulated phone. A snapshot is a copy of the process
// list taken when it is made, walked with a cursor, and a handle of kind "snapshot" so that
// one left open shows in Phone::OpenHandles.
#include "sim/toolhelp.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/toolhelp.h"

using sim::Phone;

namespace {

constexpr DWORD kErrorNoMoreFiles = 18;
constexpr DWORD kErrorBadLength = 24;

struct Snapshot : sim::HandleObject {
    explicit Snapshot(std::vector<sim::ProcessEntry> listed)
        : HandleObject("snapshot"), entries(std::move(listed))
    {
    }
    std::vector<sim::ProcessEntry> entries;
    std::size_t next = 0;
};

void Fill(PROCESSENTRY32W& entry, const sim::ProcessEntry& process)
{
    const DWORD size = entry.dwSize;
    entry = PROCESSENTRY32W{};
    entry.dwSize = size;
    entry.cntUsage = 1;
    entry.th32ProcessID = process.id;
    entry.cntThreads = 1;
    const std::size_t length = std::min<std::size_t>(process.exeFile.size(), MAX_PATH - 1);
    std::copy_n(process.exeFile.begin(), length, entry.szExeFile);
    entry.szExeFile[length] = 0;
}

// Delivers the entry at the snapshot's cursor and moves the cursor on.
BOOL Deliver(const char* call, HANDLE handle, LPPROCESSENTRY32W entry, bool rewind)
{
    auto& phone = Phone::Get();
    auto* snapshot = static_cast<Snapshot*>(phone.FindHandle(handle, "snapshot"));
    sim::Fields outcome;
    BOOL delivered = FALSE;
    if (snapshot == nullptr) {
        phone.lastError = ERROR_INVALID_HANDLE;
    } else if (entry == nullptr || entry->dwSize != sizeof(PROCESSENTRY32W)) {
        phone.lastError = kErrorBadLength;
        outcome.push_back({"size", sim::Int(entry != nullptr ? entry->dwSize : 0)});
    } else {
        if (rewind) {
            snapshot->next = 0;
        }
        if (!phone.ShouldFail(call) && snapshot->next < snapshot->entries.size()) {
            const sim::ProcessEntry& process = snapshot->entries[snapshot->next++];
            Fill(*entry, process);
            delivered = TRUE;
            outcome = {{"process", sim::Int(process.id)}, {"exe", process.exeFile}};
        } else {
            phone.lastError = kErrorNoMoreFiles;
        }
    }
    outcome.insert(outcome.begin(), sim::Field{"result", delivered != FALSE});
    if (delivered == FALSE) {
        outcome.push_back({"error", sim::Int(phone.lastError)});
    }
    phone.Record("program", call, {{"snapshot", sim::HandleOf(handle)}}, std::move(outcome));
    return delivered;
}

}  // namespace

namespace sim {

ProcessTable& Processes()
{
    return DeviceState<ProcessTable>();
}

DWORD StartProcess(const WString& exeFile)
{
    ProcessTable& table = Processes();
    const DWORD id = table.nextId++;
    table.entries.push_back({id, exeFile});
    return id;
}

void EndProcess(DWORD id)
{
    auto& entries = Processes().entries;
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [id](const ProcessEntry& entry) { return entry.id == id; }),
                  entries.end());
}

}  // namespace sim

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId)
{
    auto& phone = Phone::Get();
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (phone.ShouldFail("CreateToolhelp32Snapshot")) {
        phone.lastError = ERROR_NOT_ENOUGH_MEMORY;
    } else if (sim::Processes().nullSnapshots) {
        handle = nullptr;
        phone.lastError = ERROR_NOT_ENOUGH_MEMORY;
    } else {
        // A snapshot taken without the process flag lists no process.
        auto listed =
            (flags & TH32CS_SNAPPROCESS) != 0 ? sim::Processes().entries : std::vector<sim::ProcessEntry>{};
        handle = phone.AddHandle(std::make_unique<Snapshot>(std::move(listed)));
    }
    phone.Record("program", "CreateToolhelp32Snapshot",
                 {{"flags", sim::Int(flags)}, {"process", sim::Int(processId)}},
                 {{"result", handle == INVALID_HANDLE_VALUE ? sim::Value(sim::Name{"INVALID_HANDLE_VALUE"})
                                                            : sim::Value(sim::HandleOf(handle))}});
    return handle;
}

BOOL Process32FirstW(HANDLE snapshot, LPPROCESSENTRY32W entry)
{
    return Deliver("Process32FirstW", snapshot, entry, true);
}

BOOL Process32NextW(HANDLE snapshot, LPPROCESSENTRY32W entry)
{
    return Deliver("Process32NextW", snapshot, entry, false);
}
