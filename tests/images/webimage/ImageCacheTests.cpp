#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>

#include "images/webimage/ImageCache.h"
#include "images/webimage/ImageDecoding.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Sandbox.h"
#include "platform/graphics/ImageFile.h"
#include "platform/ui/Application.h"
#include "tests/images/webimage/WebImageTestSupport.h"
#include "tests/support/FaultyVolume.h"
#include "tests/support/HostileFiles.h"

namespace ql {
namespace {

const ns::FileManager& files() { return ns::FileManager::defaultManager(); }

class ImageCacheTests : public ::testing::Test {
protected:
    void SetUp() override { cache = ImageCache::create("tests", sandbox.path()); }
    void TearDown() override { settle(); }
    void settle() {
        cache->ioQueue()->sync([] {});
        test::drainMainQueue();
    }
    std::shared_ptr<ui::Image> opaqueImage() { return ui::Image::imageWithCGImage(test::rampBitmap(8, 6, false), 1); }
    std::vector<std::string> folderContents() {
        return files().contentsOfDirectoryAtPath(cache->diskCachePath()).value_or(std::vector<std::string>{});
    }
    void age(const std::string& key, double seconds) {
        const ns::Date date = ns::Date::fromTimeIntervalSince1970(ns::Clock::now() - seconds);
        ASSERT_TRUE(files().setAttributes({{std::string(ns::FileModificationDate), ns::Value(date)}},
                                          cache->defaultCachePathForKey(key)));
    }

