#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/foundation/Cache.h"
#include "platform/foundation/NotificationCenter.h"

using namespace ql::ns;

namespace {

struct EvictionLog final : CacheDelegate {
    std::vector<std::string> evicted;
    void cacheWillEvictObject(Cache&, const Value& object) override { evicted.emplace_back(object.asString()); }
};

bool holds(Cache& cache, std::string_view key) { return !cache.objectForKey(key).isNil(); }

}  // namespace

TEST(Cache, EvictsTheLeastRecentlyUsedPastTheCountLimit) {
    auto cache = std::make_shared<Cache>();
    auto log = std::make_shared<EvictionLog>();
    cache->setDelegate(log);
    cache->setName("images");
    EXPECT_EQ(cache->name(), "images");
    cache->setCountLimit(2);
    cache->setObject("a", "A");
    cache->setObject("b", "B");
    EXPECT_EQ(cache->objectForKey("a"), Value("A"));  // a is now the most recent
    cache->setObject("c", "C");
    EXPECT_EQ(log->evicted, (std::vector<std::string>{"B"}));
    EXPECT_TRUE(holds(*cache, "a"));
    EXPECT_FALSE(holds(*cache, "b"));
    EXPECT_TRUE(holds(*cache, "c"));

    // Replacing keeps the count and is no eviction.
    cache->setObject("c", "C2");
    EXPECT_EQ(cache->objectForKey("c"), Value("C2"));
    EXPECT_EQ(log->evicted.size(), 1u);

    // Lowering the limit evicts at once, oldest first.
    cache->setCountLimit(1);
    EXPECT_EQ(log->evicted, (std::vector<std::string>{"B", "A"}));
    cache->setCountLimit(0);
    for (int i = 0; i < 100; ++i) cache->setObject(std::to_string(i), i);
    EXPECT_TRUE(holds(*cache, "0"));
}

TEST(Cache, EvictsPastTheTotalCostLimit) {
    Cache cache;  // not owned by a shared_ptr: works, just without memory warnings
    auto log = std::make_shared<EvictionLog>();
    cache.setDelegate(log);
    cache.setTotalCostLimit(10);
    cache.setObject("a", "A", 4);
    cache.setObject("b", "B", 4);
    cache.setObject("c", "C", 4);
    EXPECT_EQ(log->evicted, (std::vector<std::string>{"A"}));
    // A replacement's new cost counts, not the old one.
    cache.setObject("b", "B", 1);
    cache.setObject("d", "D", 5);
    EXPECT_EQ(log->evicted.size(), 1u);
    cache.setObject("e", "E", 1);
    EXPECT_EQ(log->evicted, (std::vector<std::string>{"A", "C"}));
    // An entry that alone passes the limit does not stay, and leaves the others alone.
    cache.setObject("huge", "H", 11);
    EXPECT_FALSE(holds(cache, "huge"));
    EXPECT_EQ(log->evicted, (std::vector<std::string>{"A", "C", "H"}));
    EXPECT_TRUE(holds(cache, "b"));
    EXPECT_TRUE(holds(cache, "d"));
    EXPECT_TRUE(holds(cache, "e"));  // now used in the order b, d, e
    cache.setTotalCostLimit(5);
    EXPECT_EQ(log->evicted, (std::vector<std::string>{"A", "C", "H", "B", "D"}));
    EXPECT_TRUE(holds(cache, "e"));
    EXPECT_EQ(cache.totalCostLimit(), 5u);
}

TEST(Cache, RemovalsAndNilAreReported) {
    auto cache = std::make_shared<Cache>();
    auto log = std::make_shared<EvictionLog>();
    cache->setDelegate(log);
    cache->setObject("a", "A");
    cache->setObject("b", "B");
    cache->setObject("c", "C");
    cache->removeObjectForKey("b");
    cache->removeObjectForKey("missing");
    EXPECT_EQ(log->evicted, (std::vector<std::string>{"B"}));
    cache->setObject("a", Value());  // nil removes
    EXPECT_FALSE(holds(*cache, "a"));
    cache->removeAllObjects();
    EXPECT_EQ(log->evicted, (std::vector<std::string>{"B", "A", "C"}));
    EXPECT_FALSE(holds(*cache, "c"));

    // A delegate that has gone is simply not called.
    log.reset();
    cache->setObject("x", "X");
    cache->removeAllObjects();
    EXPECT_FALSE(holds(*cache, "x"));
}

TEST(Cache, EmptiesOnMemoryWarnings) {
    auto cache = std::make_shared<Cache>();
    cache->setObject("a", "A");
    auto object = std::make_shared<Object>();
    cache->setObject("object", Value(object));
    EXPECT_EQ(cache->objectForKey("object").asObject(), object);
    NotificationCenter::defaultCenter().post("SomethingElse");
    EXPECT_TRUE(holds(*cache, "a"));
    NotificationCenter::defaultCenter().post("UIApplicationDidReceiveMemoryWarningNotification");
    EXPECT_FALSE(holds(*cache, "a"));
    EXPECT_FALSE(holds(*cache, "object"));
    EXPECT_EQ(object.use_count(), 1);
    // Still listening afterwards, and a destroyed cache is forgotten.
    cache->setObject("b", "B");
    NotificationCenter::defaultCenter().post("UIApplicationDidReceiveMemoryWarningNotification");
    EXPECT_FALSE(holds(*cache, "b"));
    cache.reset();
    NotificationCenter::defaultCenter().post("UIApplicationDidReceiveMemoryWarningNotification");
}

TEST(Cache, SafeFromSeveralThreads) {
    auto cache = std::make_shared<Cache>();
    cache->setCountLimit(50);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([cache, t] {
            for (int i = 0; i < 2000; ++i) {
                std::string key = std::to_string((i * 7 + t) % 80);
                cache->setObject(key, i, static_cast<std::uint64_t>(i % 5));
                cache->objectForKey(std::to_string(i % 80));
                if (i % 97 == 0) cache->removeObjectForKey(key);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    int held = 0;
    for (int k = 0; k < 80; ++k) held += holds(*cache, std::to_string(k)) ? 1 : 0;
    EXPECT_LE(held, 50);
    EXPECT_GT(held, 0);
}
