#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"

using namespace ql::ns;

namespace {

unsigned modeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

}  // namespace

TEST(Sandbox, MakesPrivateFoldersInItsHomeWhenAskedAndAnswersSearchPaths) {
    TemporarySandbox sandbox;
    const std::string& home = sandbox.path();
    bool isDirectory = false;
    EXPECT_FALSE(FileManager::defaultManager().fileExistsAtPath(home + "/Library"));

    EXPECT_EQ(Sandbox::caches(), home + "/Library/Caches");
    EXPECT_TRUE(FileManager::defaultManager().fileExistsAtPath(home + "/Library/Caches", &isDirectory));
    EXPECT_TRUE(isDirectory);
    EXPECT_EQ(modeOf(home + "/Library"), 0700u);
    EXPECT_EQ(modeOf(home + "/Library/Caches"), 0700u);
    EXPECT_EQ(Sandbox::home(), home);
    EXPECT_EQ(Sandbox::documents(), home + "/Documents");
    EXPECT_EQ(Sandbox::library(), home + "/Library");
    EXPECT_EQ(Sandbox::preferences(), home + "/Library/Preferences");
    EXPECT_EQ(Sandbox::temporary(), home + "/tmp");
    EXPECT_TRUE(FileManager::defaultManager().fileExistsAtPath(home + "/Library/Preferences"));

    EXPECT_EQ(homeDirectory(), home);
    EXPECT_EQ(temporaryDirectory(), home + "/tmp/");
    EXPECT_EQ(searchPathForDirectoriesInDomains(DocumentDirectory, UserDomainMask, true),
              std::vector<std::string>{home + "/Documents"});
    EXPECT_EQ(searchPathForDirectoriesInDomains(CachesDirectory, AllDomainsMask, false),
              std::vector<std::string>{"~/Library/Caches"});
    EXPECT_TRUE(searchPathForDirectoriesInDomains(LibraryDirectory, SystemDomainMask, true).empty());
}

TEST(Sandbox, TemporarySandboxesNestAndCleanUp) {
    TemporarySandbox outer;
    std::uint64_t generation = Sandbox::generation();
    std::string innerPath;
    {
        TemporarySandbox inner;
        innerPath = inner.path();
        EXPECT_NE(innerPath, outer.path());
        EXPECT_NE(Sandbox::generation(), generation);
        EXPECT_EQ(Sandbox::documents(), innerPath + "/Documents");
        ASSERT_TRUE(FileManager::defaultManager().createFileAtPath(Sandbox::documents() + "/note.txt", Data("x")));
    }
    EXPECT_FALSE(FileManager::defaultManager().fileExistsAtPath(innerPath));
    EXPECT_EQ(Sandbox::home(), outer.path());
}

// The default home is worked out once per process, so each variant runs in a child of its own.
TEST(Sandbox, DefaultHomeComesFromTheEnvironment) {
    TemporarySandbox scratch;
    const std::string base = scratch.path();
    auto homeWith = [&](const char* quilloryHome, const char* dataHome, const char* userHome) {
        auto set = [](const char* name, const char* value) { value ? ::setenv(name, value, 1) : ::unsetenv(name); };
        set("QUILLORY_HOME", quilloryHome);
        set("XDG_DATA_HOME", dataHome);
        set("HOME", userHome);
        Sandbox::setHomeForTesting("");
        return Sandbox::home();
    };
    std::string explicitHome = base + "/explicit";
    EXPECT_EXIT(std::_Exit(homeWith(explicitHome.c_str(), "/nowhere", "/nowhere") == explicitHome ? 0 : 1),
                ::testing::ExitedWithCode(0), "");
    std::string dataHome = base + "/data";
    EXPECT_EXIT(std::_Exit(homeWith(nullptr, dataHome.c_str(), "/nowhere") == dataHome + "/quillory" ? 0 : 1),
                ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(std::_Exit(homeWith("", nullptr, base.c_str()) == base + "/.local/share/quillory" &&
                                   modeOf(base + "/.local") == 0700
                               ? 0
                               : 1),
                ::testing::ExitedWithCode(0), "");
}

// What the app queued in the background for a sandbox lands in it before the sandbox ends, even work that
// first waits for the main thread, so the temporary folder goes whole and nothing turns up in it afterwards.
TEST(Sandbox, AtItsEndTheWorkQueuedForItLandsAndTheFolderGoesWhole) {
    auto wrote = std::make_shared<std::atomic<bool>>(false);
    std::string home;
    {
        TemporarySandbox sandbox;
        home = sandbox.path();
        const std::string covers = Sandbox::caches() + "/covers";
        DispatchQueue::serial("sandbox.end")->async([covers, wrote] {
            DispatchQueue::main()->sync([] {});  // as a download reports to the main thread before it is kept
            FileManager::defaultManager().createDirectoryAtPath(covers, true);
            FileManager::defaultManager().createFileAtPath(covers + "/8.jpg", Data("cover"));
            *wrote = true;
        });
    }
    EXPECT_TRUE(*wrote);
    EXPECT_FALSE(FileManager::defaultManager().fileExistsAtPath(home));
    // Had the sandbox gone first, the write would make the folder again once the main thread turned.
    RunLoop::main()->runUntil([&] { return wrote->load(); }, 5);
    EXPECT_FALSE(FileManager::defaultManager().fileExistsAtPath(home));
}

// The main queue runs while a sandbox waits for its work; a block there that raises does not keep the home.
TEST(Sandbox, ABlockThatRaisesWhileItsSandboxEndsLeavesTheHomeChangedAllTheSame) {
    TemporarySandbox outer;
    auto released = std::make_shared<std::atomic<bool>>(false);
    std::string innerPath;
    {
        TemporarySandbox inner;
        innerPath = inner.path();
        DispatchQueue::main()->async([] { throw std::runtime_error("a block of the app raised"); });
        DispatchQueue::serial("sandbox.raise")->async([released] {
            DispatchQueue::main()->sync([] {});
            *released = true;
            RunLoop::main()->wakeUp();
        });
    }
    EXPECT_EQ(Sandbox::home(), outer.path());
    EXPECT_FALSE(FileManager::defaultManager().fileExistsAtPath(innerPath));
    EXPECT_TRUE(RunLoop::main()->runUntil([&] { return released->load(); }, 5));
}
