#include "platform/ui/Pasteboard.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include <gtest/gtest.h>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"

namespace ql::ui {
namespace {

class PasteboardTest : public ::testing::Test {
protected:
    PasteboardTest() { Pasteboard::setSharedFolderForTesting(sandbox_.path() + "/shared"); }
    ~PasteboardTest() override { Pasteboard::setSharedFolderForTesting(""); }

    // Runs the body in another process, as another app would; its exit status is the body's answer.
    static int inAnotherProcess(const std::function<int()>& body) {
        const pid_t child = ::fork();
        if (child == 0) ::_exit(body());
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    ns::TemporarySandbox sandbox_;
};

TEST_F(PasteboardTest, TheGeneralPasteboardIsSharedWithOtherProcesses) {
    auto general = Pasteboard::generalPasteboard();
    const std::int64_t before = general->changeCount();
    general->setString("复制成功 copy");
    EXPECT_EQ(general->string(), "复制成功 copy");
    EXPECT_EQ(general->changeCount(), before + 1);

    EXPECT_EQ(inAnotherProcess([] {
                  auto seen = Pasteboard::generalPasteboard();
                  if (seen->string() != "复制成功 copy") return 1;
                  seen->setString("from the other app");
                  return 0;
              }),
              0);
    EXPECT_EQ(general->string(), "from the other app");
    EXPECT_EQ(general->changeCount(), before + 2);
    // Setting data replaces every item: the text is gone.
    general->setData(ns::Data(std::string_view("\x01\x02")), "org.example.bytes");
    EXPECT_FALSE(general->string());
    EXPECT_EQ(general->dataForPasteboardType("org.example.bytes"), ns::Data(std::string_view("\x01\x02")));
}

TEST_F(PasteboardTest, WhatACopyCutShortByAKillLeftGoesAtTheFirstReadAndAtTheNextCopy) {
    const auto copyKilledHalfWay = [] {
        return inAnotherProcess([] {
            ns::FileManager::setBeforeAtomicReplaceHookForTesting([](const std::string&) { ::raise(SIGKILL); });
            Pasteboard::generalPasteboard()->setString("cut short");
            return 0;
        });
    };
    // Looked at without opening the pasteboards, which would take them away.
    const auto leftovers = [folder = sandbox_.path() + "/shared"] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().filename().string().find(".tmp-") != std::string::npos) names.push_back(entry.path());
        return names;
    };
    ASSERT_EQ(copyKilledHalfWay(), -1);
    ASSERT_EQ(leftovers().size(), 1u);
    // A launch that only pastes.
    EXPECT_FALSE(Pasteboard::generalPasteboard()->string());
    EXPECT_TRUE(leftovers().empty());

    // Another app killed while this one runs: its leftover goes with this one's next copy.
    ASSERT_EQ(copyKilledHalfWay(), -1);
    ASSERT_EQ(leftovers().size(), 1u);
    Pasteboard::generalPasteboard()->setString("whole");
    EXPECT_TRUE(leftovers().empty());
    EXPECT_EQ(Pasteboard::generalPasteboard()->string(), "whole");
}

TEST_F(PasteboardTest, NamedPasteboardsAreLocalUntilMadePersistent) {
    EXPECT_EQ(Pasteboard::pasteboardWithName("org.SharedUDID.slot.7", false), nullptr);
    EXPECT_EQ(Pasteboard::pasteboardWithName("", true), nullptr);

    auto slot = Pasteboard::pasteboardWithName("org.SharedUDID.slot.7", true);
    ASSERT_NE(slot, nullptr);
    EXPECT_FALSE(slot->isPersistent());
    EXPECT_EQ(Pasteboard::pasteboardWithName("org.SharedUDID.slot.7", false), slot);
    slot->setData(ns::Data(std::string_view("record")), "org.SharedUDID");
    auto seenElsewhere = [] {
        auto other = Pasteboard::pasteboardWithName("org.SharedUDID.slot.7", false);
        if (!other) return 2;
        return other->dataForPasteboardType("org.SharedUDID") == ns::Data(std::string_view("record")) ? 0 : 1;
    };
    // Kept in this process only: nothing reaches the shared folder.
    EXPECT_FALSE(std::filesystem::exists(Pasteboard::sharedFolder() + "/named-org.SharedUDID.slot.7.pasteboard"));

    slot->setPersistent(true);
    EXPECT_TRUE(slot->isPersistent());
    EXPECT_EQ(slot->dataForPasteboardType("org.SharedUDID"), ns::Data(std::string_view("record")));
    EXPECT_EQ(inAnotherProcess(seenElsewhere), 0);

    Pasteboard::removePasteboardWithName("org.SharedUDID.slot.7");
    EXPECT_EQ(Pasteboard::pasteboardWithName("org.SharedUDID.slot.7", false), nullptr);
    EXPECT_EQ(inAnotherProcess(seenElsewhere), 2);
}

TEST_F(PasteboardTest, AnyNameStaysInsideTheSharedFolderAndForeignFilesReadEmpty) {
    for (const std::string name : {"../escape", "/etc/passwd", "..", ".hidden", "a/b"}) {
        auto board = Pasteboard::pasteboardWithName(name, true);
        ASSERT_NE(board, nullptr) << name;
        board->setPersistent(true);
        board->setString(name);
        EXPECT_EQ(board->string(), name);
    }
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Pasteboard::sharedFolder())) {
        EXPECT_TRUE(entry.is_regular_file());
        ++files;
    }
    EXPECT_EQ(files, 6u);  // five pasteboards and the lock file
    EXPECT_FALSE(std::filesystem::exists(sandbox_.path() + "/escape.pasteboard"));

    auto board = Pasteboard::pasteboardWithName("a/b", false);
    ASSERT_NE(board, nullptr);
    std::ofstream(Pasteboard::sharedFolder() + "/named-a%2Fb.pasteboard", std::ios::trunc) << "not a list";
    EXPECT_FALSE(board->string());
    EXPECT_EQ(board->changeCount(), 0);
    board->setString("again");
    EXPECT_EQ(board->string(), "again");
}

}  // namespace
}  // namespace ql::ui
