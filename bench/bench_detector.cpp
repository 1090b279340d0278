#include "sensing/EventLog.h"
#include "sensing/SlapDetector.h"
#include "sensing/SyntheticMotion.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <new>

// Every heap allocation in the process is counted, so the timed loop can prove it makes none.
namespace {
std::atomic<long> allocations{0};
// Out of line, so that the compiler does not pair malloc and free across the replaced operators.
[[gnu::noinline]] void release(void* p) noexcept {
    std::free(p);
}
} // namespace

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    release(p);
}

namespace {

using namespace knokle;

// Ten minutes at 1 kHz: a gesture every few seconds among the disturbances a desk sees.
const std::vector<MotionSample>& tenMinutes() {
    static const std::vector<MotionSample> samples = [] {
        const TapShape tap{.peak = 0.15, .duration = 0.008, .rise = 0.002, .verticalShare = 0.9};
        SyntheticMotion motion(1000, 5, 0.002, 700000000.0);
        while (motion.now() - 700000000.0 < 600) {
            motion.rest(2).tap(tap).rest(1.5).taps(2, 0.3, tap).rest(1.5).taps(3, 0.28, tap).rest(1);
            motion.sidewaysKnock(0.12).rest(0.5).slowPush(0.15, 0.04).rest(0.5).rumble(0.1, 0.5).rest(0.5);
            motion.heldTaps(2, 0.3, tap).rest(1);
        }
        return motion.samples();
    }();
    return samples;
}

void BM_DetectorIngest(benchmark::State& state) {
    const auto& samples = tenMinutes();
    EventLog off(EventLog::standardPath, false);
    SlapDetector detector;
    detector.setEventLog(off);
    long impacts = 0;
    detector.onImpact = [&impacts](double) { ++impacts; };
    detector.onAcceptedPeak = [](double peak) { benchmark::DoNotOptimize(peak); };

    long before = allocations.load();
    for (auto _ : state) {
        // Each pass replays the same timeline: start afresh, or the previous pass's last event would hold
        // off the whole replay.
        detector.reset();
        for (const auto& s : samples)
            detector.ingest(s.x, s.y, s.z, s.t);
    }
    long during = allocations.load() - before;

    auto perPass = static_cast<double>(samples.size());
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(samples.size()));
    state.counters["ns_per_sample"] = benchmark::Counter(perPass * static_cast<double>(state.iterations()),
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["allocations"] = static_cast<double>(during);
    state.counters["impacts_per_pass"] = static_cast<double>(impacts) / static_cast<double>(state.iterations());
    if (during != 0) {
        std::fprintf(stderr, "SlapDetector::ingest allocated %ld times\n", during);
        std::abort();
    }
}
BENCHMARK(BM_DetectorIngest)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
