// How long the Profile takes to load: a typical ProfileFile, and large files of the shapes that
// would show a load growing faster than the file (one long section, many one-entry sections,
// lines far past the line limit).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "config/profile.h"
#include "sim/phone.h"

namespace {

const std::filesystem::path& Folder()
{
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillet-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        return std::filesystem::path(pattern);
    }();
    return folder;
}

std::string Typical()
{
    return "[exec]\n# before\nbefore=\\Program Files\\Sync\\sync.exe|/quiet \"C:\\My Documents\\log.txt\"\n\n"
           "# after\nafter=\\Windows\\notify.exe|done\n\n# send\nsend=\\Windows\\notify.exe|sent\n";
}

std::string OneLongSection(std::size_t size)
{
    std::string text = "[exec]\n";
    for (std::size_t i = 0; text.size() < size; ++i) {
        text += "key" + std::to_string(i) + R"(=\Program Files\Hook\hook.exe|)" + std::to_string(i) + "\n";
    }
    return text + "before=last\n";
}

std::string ManySections(std::size_t size)
{
    std::string text;
    for (std::size_t i = 0; text.size() < size; ++i) {
        text += "[s" + std::to_string(i) + "]\nk=v\n";
    }
    return text + "[exec]\nbefore=last\n";
}

std::string OverlongLines(std::size_t size)
{
    std::string text = "[exec]\n";
    while (text.size() < size) {
        text += "k=" + std::string(100000, 'x') + "\n";
    }
    return text + "before=last\n";
}

// Writes the file once per shape and size; each iteration loads it into a fresh Profile on a
// fresh phone, so the simulator's trace does not grow across iterations.
void Load(benchmark::State& state, const std::string& name, const std::string& text)
{
    const auto folder = Folder() / name;
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "quillet.ini", std::ios::binary) << text;
    const WString module = sim::Utf16((folder / "quillet.exe").string());
    for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
        state.PauseTiming();
        sim::Phone::Get().Reset();
        sim::Phone::Get().moduleFileName = module;
        state.ResumeTiming();
        const Profile profile(nullptr);
        benchmark::DoNotOptimize(profile.GetValue(WTEXT("exec"), WTEXT("before")));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
    state.SetComplexityN(static_cast<std::int64_t>(text.size()));
}

void BM_LoadTypical(benchmark::State& state)
{
    Load(state, "typical", Typical());
}

void BM_LoadOneLongSection(benchmark::State& state)
{
    Load(state, "long-" + std::to_string(state.range(0)),
         OneLongSection(static_cast<std::size_t>(state.range(0))));
}

void BM_LoadManySections(benchmark::State& state)
{
    Load(state, "many-" + std::to_string(state.range(0)),
         ManySections(static_cast<std::size_t>(state.range(0))));
}

void BM_LoadOverlongLines(benchmark::State& state)
{
    Load(state, "overlong-" + std::to_string(state.range(0)),
         OverlongLines(static_cast<std::size_t>(state.range(0))));
}

constexpr std::int64_t kMiB = 1 << 20;

}  // namespace

BENCHMARK(BM_LoadTypical)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadOneLongSection)
    ->RangeMultiplier(2)
    ->Range(kMiB, 8 * kMiB)
    ->Arg(10 * kMiB)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_LoadManySections)
    ->RangeMultiplier(2)
    ->Range(kMiB, 8 * kMiB)
    ->Arg(10 * kMiB)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_LoadOverlongLines)
    ->RangeMultiplier(2)
    ->Range(kMiB, 8 * kMiB)
    ->Arg(10 * kMiB)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(Folder());
    return 0;
}