    ns::TemporarySandbox sandbox;
    std::shared_ptr<ImageCache> cache;
};

TEST_F(ImageCacheTests, FolderAndFileNames) {
    EXPECT_EQ(cache->diskCachePath(), sandbox.path() + "/com.Pimbrook.WebImageCache.tests");
    EXPECT_EQ(ImageCache::sharedImageCache()->diskCachePath(),
              ns::Sandbox::caches() + "/default/com.Pimbrook.WebImageCache.default");
    EXPECT_EQ(ImageCache::cachedFileNameForKey("http://h/b.png"), "e4938a6a6b2137221031c06709fb3b54.png");
    EXPECT_EQ(ImageCache::cachedFileNameForKey("http://h/photo?size=2"), "a5d27f0c6519d226cec6f6e9f85d271a");
    EXPECT_EQ(ImageCache::cachedFileNameForKey(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(cache->defaultCachePathForKey("http://h/b.png"),
              cache->diskCachePath() + "/e4938a6a6b2137221031c06709fb3b54.png");
    // The folder is made by the first store, not before.
    EXPECT_FALSE(files().fileExistsAtPath(cache->diskCachePath()));
}

// The process-wide cache outlives the sandboxes of tests and benchmarks: it keeps its pictures in the sandbox in
// use, so one that has ended is removed whole and never made again by a later write.
TEST_F(ImageCacheTests, TheSharedCacheKeepsItsPicturesInTheSandboxInUse) {
    const auto shared = ImageCache::sharedImageCache();
    const std::string outer = shared->diskCachePath();
    std::string inner;
    std::string innerHome;
    {
        ns::TemporarySandbox next;
        innerHome = next.path();
        inner = shared->diskCachePath();
        EXPECT_EQ(inner, ns::Sandbox::caches() + "/default/com.Pimbrook.WebImageCache.default");
        shared->storeImage(opaqueImage(), "http://h/in-the-next-sandbox.jpg");
    }
    EXPECT_FALSE(files().fileExistsAtPath(innerHome));
    EXPECT_EQ(shared->diskCachePath(), outer);
    shared->storeImage(opaqueImage(), "http://h/back-again.jpg");
    shared->ioQueue()->sync([] {});
    EXPECT_FALSE(files().fileExistsAtPath(innerHome));
    EXPECT_TRUE(files().fileExistsAtPath(shared->defaultCachePathForKey("http://h/back-again.jpg")));
    shared->removeImageForKey(std::string("http://h/back-again.jpg"));
}

TEST_F(ImageCacheTests, AKeyWithALongTextAfterItsLastDotIsStillStoredOnDisk) {
    // What follows the last dot of a URL may be a long query; as a file name extension it would make a
    // name no file system takes, and the image would silently never reach the disk.
    const std::string key = "http://h/picture.png?token=" + std::string(400, 'q');
    const std::string name = ImageCache::cachedFileNameForKey(key);
    EXPECT_LE(name.size(), 128u);
    EXPECT_EQ(name.substr(0, 32), ns::hexString(ns::md5(key)));
    cache->storeImage(opaqueImage(), key);
    settle();
    EXPECT_TRUE(cache->diskImageExistsWithKey(key));
    cache->clearMemory();
    EXPECT_TRUE(cache->imageFromDiskCacheForKey(key));
    // Ordinary extensions stay.
    EXPECT_EQ(ImageCache::cachedFileNameForKey("http://h/b.png?v=" + std::string(40, '1')),
              ns::hexString(ns::md5("http://h/b.png?v=" + std::string(40, '1'))) + ".png?v=" + std::string(40, '1'));
}

TEST_F(ImageCacheTests, StoringChoosesTheBytesAndWritesWholeFiles) {
    const ns::Data jpeg(test::jpegBytes(8, 6));
    auto image = wi_imageWithData(jpeg);
    ASSERT_TRUE(image);
    std::vector<std::string> replaced;
    ns::FileManager::setBeforeAtomicReplaceHookForTesting([&](const std::string& temporary) {
        // The new file is complete beside the target before it takes the target's name.
        replaced.push_back(temporary);
        EXPECT_FALSE(files().fileExistsAtPath(cache->defaultCachePathForKey("k/downloaded.jpg")));
    });
    cache->storeImage(image, false, jpeg, "k/downloaded.jpg", true);
    settle();
    ns::FileManager::setBeforeAtomicReplaceHookForTesting({});
    ASSERT_EQ(replaced.size(), 1u);
    EXPECT_NE(replaced[0], cache->defaultCachePathForKey("k/downloaded.jpg"));
    EXPECT_EQ(ns::dataWithContentsOfFile(cache->defaultCachePathForKey("k/downloaded.jpg")), jpeg);

    const ns::Data png(test::pngBytes(8, 6, false));
    cache->storeImage(wi_imageWithData(png), true, png, "k/png", true);
    cache->storeImage(image, true, jpeg, "k/jpeg", true);
    cache->storeImage(opaqueImage(), "k/opaque");
    cache->storeImage(ui::Image::imageWithCGImage(test::rampBitmap(8, 6, true), 1), "k/alpha");
    cache->storeImage(nullptr, "k/none");
    settle();
    const auto firstBytes = [&](const std::string& key) {
        auto data = ns::dataWithContentsOfFile(cache->defaultCachePathForKey(key));
        return data ? wi_contentTypeForImageData(*data) : std::nullopt;
    };
    EXPECT_EQ(firstBytes("k/png"), "image/png");
    EXPECT_EQ(firstBytes("k/jpeg"), "image/jpeg");
    EXPECT_EQ(firstBytes("k/opaque"), "image/jpeg");
    EXPECT_EQ(firstBytes("k/alpha"), "image/png");
    EXPECT_FALSE(files().fileExistsAtPath(cache->defaultCachePathForKey("k/none")));
    // Only whole images are left in the folder: no temporary files.
    EXPECT_EQ(folderContents().size(), 5u);
}

TEST_F(ImageCacheTests, ADiskThatCannotWriteIsLoggedOnceWithItsReasonAndMemoryStillServes) {
    const auto cacheLines = [](const ns::Log::Capture& log) {
        std::vector<std::string> lines = log.lines();
        std::erase_if(lines, [](const std::string& line) { return !line.starts_with("ImageCache:"); });
        return lines;
    };
    for (const test::VolumeKind kind : test::volumeKinds()) {
        SCOPED_TRACE(test::describe(kind));
        test::FaultyVolume volume(kind, sandbox.path() + "/volume-" + std::to_string(static_cast<int>(kind)));
        auto onVolume = ImageCache::create("faults", volume.folder());
        const auto store = [&](const std::string& key) {
            onVolume->storeImage(opaqueImage(), key);
            onVolume->ioQueue()->sync([] {});
        };
        const auto onDisk = [&] {
            auto names = files().contentsOfDirectoryAtPath(onVolume->diskCachePath()).value_or(std::vector<std::string>{});
            std::sort(names.begin(), names.end());
            return names;
        };
        store("k/before");
        ASSERT_TRUE(onVolume->diskImageExistsWithKey("k/before"));

        volume.fill();
        {
            ns::Log::Capture log;
            store("k/full-1");
            store("k/full-2");
            const auto lines = cacheLines(log);
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_NE(lines[0].find("isn\u2019t enough space"), std::string::npos) << lines[0];
        }
        EXPECT_TRUE(onVolume->imageFromMemoryCacheForKey("k/full-1"));
        EXPECT_TRUE(onVolume->imageFromMemoryCacheForKey("k/full-2"));
        // Nothing half-written is left behind.
        EXPECT_EQ(onDisk(), std::vector<std::string>{ImageCache::cachedFileNameForKey("k/before")});

        volume.restore();
        volume.makeReadOnly();
        {
            ns::Log::Capture log;
            store("k/read-only-1");
            store("k/read-only-2");
            const auto lines = cacheLines(log);
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_NE(lines[0].find("the volume is read only"), std::string::npos) << lines[0];
        }
        EXPECT_TRUE(onVolume->imageFromMemoryCacheForKey("k/read-only-2"));
        onVolume->clearMemory();
        EXPECT_TRUE(onVolume->imageFromDiskCacheForKey("k/before"));

        // A write that succeeds ends the run: the next failure is logged again.
        volume.restore();
        store("k/after");
        EXPECT_TRUE(onVolume->diskImageExistsWithKey("k/after"));
        volume.fill();
        ns::Log::Capture log;
        store("k/full-again");
        EXPECT_EQ(cacheLines(log).size(), 1u);
    }
}

TEST_F(ImageCacheTests, QueriesAnswerFromMemoryAtOnceAndFromDiskOnTheMainQueue) {
    cache->storeImage(opaqueImage(), "k/a");
    int answers = 0;
    ImageCacheSource source = ImageCacheSourceNone;
    auto operation = cache->queryDiskCacheForKey("k/a", [&](std::shared_ptr<ui::Image> image, ImageCacheSource from) {
        EXPECT_TRUE(image);
        ++answers;
        source = from;
    });
    EXPECT_EQ(operation, nullptr);
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(source, ImageCacheSourceMemory);
    settle();

    cache->clearMemory();
    bool onMain = false;
    std::shared_ptr<ui::Image> found;
    operation = cache->queryDiskCacheForKey("k/a", [&](std::shared_ptr<ui::Image> image, ImageCacheSource from) {
        onMain = ns::DispatchQueue::isMainThread();
        found = image;
        source = from;
        ++answers;
    });
    EXPECT_NE(operation, nullptr);
    EXPECT_EQ(answers, 1);
    ASSERT_TRUE(test::pumpUntil([&] { return answers == 2; }));
    EXPECT_TRUE(onMain);
    EXPECT_EQ(source, ImageCacheSourceDisk);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->size(), (cg::Size{4, 3}));  // the screen's scale of 2
    // The disk read put it back into memory.
    EXPECT_TRUE(cache->imageFromMemoryCacheForKey("k/a"));

    cache->queryDiskCacheForKey("k/missing", [&](std::shared_ptr<ui::Image> image, ImageCacheSource from) {
        EXPECT_EQ(image, nullptr);
        source = from;
        ++answers;
    });
    ASSERT_TRUE(test::pumpUntil([&] { return answers == 3; }));
    EXPECT_EQ(source, ImageCacheSourceDisk);

    cache->queryDiskCacheForKey(std::nullopt, [&](std::shared_ptr<ui::Image>, ImageCacheSource from) {
        source = from;
        ++answers;
    });
    EXPECT_EQ(answers, 4);
    EXPECT_EQ(source, ImageCacheSourceNone);
    EXPECT_EQ(cache->queryDiskCacheForKey("k/a", nullptr), nullptr);
}

TEST_F(ImageCacheTests, AnEntryThatIsNoPictureFileIsAMissWithoutWaiting) {
    cache->storeImage(opaqueImage(), "k/kept");
    settle();
    cache->clearMemory();
    for (const test::HostileFile kind : test::hostileFiles()) {
        SCOPED_TRACE(test::describe(kind));
        test::placeHostileFile(kind, cache->defaultCachePathForKey("k/hostile"), cg::kMaxImageFileBytes + 1);
        const test::HangGuard guard("an image cache entry as " + test::describe(kind));
        EXPECT_FALSE(cache->imageFromDiskCacheForKey("k/hostile"));
        bool answered = false;
        cache->queryDiskCacheForKey("k/hostile", [&](std::shared_ptr<ui::Image> image, ImageCacheSource from) {
            EXPECT_EQ(image, nullptr);
            EXPECT_EQ(from, ImageCacheSourceDisk);
            answered = true;
        });
        ASSERT_TRUE(test::pumpUntil([&] { return answered; }));
        // The cache goes on: other entries still read, and a new picture takes the entry's place.
        EXPECT_TRUE(cache->imageFromDiskCacheForKey("k/kept"));
        cache->clearMemory();
        cache->storeImage(opaqueImage(), "k/hostile");
        settle();
        cache->clearMemory();
        EXPECT_TRUE(cache->imageFromDiskCacheForKey("k/hostile"));
        cache->clearMemory();
    }
}

TEST_F(ImageCacheTests, ACancelledQueryNeverAnswers) {
    cache->storeImage(opaqueImage(), "k/a");
    settle();
    cache->clearMemory();
    cache->ioQueue()->suspend();
    bool answered = false;
    auto operation = cache->queryDiskCacheForKey("k/a", [&](std::shared_ptr<ui::Image>, ImageCacheSource) { answered = true; });
    ASSERT_TRUE(operation);
    operation->cancel();
    cache->ioQueue()->resume();
    settle();
    EXPECT_FALSE(answered);
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey("k/a"));
}

TEST_F(ImageCacheTests, SynchronousReadsRemovalAndSizes) {
    cache->storeImage(opaqueImage(), "k/a");
    cache->storeImage(opaqueImage(), "k/b");
    settle();
    EXPECT_TRUE(cache->diskImageExistsWithKey("k/a"));
    cache->clearMemory();
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey("k/a"));
    EXPECT_TRUE(cache->imageFromDiskCacheForKey("k/a"));
    EXPECT_TRUE(cache->imageFromMemoryCacheForKey("k/a"));

