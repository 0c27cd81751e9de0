#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/foundation/AtomicWriteTemporary.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"

using namespace ql::ns;

namespace {

class FileManagerTest : public ::testing::Test {
protected:
    TemporarySandbox sandbox;
    FileManager& files = FileManager::defaultManager();
    std::string root = Sandbox::documents();

    std::string at(const std::string& relative) const { return root + "/" + relative; }
    void write(const std::string& relative, std::string_view text) {
        ASSERT_TRUE(writeToFile(Data(text), at(relative), 0)) << relative;
    }
    std::string read(const std::string& relative) const {
        auto data = files.contentsAtPath(at(relative));
        return data ? data->toString() : "<none>";
    }
    static int underlyingPOSIXCode(const Error& error) {
        auto underlying = Error::fromValue(error.userInfo()[UnderlyingErrorKey]);
        return underlying && underlying->domain() == POSIXErrorDomain ? static_cast<int>(underlying->code()) : 0;
    }
    static void expectError(const Error& error, std::int64_t code, const std::string& path) {
        EXPECT_EQ(error.domain(), CocoaErrorDomain);
        EXPECT_EQ(error.code(), code);
        EXPECT_EQ(error.userInfo()[FilePathErrorKey].asString(), path);
    }
};

Error blank() { return Error("", 0); }

// Removes the atomic-write hook however the test leaves.
struct HookGuard {
    ~HookGuard() { FileManager::setBeforeAtomicReplaceHookForTesting(nullptr); }
};

// The exit status of a child, or -signal when a signal ended it.
int ending(pid_t child) {
    int status = 0;
    if (::waitpid(child, &status, 0) != child) return -1000;
    return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}

}  // namespace

TEST_F(FileManagerTest, ReportsExistenceAndAttributesAndSetsThem) {
    ASSERT_TRUE(files.createFileAtPath(at("a.txt"), Data("hello"), {{std::string(FilePosixPermissions), 0640}}));
    ASSERT_EQ(::symlink("a.txt", at("link").c_str()), 0);
    bool isDirectory = true;
    EXPECT_TRUE(files.fileExistsAtPath(at("a.txt"), &isDirectory));
    EXPECT_FALSE(isDirectory);
    EXPECT_TRUE(files.fileExistsAtPath(root, &isDirectory));
    EXPECT_TRUE(isDirectory);
    EXPECT_FALSE(files.fileExistsAtPath(at("missing")));

    auto attributes = files.attributesOfItemAtPath(at("a.txt"));
    ASSERT_TRUE(attributes);
    EXPECT_EQ(attributes->type, FileTypeRegular);
    EXPECT_EQ(attributes->size, 5u);
    EXPECT_EQ(attributes->posixPermissions, 0640u);
    EXPECT_NEAR(attributes->modificationDate.timeIntervalSince1970(), static_cast<double>(std::time(nullptr)), 60);
    EXPECT_LE(attributes->creationDate, attributes->modificationDate);
    Dictionary keyed = attributes->dictionary();
    EXPECT_EQ(keyed["NSFileSize"].int64Value(), 5);
    EXPECT_EQ(keyed["NSFileType"].asString(), "NSFileTypeRegular");
    EXPECT_EQ(keyed["NSFilePosixPermissions"].int64Value(), 0640);
    EXPECT_TRUE(keyed["NSFileModificationDate"].isDate());
    // The link itself, not what it points to.
    EXPECT_EQ(files.attributesOfItemAtPath(at("link"))->type, FileTypeSymbolicLink);

    Date old = Date::fromTimeIntervalSince1970(1234567890.25);
    ASSERT_TRUE(files.setAttributes({{std::string(FileModificationDate), Value(old)},
                                     {std::string(FilePosixPermissions), 0600}},
                                    at("a.txt")));
    attributes = files.attributesOfItemAtPath(at("a.txt"));
    EXPECT_DOUBLE_EQ(attributes->modificationDate.timeIntervalSince1970(), 1234567890.25);
    EXPECT_EQ(attributes->posixPermissions, 0600u);

    Error error = blank();
    EXPECT_FALSE(files.attributesOfItemAtPath(at("missing.txt"), &error));
    expectError(error, FileReadNoSuchFileError, at("missing.txt"));
    EXPECT_EQ(underlyingPOSIXCode(error), ENOENT);
    EXPECT_EQ(error.localizedDescription(),
              "The file \u201cmissing.txt\u201d couldn\u2019t be opened because there is no such file.");
}

