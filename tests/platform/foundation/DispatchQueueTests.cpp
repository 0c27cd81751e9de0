#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/foundation/Clock.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Thread.h"

using namespace ql::ns;

TEST(DispatchQueue, SerialQueueKeepsOrderUnderContention) {
    auto queue = DispatchQueue::serial("test.serial");
    constexpr int kProducers = 8;
    constexpr int kBlocks = 5000;
    std::vector<std::vector<int>> seen(kProducers);  // only ever touched on the queue
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::atomic<bool> offQueue{false};
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([&, p] {
            for (int i = 0; i < kBlocks; ++i) {
                auto block = [&, p, i] {
                    if (inside.fetch_add(1) != 0) overlapped = true;
                    if (!queue->isCurrent()) offQueue = true;
                    seen[p].push_back(i);
                    inside.fetch_sub(1);
                };
                if (i % 500 == 0) queue->sync(block);
                else queue->async(block);
            }
        });
    }
    for (auto& t : producers) t.join();
    queue->sync([] {});
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(offQueue);
    EXPECT_FALSE(queue->isCurrent());
    for (const auto& s : seen) {
        ASSERT_EQ(s.size(), static_cast<size_t>(kBlocks));
        EXPECT_TRUE(std::is_sorted(s.begin(), s.end()));
    }
}

TEST(DispatchQueue, SyncRunsOnTheCallerAndRefusesToDeadlock) {
    auto queue = DispatchQueue::serial("test.sync");
    bool ranHere = false;
    queue->sync([&] {
        ranHere = Thread::isMainThread() && queue->isCurrent();
        EXPECT_THROW(queue->sync([] {}), Exception);
    });
    EXPECT_TRUE(ranHere);
    EXPECT_THROW(DispatchQueue::main()->sync([] {}), Exception);

    // From a worker, sync onto the main queue runs on the main thread while the main loop turns.
    std::atomic<bool> onMain{false};
    std::atomic<bool> returned{false};
    DispatchQueue::global()->async([&] {
        DispatchQueue::main()->sync([&] { onMain = Thread::isMainThread() && DispatchQueue::main()->isCurrent(); });
        returned = true;
        RunLoop::main()->wakeUp();
    });
    EXPECT_TRUE(RunLoop::main()->runUntil([&] { return returned.load(); }, 30));
    EXPECT_TRUE(onMain);
}

TEST(DispatchQueue, BarriersRunAlone) {
    auto queue = DispatchQueue::concurrent("test.concurrent");
    auto group = std::make_shared<DispatchGroup>();
    std::atomic<int> readers{0};
    std::atomic<int> finishedReads{0};
    std::atomic<int> violations{0};
    constexpr int kRounds = 20;
    constexpr int kReadsPerRound = 40;
    for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < kReadsPerRound; ++i) {
            group->async(queue, [&] {
                readers.fetch_add(1);
                readers.fetch_sub(1);
                finishedReads.fetch_add(1);
            });
        }
        const int expected = (round + 1) * kReadsPerRound;
        auto barrier = [&, expected] {
            if (readers.load() != 0 || finishedReads.load() != expected) violations.fetch_add(1);
        };
        if (round % 2) {
            group->enter();
            queue->asyncBarrier([&, barrier] {
                barrier();
                group->leave();
            });
        } else {
            queue->syncBarrier(barrier);
        }
    }
    ASSERT_TRUE(group->wait(30));
    EXPECT_EQ(violations.load(), 0);
    EXPECT_EQ(finishedReads.load(), kRounds * kReadsPerRound);
}

TEST(DispatchQueue, GroupNotifiesAfterEveryTask) {
    auto group = std::make_shared<DispatchGroup>();
    auto results = DispatchQueue::serial("test.group");
    std::atomic<int> done{0};
    constexpr int kTasks = 2000;
    const DispatchQueue::Priority priorities[] = {DispatchQueue::Priority::High, DispatchQueue::Priority::Default,
                                                  DispatchQueue::Priority::Low, DispatchQueue::Priority::Background};
    for (int i = 0; i < kTasks; ++i) group->async(DispatchQueue::global(priorities[i % 4]), [&] { done.fetch_add(1); });
    group->enter();  // one more part of the work finishes on a thread of its own
    Thread::detachNewThread([&] {
        done.fetch_add(1);
        group->leave();
    });
    DispatchSemaphore notified(0);
    int seenByNotify = -1;
    group->notify(results, [&] {
        seenByNotify = done.load();
        notified.signal();
    });
    ASSERT_TRUE(notified.wait(30));
    EXPECT_EQ(seenByNotify, kTasks + 1);
    EXPECT_TRUE(group->wait(0));
    EXPECT_THROW(group->leave(), Exception);

    // An empty group notifies at once; waiting with a timeout on a busy one gives up.
    group->notify(results, [&] { notified.signal(); });
    EXPECT_TRUE(notified.wait(30));
    group->enter();
    EXPECT_FALSE(group->wait(0));
    group->leave();
}

TEST(DispatchQueue, NestedWaitsOnThePoolDoNotStarveIt) {
    // More blocked blocks than workers: each waits for a block queued after it.
    const int blocked = 4 * static_cast<int>(std::max(2u, std::thread::hardware_concurrency()));
    DispatchSemaphore gate(0);
    auto group = std::make_shared<DispatchGroup>();
    for (int i = 0; i < blocked; ++i) group->async(DispatchQueue::global(), [&] { gate.wait(); });
    auto serial = DispatchQueue::serial("test.nested");
    group->async(DispatchQueue::global(), [&] {
        serial->sync([&] {
            for (int i = 0; i < blocked; ++i) gate.signal();
        });
    });
    EXPECT_TRUE(group->wait(60));
}

