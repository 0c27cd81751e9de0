// The dispatch core against the simplest thing that could work: one million small blocks through a
// serial queue and through the main queue pumped by the main run loop, next to a bare queue of
// std::function guarded by a mutex and a condition variable, drained by one thread of its own.

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/RunLoop.h"

using namespace ql::ns;

namespace {

constexpr std::int64_t kBlocks = 1'000'000;

class BareQueue {
public:
    BareQueue() : consumer_([this] { drain(); }) {}
    ~BareQueue() {
        push({});
        consumer_.join();
    }
    void push(std::function<void()> block) {
        {
            std::lock_guard lock(mutex_);
            blocks_.push_back(std::move(block));
        }
        available_.notify_one();
    }

private:
    void drain() {
        for (;;) {
            std::function<void()> block;
            {
                std::unique_lock lock(mutex_);
                available_.wait(lock, [this] { return !blocks_.empty(); });
                block = std::move(blocks_.front());
                blocks_.pop_front();
            }
            if (!block) return;
            block();
        }
    }

    std::mutex mutex_;
    std::condition_variable available_;
    std::deque<std::function<void()>> blocks_;
    std::thread consumer_;
};

void BareMutexQueue(benchmark::State& state) {
    BareQueue queue;
    for (auto _ : state) {
        std::int64_t count = 0;
        DispatchSemaphore done(0);
        for (std::int64_t i = 0; i < kBlocks; ++i) queue.push([&count] { ++count; });
        queue.push([&done] { done.signal(); });
        done.wait();
        benchmark::DoNotOptimize(count);
    }
    state.SetItemsProcessed(state.iterations() * kBlocks);
}

void SerialQueue(benchmark::State& state) {
    auto queue = DispatchQueue::serial("bench.serial");
    for (auto _ : state) {
        std::int64_t count = 0;
        DispatchSemaphore done(0);
        for (std::int64_t i = 0; i < kBlocks; ++i) queue->async([&count] { ++count; });
        queue->async([&done] { done.signal(); });
        done.wait();
        benchmark::DoNotOptimize(count);
    }
    state.SetItemsProcessed(state.iterations() * kBlocks);
}

// Another thread feeds the main queue while the main thread runs its loop until everything has run.
void MainQueuePumpedByRunLoop(benchmark::State& state) {
    auto main = DispatchQueue::main();
    for (auto _ : state) {
        std::int64_t count = 0;
        std::thread producer([&] {
            for (std::int64_t i = 0; i < kBlocks; ++i) main->async([&count] { ++count; });
        });
        RunLoop::main()->runUntil([&] { return count == kBlocks; }, 600);
        producer.join();
        benchmark::DoNotOptimize(count);
    }
    state.SetItemsProcessed(state.iterations() * kBlocks);
}

}  // namespace

BENCHMARK(BareMutexQueue)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SerialQueue)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(MainQueuePumpedByRunLoop)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