TEST_F(FileManagerTest, CreatesFoldersWithOrWithoutIntermediates) {
    Error error = blank();
    EXPECT_FALSE(files.createDirectoryAtPath(at("x/y"), false, {}, &error));
    expectError(error, FileNoSuchFileError, at("x/y"));

    ASSERT_TRUE(files.createDirectoryAtPath(at("x/y/z"), true, {{std::string(FilePosixPermissions), 0777}}));
    // Exactly as asked, whatever the umask.
    EXPECT_EQ(files.attributesOfItemAtPath(at("x/y"))->posixPermissions, 0777u);
    EXPECT_TRUE(files.createDirectoryAtPath(at("x/y/z"), true));
    EXPECT_FALSE(files.createDirectoryAtPath(at("x/y/z"), false, {}, &error));
    expectError(error, FileWriteFileExistsError, at("x/y/z"));

    write("file", "f");
    EXPECT_FALSE(files.createDirectoryAtPath(at("file"), true, {}, &error));
    EXPECT_EQ(error.code(), FileWriteFileExistsError);
    EXPECT_FALSE(files.createDirectoryAtPath(at("file/below"), true, {}, &error));
    EXPECT_EQ(error.code(), FileWriteUnknownError);
    EXPECT_EQ(underlyingPOSIXCode(error), ENOTDIR);
}

TEST_F(FileManagerTest, ListsAndWalksTrees) {
    ASSERT_TRUE(files.createDirectoryAtPath(at("t/a/b"), true));
    write("t/a/b/c.txt", "12345");
    write("t/a/.hidden", "12");
    write("t/x.txt", "1");
    ASSERT_EQ(::symlink("a", at("t/link").c_str()), 0);

    EXPECT_EQ(*files.contentsOfDirectoryAtPath(at("t")), (std::vector<std::string>{"a", "link", "x.txt"}));
    EXPECT_EQ(*files.subpathsOfDirectoryAtPath(at("t")),
              (std::vector<std::string>{"a", "a/.hidden", "a/b", "a/b/c.txt", "link", "x.txt"}));

    auto walk = files.enumeratorAtPath(at("t"), DirectoryEnumerationSkipsHiddenFiles);
    ASSERT_TRUE(walk);
    std::vector<std::string> seen;
    while (auto next = walk->nextObject()) {
        seen.push_back(*next + ":" + std::to_string(walk->level()));
        if (*next == "a") {
            EXPECT_TRUE(walk->fileAttributes().isDirectory());
        }
        if (*next == "a/b") walk->skipDescendants();
        if (*next == "x.txt") {
            EXPECT_EQ(walk->fileAttributes().size, 1u);
        }
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"a:1", "a/b:2", "link:1", "x.txt:1"}));

    EXPECT_EQ(files.totalSizeOfItemAtPath(at("t")), 8u);
    EXPECT_EQ(files.totalSizeOfItemAtPath(at("t/a/b/c.txt")), 5u);

    Error error = blank();
    EXPECT_FALSE(files.contentsOfDirectoryAtPath(at("nothing"), &error));
    expectError(error, FileReadNoSuchFileError, at("nothing"));
    EXPECT_FALSE(files.contentsOfDirectoryAtPath(at("t/x.txt"), &error));
    EXPECT_EQ(error.code(), FileReadUnknownError);
    EXPECT_FALSE(files.enumeratorAtPath(at("nothing")));
}

