// Arbitrary bytes as a user's scenario file, loaded the way quillet-sim loads one: from a file
// by its path. They give a scenario that holds what the runner relies on, or a ScenarioError that
// names the file, the place in it and the problem. Nothing else may leave the loader.
//
// The file is a memory file of the machine's (memfd) opened again through /proc, so that the
// loader's own opening and reading are fuzzed too without a disk write for every input.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "sim/runner/scenario.h"

namespace {

using runner::Scenario;

constexpr std::int64_t kLongestRun = std::int64_t{24} * 60 * 60 * 1000;

void Check(bool holds)
{
    if (!holds) {
        std::abort();
    }
}

struct File {
    int fd = -1;
    std::string path;
};

File& TheFile()
{
    static File file;
    return file;
}

void Put(const std::uint8_t* data, std::size_t size)
{
    const int fd = TheFile().fd;
    Check(::ftruncate(fd, 0) == 0);
    std::size_t done = 0;
    while (done < size) {
        const auto put = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        Check(put > 0);
        done += static_cast<std::size_t>(put);
    }
}

bool InRun(std::int64_t millis)
{
    return millis >= 0 && millis <= kLongestRun;
}

// What the runner's setup takes for granted of a scenario the loader gave.
void CheckScenario(const Scenario& scenario)
{
    Check(InRun(scenario.timeLimit) && InRun(scenario.front.draftDelay) &&
          InRun(scenario.phone.exchangeLength));
    Check(scenario.menu == "send" || scenario.menu == "outbox" || scenario.menu == "dismiss");
    const auto& front = scenario.front;
    if (front.IsMessaging()) {
        Check(front.window == "compose" || front.window == "other");
    } else {
        Check(front.window.empty() && !front.chain.empty());
    }
    for (const auto& store : scenario.stores) {
        Check(store.hasOutbox || store.outbox.empty());
    }
    std::set<std::string> calls;
    const auto& known = runner::InjectableCalls();
    for (const auto& failure : scenario.failures) {
        Check(calls.insert(failure.call).second);
        Check(std::find(known.begin(), known.end(), failure.call) != known.end());
        Check(failure.nth >= 0);
    }
}

// The message is "<file>: <place>: <problem>", or "<file>: <problem>" for the file as a whole.
void CheckError(const runner::ScenarioError& error)
{
    const std::string& path = TheFile().path;
    Check(error.Source() == path);
    const std::string& pointer = error.Pointer();
    Check(pointer.empty() || pointer.starts_with("/"));
    const std::string lead = path + ": " + (pointer.empty() ? "" : pointer + ": ");
    const std::string message = error.what();
    Check(message.starts_with(lead) && message.size() > lead.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/)
{
    const int fd = ::memfd_create("scenario.json", MFD_CLOEXEC);
    Check(fd >= 0);
    TheFile() = {fd, "/proc/self/fd/" + std::to_string(fd)};
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Put(data, size);
    try {
        CheckScenario(runner::LoadScenario(TheFile().path));
    } catch (const runner::ScenarioError& error) {
        CheckError(error);
    }
    return 0;
}
