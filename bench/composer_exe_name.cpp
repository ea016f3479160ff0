// How long naming the program in front takes as the phone runs more processes: the owner is
// listed last, so the walk goes through the whole snapshot. The phone is set up afresh outside
// the timing for each run, so the trace doesn't grow from one run to the next.
#include <benchmark/benchmark.h>

#include <string>

#include "composer/hand_off.h"
#include "sim/phone.h"
#include "sim/toolhelp.h"

namespace {

HWND SetUpPhone(int processes)
{
    auto& phone = sim::Phone::Get();
    phone.Reset();
    for (int i = 1; i < processes; ++i) {
        sim::StartProcess(sim::Utf16("service" + std::to_string(i) + ".exe"));
    }
    return phone.AddWindow(WTEXT("Dialog"), sim::StartProcess(WTEXT("tmail.exe"))).handle;
}

void BM_GetWindowExeName(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        HWND window = SetUpPhone(static_cast<int>(state.range(0)));
        state.ResumeTiming();
        benchmark::DoNotOptimize(GetWindowExeName(window));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_GetWindowExeName)->Arg(8)->Arg(32)->Arg(128)->Arg(1024)->Complexity();

}  // namespace

BENCHMARK_MAIN();
