// The two Outbox inspections over Outboxes of growing size: time, and the peak memory of one
// inspection (all heap the process holds at once beyond what it held before, the simulated
// store's objects and trace included; and the store's own MAPI buffers alone).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "mapi/outbox.h"
#include "sim/mapi/store.h"
#include "sim/phone.h"

namespace {

std::atomic<std::size_t> heapNow{0};
std::atomic<std::size_t> heapPeak{0};

void Count(std::size_t size)
{
    const auto now = heapNow.fetch_add(size) + size;
    auto peak = heapPeak.load();
    while (now > peak && !heapPeak.compare_exchange_weak(peak, now)) {
    }
}

}  // namespace

// Each block carries its size in front of it, so that the count can be given back on free.
void* operator new(std::size_t size)
{
    // NOLINTNEXTLINE(cppcoreguidelines-no-malloc,cppcoreguidelines-owning-memory): the allocator itself
    void* block = std::malloc(size + alignof(std::max_align_t));
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    *static_cast<std::size_t*>(block) = size;
    Count(size);
    return static_cast<char*>(block) + alignof(std::max_align_t);
}

void operator delete(void* block) noexcept
{
    if (block != nullptr) {
        void* start = static_cast<char*>(block) - alignof(std::max_align_t);
        heapNow.fetch_sub(*static_cast<std::size_t*>(start));
        std::free(start);  // NOLINT(cppcoreguidelines-no-malloc,cppcoreguidelines-owning-memory)
    }
}

void operator delete(void* block, std::size_t /*size*/) noexcept
{
    operator delete(block);
}

namespace {

void SetUpPhone(std::int64_t messages)
{
    sim::Phone::Get().Reset();
    auto& store = sim::mapi::AddStore(WTEXT("07012345678"));
    for (std::int64_t i = 0; i < messages; ++i) {
        sim::mapi::AddOutboxMessage(store);
    }
}

template <bool (*Inspection)()>
void Inspect(benchmark::State& state)
{
    std::size_t peakHeap = 0;
    std::size_t peakBuffers = 0;
    for (auto _ : state) {
        state.PauseTiming();
        SetUpPhone(state.range(0));
        sim::mapi::ResetPeakBufferBytes();
        const std::size_t before = heapNow.load();
        heapPeak.store(before);
        state.ResumeTiming();
        benchmark::DoNotOptimize(Inspection());
        state.PauseTiming();
        peakHeap = std::max(peakHeap, heapPeak.load() - before);
        peakBuffers = std::max(peakBuffers, sim::mapi::Accounting().peakBufferBytes);
        state.ResumeTiming();
    }
    state.counters["peak_heap_bytes"] = static_cast<double>(peakHeap);
    state.counters["peak_mapi_buffer_bytes"] = static_cast<double>(peakBuffers);
}

void BM_OutboxHasMail(benchmark::State& state)
{
    Inspect<OutboxHasMail>(state);
}
void BM_IsOutboxEmpty(benchmark::State& state)
{
    Inspect<IsOutboxEmpty>(state);
}

}  // namespace

BENCHMARK(BM_OutboxHasMail)->Arg(0)->Arg(1)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IsOutboxEmpty)->Arg(0)->Arg(1)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