TEST_F(FileManagerTest, CopiesMovesAndRemovesWithoutReplacing) {
    ASSERT_TRUE(files.createDirectoryAtPath(at("src/inner"), true));
    ASSERT_TRUE(files.createFileAtPath(at("src/inner/f.txt"), Data("data"), {{std::string(FilePosixPermissions), 0604}}));
    ASSERT_TRUE(files.setAttributes({{std::string(FileModificationDate), Value(Date::fromTimeIntervalSince1970(1e9))}},
                                    at("src/inner/f.txt")));
    ASSERT_EQ(::symlink("inner/f.txt", at("src/link").c_str()), 0);

    ASSERT_TRUE(files.copyItemAtPath(at("src"), at("copy")));
    EXPECT_EQ(read("copy/inner/f.txt"), "data");
    auto copied = files.attributesOfItemAtPath(at("copy/inner/f.txt"));
    EXPECT_EQ(copied->posixPermissions, 0604u);
    EXPECT_EQ(copied->modificationDate.timeIntervalSince1970(), 1e9);
    EXPECT_EQ(files.attributesOfItemAtPath(at("copy/link"))->type, FileTypeSymbolicLink);
    EXPECT_EQ(read("copy/link"), "data");

    Error error = blank();
    write("other.txt", "other");
    EXPECT_FALSE(files.copyItemAtPath(at("src/inner/f.txt"), at("other.txt"), &error));
    expectError(error, FileWriteFileExistsError, at("other.txt"));
    EXPECT_FALSE(files.moveItemAtPath(at("src/inner/f.txt"), at("other.txt"), &error));
    expectError(error, FileWriteFileExistsError, at("other.txt"));
    EXPECT_EQ(error.userInfo()[DestinationFilePathErrorKey].asString(), at("other.txt"));
    EXPECT_EQ(read("other.txt"), "other");
    EXPECT_EQ(read("src/inner/f.txt"), "data");
    EXPECT_FALSE(files.copyItemAtPath(at("absent"), at("absent2"), &error));
    expectError(error, FileReadNoSuchFileError, at("absent"));
    EXPECT_FALSE(files.moveItemAtPath(at("absent"), at("absent2"), &error));
    expectError(error, FileNoSuchFileError, at("absent"));

    // What cannot be copied fails the copy, and the partial copy goes away.
    ASSERT_EQ(::mkfifo(at("src/zz-pipe").c_str(), 0600), 0);
    EXPECT_FALSE(files.copyItemAtPath(at("src"), at("copy2"), &error));
    EXPECT_FALSE(files.fileExistsAtPath(at("copy2")));
    ASSERT_TRUE(files.removeItemAtPath(at("src/zz-pipe")));

    ASSERT_TRUE(files.moveItemAtPath(at("src"), at("moved")));
    EXPECT_FALSE(files.fileExistsAtPath(at("src")));
    EXPECT_EQ(read("moved/inner/f.txt"), "data");

    ASSERT_TRUE(files.removeItemAtPath(at("moved")));
    EXPECT_FALSE(files.fileExistsAtPath(at("moved")));
    EXPECT_FALSE(files.removeItemAtPath(at("moved"), &error));
    expectError(error, FileNoSuchFileError, at("moved"));
}