TEST(DispatchQueue, SuspensionHoldsBlocksBack) {
    auto queue = DispatchQueue::serial("test.suspend");
    DispatchSemaphore first(0);
    DispatchSemaphore second(0);
    std::atomic<bool> secondRan{false};
    queue->async([&] {
        queue->suspend();
        first.signal();
    });
    queue->async([&] {
        secondRan = true;
        second.signal();
    });
    ASSERT_TRUE(first.wait(30));
    EXPECT_FALSE(second.wait(0));
    EXPECT_FALSE(secondRan);
    queue->resume();
    EXPECT_TRUE(second.wait(30));
    EXPECT_THROW(queue->resume(), Exception);
}

TEST(DispatchSemaphore, CountsWaitsAndMayGoRightAfterTheWaitEnds) {
    DispatchSemaphore two(2);
    EXPECT_TRUE(two.wait(0));
    EXPECT_TRUE(two.wait(0));
    EXPECT_FALSE(two.wait(0));
    EXPECT_FALSE(two.wait(0.01));
    two.signal();
    EXPECT_TRUE(two.wait(-1));
    EXPECT_THROW(DispatchSemaphore(-1), Exception);
    EXPECT_THROW(DispatchSemaphore(static_cast<long>(SEM_VALUE_MAX) + 1), Exception);

    // The waiter destroys the semaphore as soon as its wait returns, while the signaller may still be
    // inside signal(); the sanitizers see any touch of freed memory.
    for (int i = 0; i < 200; ++i) {
        auto* handOff = new DispatchSemaphore(0);
        std::thread signaller([handOff] { handOff->signal(); });
        EXPECT_TRUE(handOff->wait(30));
        delete handOff;
        signaller.join();
    }
}

TEST(DispatchQueue, AfterRunsOnTheManualClock) {
    ManualClockScope clock;
    const double start = Clock::now();
    std::vector<std::pair<std::string, double>> ran;
    auto record = [&](std::string name) { return [&ran, name, start] { ran.emplace_back(name, Clock::now() - start); }; };
    DispatchQueue::main()->after(2, record("two"));
    DispatchQueue::main()->after(1, record("one"));
    DispatchQueue::main()->after(1, record("one again"));
    DispatchSemaphore serialRan(0);
    DispatchQueue::serial("test.after")->after(1.5, [&] { serialRan.signal(); });

    Clock::advance(0.9);
    EXPECT_TRUE(ran.empty());
    EXPECT_FALSE(serialRan.wait(0));
    Clock::advance(0.7);
    EXPECT_TRUE(serialRan.wait(30));
    Clock::advance(10);
    EXPECT_EQ(ran, (std::vector<std::pair<std::string, double>>{{"one", 1}, {"one again", 1}, {"two", 2}}));
}

TEST(DispatchQueue, MainQueueKeepsItsOrderThroughNestedRunsAndSuspension) {
    auto main = DispatchQueue::main();
    std::vector<std::string> order;
    main->async([&] {
        order.push_back("outer starts");
        main->async([&] { order.push_back("queued by outer"); });
        RunLoop::main()->runUntil([&] { return order.size() == 3; }, 30);  // a nested run, as a modal would
        order.push_back("outer ends");
    });
    main->async([&] { order.push_back("second"); });
    main->async([&] { order.push_back("third"); });
    EXPECT_TRUE(RunLoop::main()->runUntil([&] { return order.size() == 5; }, 30));
    EXPECT_EQ(order, (std::vector<std::string>{"outer starts", "second", "third", "outer ends", "queued by outer"}));

    order.clear();
    main->suspend();
    main->async([&] { order.push_back("held"); });
    RunLoop::main()->runMode(DefaultRunLoopMode, Date::now());
    EXPECT_TRUE(order.empty());
    main->resume();
    EXPECT_TRUE(RunLoop::main()->runUntil([&] { return !order.empty(); }, 30));
}

TEST(DispatchQueue, FinishingBackgroundWorkWaitsForWhatWasQueuedAndWhatThatQueuedInTurn) {
    auto serial = DispatchQueue::serial("test.finish");
    auto done = std::make_shared<std::atomic<int>>(0);
    for (int i = 0; i < 20; ++i) {
        serial->async([serial, done] {
            DispatchQueue::global(DispatchQueue::Priority::Background)->async([serial, done] {
                ++*done;
                serial->async([done] { ++*done; });
            });
        });
    }
    EXPECT_TRUE(DispatchQueue::finishBackgroundWork(60));
    EXPECT_EQ(done->load(), 40);

    // Work waiting for something that does not come is left to go on once the allowance is spent.
    auto gate = std::make_shared<DispatchSemaphore>(0);
    DispatchQueue::global()->async([gate, done] {
        gate->wait();
        ++*done;
    });
    EXPECT_FALSE(DispatchQueue::finishBackgroundWork(0.2));
    EXPECT_EQ(done->load(), 40);
    gate->signal();
    EXPECT_TRUE(DispatchQueue::finishBackgroundWork(60));
    EXPECT_EQ(done->load(), 41);

    // Called from the pool's own work, it does not wait for that work.
    auto inner = std::make_shared<std::atomic<bool>>(false);
    DispatchQueue::global()->async([inner] { *inner = DispatchQueue::finishBackgroundWork(60); });
    EXPECT_TRUE(DispatchQueue::finishBackgroundWork(60));
    EXPECT_TRUE(*inner);
}