    EXPECT_EQ(cache->getDiskCount(), 2u);
    const std::uint64_t size = cache->getSize();
    EXPECT_EQ(size, files().totalSizeOfItemAtPath(cache->diskCachePath()));
    std::optional<std::pair<std::uint64_t, std::uint64_t>> calculated;
    cache->calculateSize([&](std::uint64_t count, std::uint64_t total) { calculated = {count, total}; });
    ASSERT_TRUE(test::pumpUntil([&] { return calculated.has_value(); }));
    EXPECT_EQ(calculated->first, 2u);
    EXPECT_EQ(calculated->second, size);

    bool exists = false, answered = false;
    cache->diskImageExistsWithKey("k/b", [&](bool found) {
        exists = found;
        answered = true;
    });
    ASSERT_TRUE(test::pumpUntil([&] { return answered; }));
    EXPECT_TRUE(exists);

    bool removed = false;
    cache->removeImageForKey("k/a", true, [&] { removed = true; });
    ASSERT_TRUE(test::pumpUntil([&] { return removed; }));
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey("k/a"));
    EXPECT_FALSE(cache->diskImageExistsWithKey("k/a"));
    // Memory only: the completion comes at once and the file stays.
    bool memoryOnly = false;
    cache->removeImageForKey("k/b", false, [&] { memoryOnly = true; });
    EXPECT_TRUE(memoryOnly);
    EXPECT_TRUE(cache->diskImageExistsWithKey("k/b"));

