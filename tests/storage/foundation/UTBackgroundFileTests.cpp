#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Sandbox.h"
#include "storage/foundation/UTAsyncFileDeleter.h"
#include "storage/foundation/UTFolderMonitor.h"
#include "storage/foundation/UTPaths.h"

namespace ql {
namespace {

namespace fs = std::filesystem;

TEST(UTAsyncFileDeleter, FreesThePathAtOnceAndRemovesLater) {
    ns::TemporarySandbox sandbox;
    auto& deleter = UTAsyncFileDeleter::sharedInstance();
    deleter->waitUntilFinished();  // nothing pending: returns at once
    deleter->removeItemAtPath(sandbox.path() + "/missing");

    const fs::path folder = fs::path(sandbox.path()) / "book";
    fs::create_directories(folder / "pages");
    std::ofstream(folder / "pages" / "1.txt") << "one";
    deleter->removeItemAtPath(folder.string());
    EXPECT_FALSE(fs::exists(folder));
    // The same name is free for new data while the old is still going away.
    fs::create_directories(folder);
    std::ofstream(folder / "new.txt") << "new";
    deleter->waitUntilFinished();
    EXPECT_TRUE(fs::exists(folder / "new.txt"));
    EXPECT_FALSE(fs::exists(folder / "pages"));

    // With the temporary folder out of reach the item is moved beside itself, hidden, and still removed.
    // (The folder is worked out once per process, so this binary makes sure it lies in this sandbox.)
    ASSERT_EQ(temporaryPath().rfind(sandbox.path(), 0), 0u);
    const fs::path file = fs::path(sandbox.path()) / "notes.txt";
    std::ofstream(file) << "x";
    fs::remove_all(fs::path(temporaryPath()));
    deleter->removeItemAtURL(ns::URL::fileURLWithPath(file.string(), false));
    EXPECT_FALSE(fs::exists(file));
    deleter->waitUntilFinished();
    std::size_t left = 0;
    for (const auto& entry : fs::directory_iterator(sandbox.path())) left += entry.path().filename().string()[0] == '.';
    EXPECT_EQ(left, 0u);
}

TEST(UTFolderMonitor, ReportsEntryChangesOnItsQueue) {
    ns::TemporarySandbox sandbox;
    const fs::path folder = fs::path(sandbox.path()) / "watched";
    fs::create_directories(folder / "sub");
    ns::DispatchSemaphore called(0);
    std::atomic<bool> onQueue{true};
    std::shared_ptr<UTFolderMonitor> monitor;
    monitor = UTFolderMonitor::folderMonitorForURL(ns::URL::fileURLWithPath(folder.string(), true), [&] {
        if (!monitor->queue()->isCurrent()) onQueue = false;
        called.signal();
    });
    EXPECT_FALSE(monitor->isMonitoring());
    monitor->startMonitoring();
    monitor->startMonitoring();
    ASSERT_TRUE(monitor->isMonitoring());

    std::ofstream(folder / "a.txt") << "a";
    ASSERT_TRUE(called.wait(10));
    fs::rename(folder / "a.txt", folder / "b.txt");
    ASSERT_TRUE(called.wait(10));
    fs::remove(folder / "b.txt");
    ASSERT_TRUE(called.wait(10));
    EXPECT_TRUE(onQueue);

    monitor->stopMonitoring();
    monitor->stopMonitoring();
    EXPECT_FALSE(monitor->isMonitoring());
    monitor->startMonitoring();
    EXPECT_TRUE(monitor->isMonitoring());
    monitor->stopMonitoring();

    auto missing = UTFolderMonitor::folderMonitorForURL(ns::URL::fileURLWithPath(sandbox.path() + "/none", true), [] {});
    missing->startMonitoring();
    EXPECT_FALSE(missing->isMonitoring());
}

}  // namespace
}  // namespace ql
