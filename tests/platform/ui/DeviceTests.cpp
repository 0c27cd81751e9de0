#include "platform/ui/Device.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include <gtest/gtest.h>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"

namespace ql::ui {
namespace {

std::string keptText(const std::string& home) {
    std::ifstream in(home + "/Library/VendorIdentifier");
    std::string line;
    std::getline(in, line);
    return line;
}

TEST(Device, TheVendorIdentifierIsKeptPerSandbox) {
    ns::TemporarySandbox first;
    const std::string original = Device::currentDevice().identifierForVendor().UUIDString();
    EXPECT_EQ(Device::currentDevice().identifierForVendor().UUIDString(), original);
    EXPECT_EQ(keptText(first.path()), original);

    // Another app on the same home, started afresh, reads the same identifier.
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        const std::string seen = Device::currentDevice().identifierForVendor().UUIDString();
        const bool written = ::write(pipeEnds[1], seen.data(), seen.size()) == static_cast<ssize_t>(seen.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    char seen[64] = {};
    const ssize_t length = ::read(pipeEnds[0], seen, sizeof seen);
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(std::string(seen, length > 0 ? static_cast<std::size_t>(length) : 0), original);

    {
        ns::TemporarySandbox second;
        const std::string other = Device::currentDevice().identifierForVendor().UUIDString();
        EXPECT_NE(other, original);
        EXPECT_EQ(keptText(second.path()), other);
    }
    EXPECT_EQ(Device::currentDevice().identifierForVendor().UUIDString(), original);
}

TEST(Device, AnIdentifierFileThatHoldsNoIdentifierIsReplacedOnce) {
    ns::TemporarySandbox sandbox;
    const std::string path = ns::Sandbox::library() + "/VendorIdentifier";
    ASSERT_TRUE(ns::FileManager::defaultManager().writeAtomically(path, ns::Data(std::string_view("not an id")), 0600));
    const std::string replaced = Device::currentDevice().identifierForVendor().UUIDString();
    EXPECT_EQ(keptText(sandbox.path()), replaced);
    EXPECT_EQ(Device::currentDevice().identifierForVendor().UUIDString(), replaced);

    // A pipe where the file belongs is never opened for reading (it would wait for a writer).
    ns::FileManager::defaultManager().removeItemAtPath(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const std::string fromPipe = Device::currentDevice().identifierForVendor().UUIDString();
    EXPECT_EQ(keptText(sandbox.path()), fromPipe);
    EXPECT_EQ(Device::currentDevice().identifierForVendor().UUIDString(), fromPipe);
}

TEST(Device, AKillWhileTheIdentifierIsWrittenLeavesNothingOnceOneIs) {
    ns::TemporarySandbox sandbox;
    const pid_t child = ::fork();
    if (child == 0) {
        ns::FileManager::setBeforeAtomicReplaceHookForTesting([](const std::string&) { ::raise(SIGKILL); });
        Device::currentDevice().identifierForVendor();
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    const auto identifierFiles = [] {
        std::vector<std::string> names;
        const auto all = ns::FileManager::defaultManager().contentsOfDirectoryAtPath(ns::Sandbox::library());
        for (const auto& name : all.value_or(std::vector<std::string>{}))
            if (name.find("VendorIdentifier") != std::string::npos) names.push_back(name);
        return names;
    };
    ASSERT_EQ(identifierFiles().size(), 1u);
    const std::string kept = Device::currentDevice().identifierForVendor().UUIDString();
    EXPECT_EQ(identifierFiles(), std::vector<std::string>{"VendorIdentifier"});
    EXPECT_EQ(keptText(sandbox.path()), kept);
}

TEST(Device, ALeftoverOfAKilledWriteBesideAKeptIdentifierGoesWhenItIsFirstRead) {
    ns::TemporarySandbox sandbox;
    const std::string path = ns::Sandbox::library() + "/VendorIdentifier";
    const std::string kept = ns::UUID().UUIDString();
    ASSERT_TRUE(ns::FileManager::defaultManager().writeAtomically(path, ns::Data(kept + "\n"), 0600));
    // Another app on the home killed while it replaced the file.
    const pid_t child = ::fork();
    if (child == 0) {
        ns::FileManager::setBeforeAtomicReplaceHookForTesting([](const std::string&) { ::raise(SIGKILL); });
        ns::FileManager::defaultManager().writeAtomically(path, ns::Data(ns::UUID().UUIDString() + "\n"), 0600);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    const auto identifierFiles = [] {
        auto names = ns::FileManager::defaultManager().contentsOfDirectoryAtPath(ns::Sandbox::library()).value();
        std::erase_if(names,
                      [](const std::string& name) { return name.find("VendorIdentifier") == std::string::npos; });
        return names;
    };
    ASSERT_EQ(identifierFiles().size(), 2u);
    EXPECT_EQ(Device::currentDevice().identifierForVendor().UUIDString(), kept);
    EXPECT_EQ(identifierFiles(), std::vector<std::string>{"VendorIdentifier"});
}

}  // namespace
}  // namespace ql::ui