    ns::NotificationCenter::defaultCenter().post(ui::ApplicationDidReceiveMemoryWarningNotification);
    cache->storeImage(opaqueImage(), "k/c", false);
    ns::NotificationCenter::defaultCenter().post(ui::ApplicationDidReceiveMemoryWarningNotification);
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey("k/c"));

    bool cleared = false;
    cache->clearDisk([&] { cleared = true; });
    ASSERT_TRUE(test::pumpUntil([&] { return cleared; }));
    EXPECT_TRUE(files().fileExistsAtPath(cache->diskCachePath()));
    EXPECT_TRUE(folderContents().empty());
}

TEST_F(ImageCacheTests, WhatAKilledWriteLeftGoesWhenTheCacheOpensAndOnlyImagesAreCounted) {
    cache->storeImage(opaqueImage(), "k/a");
    settle();
    const std::string image = cache->defaultCachePathForKey("k/a");
    // Killed between writing an image whole beside its name and renaming it in place.
    const pid_t child = ::fork();
    if (child == 0) {
        ns::FileManager::setBeforeAtomicReplaceHookForTesting([](const std::string&) { ::raise(SIGKILL); });
        const ns::Data bytes = files().contentsAtPath(image).value();
        files().writeAtomically(cache->defaultCachePathForKey("k/b"), bytes, std::nullopt);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    const auto leftovers = [&] {
        std::vector<std::string> names = folderContents();
        std::erase_if(names, [](const std::string& name) { return !name.starts_with('.'); });
        return names;
    };
    ASSERT_EQ(leftovers().size(), 1u);

    // Hidden, it outlives every clean however old it is, but it is no image to count or size.
    const ns::Date monthOld = ns::Date::fromTimeIntervalSince1970(ns::Clock::now() - 30 * 86400);
    ASSERT_TRUE(files().setAttributes({{std::string(ns::FileModificationDate), ns::Value(monthOld)}},
                                      cache->diskCachePath() + "/" + leftovers()[0]));
    bool cleaned = false;
    cache->cleanDisk([&] { cleaned = true; });
    ASSERT_TRUE(test::pumpUntil([&] { return cleaned; }));
    EXPECT_EQ(leftovers().size(), 1u);
    const std::uint64_t imageSize = files().attributesOfItemAtPath(image).value().size;
    EXPECT_EQ(cache->getDiskCount(), 1u);
    EXPECT_EQ(cache->getSize(), imageSize);

    // The cache's next opening removes it.
    const auto reopened = ImageCache::create("tests", sandbox.path());
    EXPECT_EQ(reopened->getDiskCount(), 1u);
    EXPECT_TRUE(leftovers().empty());
    EXPECT_TRUE(reopened->diskImageExistsWithKey("k/a"));
}

TEST_F(ImageCacheTests, CleaningRemovesWhatIsOlderThanAWeek) {
    ns::ManualClockScope clock(ns::Date::now().timeIntervalSince1970());
    for (const char* key : {"k/exactly-a-week", "k/almost-a-week", "k/older", "k/new"}) cache->storeImage(opaqueImage(), key);
    settle();
    EXPECT_EQ(cache->maxCacheAge(), 604800);
    age("k/exactly-a-week", 604800);
    age("k/almost-a-week", 604799);
    age("k/older", 8 * 86400);
    bool done = false;
    cache->cleanDisk([&] { done = true; });
    ASSERT_TRUE(test::pumpUntil([&] { return done; }));
    EXPECT_FALSE(cache->diskImageExistsWithKey("k/exactly-a-week"));
    EXPECT_FALSE(cache->diskImageExistsWithKey("k/older"));
    EXPECT_TRUE(cache->diskImageExistsWithKey("k/almost-a-week"));
    EXPECT_TRUE(cache->diskImageExistsWithKey("k/new"));

    // A day later the one that was almost a week old goes too; the application's move to the background
    // cleans by itself.
    ns::Clock::advance(86400);
    ns::NotificationCenter::defaultCenter().post(ui::ApplicationDidEnterBackgroundNotification);
    settle();
    EXPECT_FALSE(cache->diskImageExistsWithKey("k/almost-a-week"));
    EXPECT_TRUE(cache->diskImageExistsWithKey("k/new"));
}

TEST_F(ImageCacheTests, CleaningAboveTheSizeLimitRemovesTheOldestUntilUnderHalf) {
    ns::ManualClockScope clock(ns::Date::now().timeIntervalSince1970());
    const std::vector<std::string> keys = {"k/oldest", "k/older", "k/old", "k/newest"};
    for (const auto& key : keys) cache->storeImage(opaqueImage(), key);
    settle();
    for (std::size_t i = 0; i < keys.size(); ++i) age(keys[i], 1000.0 * static_cast<double>(keys.size() - i));
    const auto attributes = files().attributesOfItemAtPath(cache->defaultCachePathForKey("k/newest"));
    ASSERT_TRUE(attributes);
    const std::uint64_t each = attributes->allocatedSize;
    ASSERT_GT(each, 0u);
    // Four files over a limit of three: deleting the oldest goes on until fewer than one and a half remain.
    cache->setMaxCacheSize(3 * each);
    bool done = false;
    cache->cleanDisk([&] { done = true; });
    ASSERT_TRUE(test::pumpUntil([&] { return done; }));
    EXPECT_FALSE(cache->diskImageExistsWithKey("k/oldest"));
    EXPECT_FALSE(cache->diskImageExistsWithKey("k/older"));
    EXPECT_FALSE(cache->diskImageExistsWithKey("k/old"));
    EXPECT_TRUE(cache->diskImageExistsWithKey("k/newest"));

    // Under the limit nothing is removed.
    cache->storeImage(opaqueImage(), "k/another");
    settle();
    done = false;
    cache->cleanDisk([&] { done = true; });
    ASSERT_TRUE(test::pumpUntil([&] { return done; }));
    EXPECT_EQ(folderContents().size(), 2u);
}

TEST_F(ImageCacheTests, ReadOnlyFoldersSupplyImagesButAreNeverCleaned) {
    const std::string shipped = sandbox.path() + "/shipped";
    ASSERT_TRUE(files().createDirectoryAtPath(shipped, true));
    const std::string path = shipped + "/" + ImageCache::cachedFileNameForKey("k/shipped");
    ASSERT_TRUE(files().createFileAtPath(path, ns::Data(test::jpegBytes(8, 6))));
    ASSERT_TRUE(files().setAttributes(
        {{std::string(ns::FileModificationDate), ns::Value(ns::Date::fromTimeIntervalSince1970(1000))}}, path));
    cache->addReadOnlyCachePath(shipped);
    cache->addReadOnlyCachePath(shipped);
    EXPECT_TRUE(cache->imageFromDiskCacheForKey("k/shipped"));

    bool done = false;
    cache->cleanDisk([&] { done = true; });
    ASSERT_TRUE(test::pumpUntil([&] { return done; }));
    done = false;
    cache->clearDisk([&] { done = true; });
    ASSERT_TRUE(test::pumpUntil([&] { return done; }));
    cache->removeImageForKey("k/shipped");
    settle();
    EXPECT_TRUE(files().fileExistsAtPath(path));
}

}  // namespace
}  // namespace ql