TEST_F(FileManagerTest, AtomicWritesReplaceWholeFilesOnly) {
    write("prefs", "old contents");
    ASSERT_EQ(::chmod(at("prefs").c_str(), 0640), 0);
    // At the last moment before the replacement the target still holds the old bytes and the finished
    // temporary file beside it the new ones.
    std::string temporaryPath;
    FileManager::setBeforeAtomicReplaceHookForTesting([&](const std::string& path) {
        temporaryPath = path;
        EXPECT_EQ(read("prefs"), "old contents");
        EXPECT_EQ(dataWithContentsOfFile(path).value_or(Data()).toString(), "new");
    });
    bool written = files.writeAtomically(at("prefs"), Data("new"), std::nullopt);
    FileManager::setBeforeAtomicReplaceHookForTesting(nullptr);
    ASSERT_TRUE(written);
    EXPECT_EQ(read("prefs"), "new");
    EXPECT_EQ(files.attributesOfItemAtPath(at("prefs"))->posixPermissions, 0640u);
    EXPECT_FALSE(files.fileExistsAtPath(temporaryPath));
    EXPECT_EQ(*files.contentsOfDirectoryAtPath(root), std::vector<std::string>{"prefs"});

    ASSERT_TRUE(files.writeAtomically(at("secret"), Data("s"), 0600u));
    EXPECT_EQ(files.attributesOfItemAtPath(at("secret"))->posixPermissions, 0600u);

    // A write given up by a throw on its way leaves the target as it was and no temporary behind.
    {
        HookGuard guard;
        FileManager::setBeforeAtomicReplaceHookForTesting([](const std::string&) { throw std::runtime_error("given up"); });
        EXPECT_THROW(files.writeAtomically(at("prefs"), Data("never"), std::nullopt), std::runtime_error);
    }
    EXPECT_EQ(read("prefs"), "new");
    EXPECT_EQ(*files.contentsOfDirectoryAtPath(root), (std::vector<std::string>{"prefs", "secret"}));

    Error error = blank();
    EXPECT_FALSE(files.writeAtomically(at("no/such/folder/f"), Data("x"), std::nullopt, &error));
    expectError(error, FileNoSuchFileError, at("no/such/folder/f"));
    EXPECT_FALSE(writeToFile(Data("x"), at("prefs"), DataWritingWithoutOverwriting, &error));
    expectError(error, FileWriteFileExistsError, at("prefs"));
    EXPECT_EQ(read("prefs"), "new");
    ASSERT_TRUE(writeToFile(Data("atomic"), at("prefs"), DataWritingAtomic));
    EXPECT_EQ(read("prefs"), "atomic");

    if (files.fileExistsAtPath("/dev/full")) {
        EXPECT_FALSE(writeToFile(Data("x"), "/dev/full", 0, &error));
        EXPECT_EQ(error.code(), FileWriteOutOfSpaceError);
        EXPECT_EQ(underlyingPOSIXCode(error), ENOSPC);
    }
    EXPECT_FALSE(dataWithContentsOfFile(root, &error));
    EXPECT_EQ(error.code(), FileReadUnknownError);
    EXPECT_FALSE(files.contentsAtPath(at("absent")));
}

TEST_F(FileManagerTest, AtomicCreationsKeepTheFirstFileOfARace) {
    ASSERT_TRUE(files.createAtomically(at("once"), Data("first"), 0600u));
    EXPECT_EQ(files.attributesOfItemAtPath(at("once"))->posixPermissions, 0600u);
    Error error = blank();
    EXPECT_FALSE(files.createAtomically(at("once"), Data("second"), std::nullopt, &error));
    expectError(error, FileWriteFileExistsError, at("once"));

    // Another writer's file arrives while this one's is being written: it stays, and this one goes.
    HookGuard guard;
    FileManager::setBeforeAtomicReplaceHookForTesting([&](const std::string&) { write("raced", "the other's"); });
    EXPECT_FALSE(writeToFile(Data("mine"), at("raced"), DataWritingAtomic | DataWritingWithoutOverwriting, &error));
    expectError(error, FileWriteFileExistsError, at("raced"));
    EXPECT_EQ(read("raced"), "the other's");
    EXPECT_EQ(*files.contentsOfDirectoryAtPath(root), (std::vector<std::string>{"once", "raced"}));
}

