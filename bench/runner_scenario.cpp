// Whole runs of Quillet on the simulated phone through the runner, timeline included, in
// virtual time: what a scenario in the runner suite costs.
#include <benchmark/benchmark.h>

#include <sstream>

#include "sim/runner/run.h"

namespace {

runner::Scenario Deterministic(runner::Scenario scenario)
{
    scenario.realTime = false;
    scenario.startHooks = false;
    return scenario;
}

// The built-in default: the whole send/receive, four polls.
void BM_DefaultScenario(benchmark::State& state)
{
    const runner::Scenario scenario = Deterministic(runner::DefaultScenario());
    for (auto _ : state) {
        std::ostringstream out;
        benchmark::DoNotOptimize(runner::RunScenario(scenario, {}, out));
    }
}
BENCHMARK(BM_DefaultScenario);

// A phone that never finishes, stopped at its time limit: the cost of each poll and its line.
void BM_Polls(benchmark::State& state)
{
    runner::Scenario scenario =
        runner::ParseScenario(R"({"phone": {"behaviour": "neverFinishes"}})", "bench");
    scenario.timeLimit = state.range(0) * 500;
    for (auto _ : state) {
        std::ostringstream out;
        benchmark::DoNotOptimize(runner::RunScenario(scenario, {}, out));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Polls)->Arg(100)->Arg(1000);

// Many stores, the account last: both inspections open and name every store before it, and
// the timeline gathers each inspection's store names. Time should grow with the count, not
// with its square.
void BM_Stores(benchmark::State& state)
{
    runner::Scenario scenario = Deterministic(runner::DefaultScenario());
    const runner::StoreSetup account = scenario.stores.back();
    scenario.stores.clear();
    for (std::int64_t i = 1; i < state.range(0); ++i) {
        scenario.stores.push_back({"store " + std::to_string(i), true, true, {}});
    }
    scenario.stores.push_back(account);
    for (auto _ : state) {
        std::ostringstream out;
        benchmark::DoNotOptimize(runner::RunScenario(scenario, {}, out));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Stores)->Arg(1000)->Arg(8000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