TEST_F(FileManagerTest, WhatWritesLeftWhenTheirProcessDiedGoesAndWritesAtWorkStay) {
    const auto temporaries = [&] {
        std::vector<std::string> names;
        for (const auto& name : files.contentsOfDirectoryAtPath(root).value_or(std::vector<std::string>{}))
            if (name.find(".tmp-") != std::string::npos) names.push_back(name);
        return names;
    };
    // Killed at the worst moment: the new contents complete beside the target, which they never replace.
    for (const std::string target : {"prefs", "other"}) {
        const pid_t child = ::fork();
        if (child == 0) {
            FileManager::setBeforeAtomicReplaceHookForTesting([](const std::string&) { ::raise(SIGKILL); });
            files.writeAtomically(at(target), Data("cut"), std::nullopt);
            ::_exit(0);
        }
        ASSERT_EQ(ending(child), -SIGKILL);
    }
    ASSERT_EQ(temporaries().size(), 2u);
    write(".prefs.tmp-a1b2c3d40", "left by an older version");
    write(".unrelated", "hidden, but no temporary");
    ASSERT_EQ(::mkfifo(at(".pipe.tmp-Ab12Cd0").c_str(), 0600), 0);

    // Another app on this home is writing right now, its temporary complete and not yet renamed.
    int reached[2], goOn[2];
    ASSERT_EQ(::pipe(reached), 0);
    ASSERT_EQ(::pipe(goOn), 0);
    const pid_t writer = ::fork();
    if (writer == 0) {
        FileManager::setBeforeAtomicReplaceHookForTesting([&](const std::string&) {
            char byte = 'r';
            if (::write(reached[1], &byte, 1) != 1 || ::read(goOn[0], &byte, 1) != 1) ::_exit(3);
        });
        ::_exit(files.writeAtomically(at("live"), Data("written by the other app"), std::nullopt) ? 0 : 2);
    }
    char byte = 0;
    ASSERT_EQ(::read(reached[0], &byte, 1), 1);

    // Only the target's own leftovers when one is named; the others' after.
    EXPECT_EQ(removeStaleAtomicWriteTemporaries(root, "prefs"), 2u);
    EXPECT_EQ(temporaries().size(), 3u);  // "other"'s, the pipe and the live write's
    EXPECT_EQ(removeStaleAtomicWriteTemporaries(root), 1u);
    const auto left = temporaries();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_TRUE(isAtomicWriteTemporaryName(left[0], "live")) << left[0];
    EXPECT_EQ(left[1], ".pipe.tmp-Ab12Cd0");
    EXPECT_EQ(read(".unrelated"), "hidden, but no temporary");

    ASSERT_EQ(::write(goOn[1], "g", 1), 1);
    EXPECT_EQ(ending(writer), 0);
    EXPECT_EQ(read("live"), "written by the other app");
    for (int fd : {reached[0], reached[1], goOn[0], goOn[1]}) ::close(fd);

    // A write of this very process at work stays too, and still completes.
    HookGuard guard;
    std::size_t removedMeanwhile = 99;
    FileManager::setBeforeAtomicReplaceHookForTesting(
        [&](const std::string&) { removedMeanwhile = removeStaleAtomicWriteTemporaries(root); });
    ASSERT_TRUE(files.writeAtomically(at("prefs"), Data("mine"), std::nullopt));
    EXPECT_EQ(removedMeanwhile, 0u);
    EXPECT_EQ(read("prefs"), "mine");
    EXPECT_EQ(temporaries(), std::vector<std::string>{".pipe.tmp-Ab12Cd0"});
}

TEST_F(FileManagerTest, AStoreReadAtEveryAccessRemovesLeftoversAtItsFirstOpeningInTheProcessOnly) {
    write(".prefs.tmp-a1b2c3d40", "left by a killed write");
    write(".other.tmp-e5f6g7h81", "left by a killed write");
    EXPECT_EQ(removeStaleAtomicWriteTemporariesAtFirstOpening(root, "prefs"), 1u);
    write(".prefs.tmp-a1b2c3d42", "left since");
    EXPECT_EQ(removeStaleAtomicWriteTemporariesAtFirstOpening(root, "prefs"), 0u);
    // Another store of the same folder opens on its own.
    EXPECT_EQ(removeStaleAtomicWriteTemporariesAtFirstOpening(root, "other"), 1u);
    EXPECT_EQ(*files.contentsOfDirectoryAtPath(root), std::vector<std::string>{".prefs.tmp-a1b2c3d42"});
}
