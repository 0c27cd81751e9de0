#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Exception.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/HostileFiles.h"

using namespace ql::ns;

namespace {

class UserDefaultsTest : public ::testing::Test {
protected:
    TemporarySandbox sandbox;
    std::string path = Sandbox::preferences() + "/test.plist";

    static void fill(UserDefaults& defaults) {
        defaults.setBool(true, "flag");
        defaults.setInteger(-9007199254740993, "count");
        defaults.setDouble(0.1, "ratio");
        defaults.setObject("你好", "text");
        defaults.setObject(Data(std::string_view("\0\1\2", 3)), "bytes");
        defaults.setObject(Date::fromTimeIntervalSince1970(1700000000.5), "when");
        defaults.setObject(Array{1, "two", Dictionary{{"three", 3.5}}}, "list");
        defaults.setObject(Dictionary{{"nested", Array{true, false}}}, "map");
    }
    static void expectFilled(const UserDefaults& defaults) {
        EXPECT_TRUE(defaults.boolForKey("flag"));
        EXPECT_EQ(defaults.integerForKey("count"), -9007199254740993);
        EXPECT_EQ(defaults.doubleForKey("ratio"), 0.1);
        EXPECT_EQ(defaults.stringForKey("text"), "你好");
        EXPECT_EQ(defaults.dataForKey("bytes"), Data(std::string_view("\0\1\2", 3)));
        EXPECT_EQ(defaults.dateForKey("when"), Date::fromTimeIntervalSince1970(1700000000.5));
        EXPECT_EQ(defaults.arrayForKey("list"), (Array{1, "two", Dictionary{{"three", 3.5}}}));
        EXPECT_EQ(defaults.dictionaryForKey("map"), (Dictionary{{"nested", Array{true, false}}}));
    }
};

}  // namespace

TEST_F(UserDefaultsTest, TypedValuesSurviveARestart) {
    {
        UserDefaults defaults(path);
        EXPECT_FALSE(defaults.boolForKey("flag"));  // absent reads NO
        fill(defaults);
        defaults.setObject("gone soon", "temporary");
        ASSERT_TRUE(defaults.synchronize());
        defaults.removeObjectForKey("temporary");
        // Not synchronized: the store writes it when it goes away.
    }
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    UserDefaults reopened(path);
    EXPECT_FALSE(reopened.loadError());
    expectFilled(reopened);
    EXPECT_TRUE(reopened.objectForKey("temporary").isNil());
    EXPECT_FALSE(reopened.boolForKey("missing"));
    EXPECT_EQ(reopened.integerForKey("missing"), 0);
    // Conversions between kinds, as the platform makes them.
    EXPECT_EQ(reopened.stringForKey("count"), "-9007199254740993");
    EXPECT_FALSE(reopened.stringForKey("list"));
    EXPECT_FALSE(reopened.arrayForKey("text"));
    reopened.setObject("42 apples", "numeric text");
    EXPECT_EQ(reopened.integerForKey("numeric text"), 42);
    EXPECT_TRUE(reopened.boolForKey("numeric text"));
    EXPECT_EQ(reopened.doubleForKey("when"), 0.0);

    // What is stored is immutable, however it was handed in.
    Value list = Value::mutableArray({Value::mutableString("m")});
    reopened.setObject(list, "mutable");
    Value stored = reopened.objectForKey("mutable");
    EXPECT_FALSE(stored.isMutable());
    EXPECT_FALSE(stored[0].isMutable());
    EXPECT_TRUE(list.isMutable());

    try {
        reopened.setObject(Value::null(), "null");
        FAIL() << "a null object is no property list";
    } catch (const Exception& e) {
        EXPECT_EQ(e.name(), InvalidArgumentException);
    }
    EXPECT_THROW(reopened.setObject(Array{Value(std::make_shared<Object>())}, "object"), Exception);
}

TEST_F(UserDefaultsTest, RegisteredDefaultsAnswerButAreNeverWritten) {
    UserDefaults defaults(path);
    defaults.registerDefaults({{"showGuide", true}, {"limit", 10}});
    EXPECT_TRUE(defaults.boolForKey("showGuide"));
    defaults.setInteger(3, "limit");
    EXPECT_EQ(defaults.integerForKey("limit"), 3);
    EXPECT_EQ(defaults.dictionaryRepresentation(), (Dictionary{{"limit", 3}, {"showGuide", true}}));
    defaults.removeObjectForKey("limit");
    EXPECT_EQ(defaults.integerForKey("limit"), 10);
    defaults.setInteger(4, "stored");
    ASSERT_TRUE(defaults.synchronize());

    UserDefaults reopened(path);
    EXPECT_FALSE(reopened.boolForKey("showGuide"));
    EXPECT_EQ(reopened.dictionaryRepresentation(), (Dictionary{{"stored", 4}}));
}

TEST_F(UserDefaultsTest, ACrashBetweenWriteAndRenameLeavesTheOldFile) {
    {
        UserDefaults defaults(path);
        fill(defaults);
        ASSERT_TRUE(defaults.synchronize());
    }
    auto before = dataWithContentsOfFile(path);
    ASSERT_TRUE(before);
    EXPECT_EXIT(
        {
            FileManager::setBeforeAtomicReplaceHookForTesting([](const std::string&) { std::_Exit(0); });
            UserDefaults defaults(path);
            defaults.setObject("changed", "text");
            defaults.removeObjectForKey("flag");
            defaults.synchronize();
            std::_Exit(1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(dataWithContentsOfFile(path), before);
    // The cut write's temporary stays until the store opens again; another store's is not this one's to take.
    const auto leftovers = [&] {
        std::vector<std::string> names;
        const auto all = FileManager::defaultManager().contentsOfDirectoryAtPath(Sandbox::preferences());
        for (const auto& name : all.value_or(std::vector<std::string>{}))
            if (name.find(".tmp-") != std::string::npos) names.push_back(name);
        return names;
    };
    ASSERT_EQ(leftovers().size(), 1u);
    ASSERT_TRUE(writeToFile(Data("x"), Sandbox::preferences() + "/.other.plist.tmp-Ab12Cd0", 0));
    UserDefaults reopened(path);
    EXPECT_EQ(leftovers(), std::vector<std::string>{".other.plist.tmp-Ab12Cd0"});
    EXPECT_FALSE(reopened.loadError());
    expectFilled(reopened);
}

TEST_F(UserDefaultsTest, CorruptFilesAreSetAsideAndReported) {
    const FileManager& files = FileManager::defaultManager();
    ASSERT_TRUE(writeToFile(Data("not a property list"), path, 0));
    UserDefaults defaults(path);
    auto error = defaults.loadError();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), FileReadCorruptFileError);
    EXPECT_EQ(error->userInfo()[FilePathErrorKey].asString(), path);
    EXPECT_EQ(error->userInfo()[DestinationFilePathErrorKey].asString(), path + ".corrupt");
    EXPECT_NE(error->localizedDescription().find("test.plist.corrupt"), std::string::npos);
    EXPECT_EQ(dataWithContentsOfFile(path + ".corrupt")->toString(), "not a property list");
    EXPECT_TRUE(defaults.dictionaryRepresentation().empty());

    defaults.setBool(true, "fresh");
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_TRUE(UserDefaults(path).boolForKey("fresh"));

    // A second corruption, under a live store: a root that is no dictionary. Nothing set aside earlier is
    // overwritten, and what the store held is written back.
    auto array = PropertyListSerialization::dataWithPropertyList(Array{1}, PropertyListFormat::XML, nullptr);
    ASSERT_TRUE(array && writeToFile(*array, path, DataWritingAtomic));
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(dataWithContentsOfFile(path + ".corrupt-2"), array);
    EXPECT_EQ(dataWithContentsOfFile(path + ".corrupt")->toString(), "not a property list");
    EXPECT_TRUE(UserDefaults(path).boolForKey("fresh"));
    EXPECT_TRUE(files.fileExistsAtPath(path));
}

TEST_F(UserDefaultsTest, WhatIsNoPreferencesFileIsReportedNeitherWaitedOnNorWrittenOver) {
    for (const ql::test::HostileFile kind : ql::test::hostileFiles()) {
        SCOPED_TRACE(ql::test::describe(kind));
        ql::test::placeHostileFile(kind, path, PropertyListSerialization::kMaxFileLength + 1);
        const ql::test::HangGuard guard("user defaults over " + ql::test::describe(kind));
        UserDefaults defaults(path);
        const auto error = defaults.loadError();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(),
                  kind == ql::test::HostileFile::Oversized ? FileReadTooLargeError : FileReadUnknownError);
        EXPECT_EQ(error->userInfo()[FilePathErrorKey].asString(), path);
        EXPECT_TRUE(defaults.dictionaryRepresentation().empty());
        // The app goes on with what it sets; what could not be read is neither replaced nor set aside.
        defaults.setObject("kept", "key");
        EXPECT_EQ(defaults.stringForKey("key"), "kept");
        EXPECT_FALSE(defaults.synchronize());
        struct stat st {};
        ASSERT_EQ(::lstat(path.c_str(), &st), 0);
        if (kind == ql::test::HostileFile::Oversized)
            EXPECT_EQ(static_cast<std::uint64_t>(st.st_size), PropertyListSerialization::kMaxFileLength + 1);
        else
            EXPECT_FALSE(S_ISREG(st.st_mode));
        EXPECT_FALSE(FileManager::defaultManager().fileExistsAtPath(path + ".corrupt"));
    }
}

TEST_F(UserDefaultsTest, StoresOverOneFileMergeKeyByKey) {
    UserDefaults first(path);
    UserDefaults second(path);
    first.setObject("a", "first");
    first.setObject("shared by first", "shared");
    ASSERT_TRUE(first.synchronize());
    second.setObject("b", "second");
    second.setObject("shared by second", "shared");
    ASSERT_TRUE(second.synchronize());
    ASSERT_TRUE(first.synchronize());

    Dictionary expected{{"first", "a"}, {"second", "b"}, {"shared", "shared by second"}};
    EXPECT_EQ(first.dictionaryRepresentation(), expected);
    EXPECT_EQ(UserDefaults(path).dictionaryRepresentation(), expected);

    // Another store replaces the file twice with one of the same size and, as a coarse clock may leave it,
    // the same modification time; a file system may hand the first store's file number out again too.
    struct stat seen {};
    ASSERT_EQ(::stat(path.c_str(), &seen), 0);
    second.setObject("shared by SECOND", "shared");
    ASSERT_TRUE(second.synchronize());
    second.setObject("shared by Second", "shared");
    ASSERT_TRUE(second.synchronize());
    const struct timespec times[2] = {seen.st_atim, seen.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    first.setObject("c", "third");
    ASSERT_TRUE(first.synchronize());
    EXPECT_EQ(UserDefaults(path).stringForKey("shared"), "shared by Second");
    EXPECT_EQ(first.stringForKey("shared"), "shared by Second");
}

TEST_F(UserDefaultsTest, StandardStoreLivesInThePreferencesAndFollowsTheSandbox) {
    UserDefaults& standard = UserDefaults::standard();
    EXPECT_EQ(standard.path(), Sandbox::preferences() + "/com.quillory.app.plist");
    standard.setObject("outer", "where");  // left for the move to write
    std::string outerPath = standard.path();
    {
        TemporarySandbox inner;
        EXPECT_TRUE(UserDefaults::standard().objectForKey("where").isNil());
        EXPECT_EQ(UserDefaults(outerPath).stringForKey("where"), "outer");
        UserDefaults::standard().setObject("inner", "where");
        ASSERT_TRUE(UserDefaults::standard().synchronize());
    }
    EXPECT_EQ(UserDefaults::standard().stringForKey("where"), "outer");
    UserDefaults::standard().removeObjectForKey("where");
    ASSERT_TRUE(UserDefaults::standard().synchronize());
}

TEST_F(UserDefaultsTest, AnnouncesChangesAndSurvivesConcurrentUse) {
    auto defaults = std::make_shared<UserDefaults>(path);
    std::atomic<int> changes{0};
    auto token = NotificationCenter::defaultCenter().addObserverForName(
        UserDefaultsDidChangeNotification, defaults.get(), nullptr, [&](const Notification&) { ++changes; });
    defaults->setBool(true, "a");
    defaults->removeObjectForKey("a");
    defaults->removeObjectForKey("a");  // nothing to remove, nothing to announce
    EXPECT_EQ(changes.load(), 2);
    NotificationCenter::defaultCenter().removeObserver(token.get());

    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                defaults->setInteger(i, "key" + std::to_string(t) + "-" + std::to_string(i));
                defaults->integerForKey("key0-0");
                if (i % 10 == 0) defaults->synchronize();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_TRUE(defaults->synchronize());
    EXPECT_EQ(UserDefaults(path).dictionaryRepresentation().size(), 200u);
}

TEST_F(UserDefaultsTest, AppsSharingOneHomeLoseNoKeyAnotherWrote) {
    constexpr int Apps = 4;
    constexpr int Rounds = 40;
    UserDefaults::standard().setObject("before the apps", "parent");
    ASSERT_TRUE(UserDefaults::standard().synchronize());
    // Each app writes keys of its own, one synchronize a round, all starting together.
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    std::vector<pid_t> apps;
    for (int app = 0; app < Apps; ++app) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(go[1]);
            char start = 0;
            if (::read(go[0], &start, 1) != 0) ::_exit(2);
            UserDefaults& defaults = UserDefaults::standard();
            for (int round = 0; round < Rounds; ++round) {
                defaults.setInteger(round, "app" + std::to_string(app) + "-" + std::to_string(round));
                if (round > 0) defaults.removeObjectForKey("app" + std::to_string(app) + "-scratch-" + std::to_string(round - 1));
                defaults.setBool(true, "app" + std::to_string(app) + "-scratch-" + std::to_string(round));
                if (!defaults.synchronize()) ::_exit(1);
            }
            ::_exit(0);
        }
        apps.push_back(child);
    }
    ::close(go[0]);
    ::close(go[1]);  // the apps start reading end-of-file at once
    for (pid_t app : apps) {
        int status = 0;
        ASSERT_EQ(::waitpid(app, &status, 0), app);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    UserDefaults after(UserDefaults::standard().path());
    const Dictionary stored = after.dictionaryRepresentation();
    EXPECT_EQ(stored.size(), std::size_t{Apps * (Rounds + 1) + 1});
    EXPECT_EQ(after.stringForKey("parent"), "before the apps");
    for (int app = 0; app < Apps; ++app) {
        for (int round = 0; round < Rounds; ++round) {
            const std::string key = "app" + std::to_string(app) + "-" + std::to_string(round);
            EXPECT_EQ(after.stringForKey(key), std::to_string(round)) << key;
            EXPECT_EQ(after.boolForKey("app" + std::to_string(app) + "-scratch-" + std::to_string(round)), round == Rounds - 1)
                << app << " " << round;
        }
    }
    // This process picks their keys up too.
    ASSERT_TRUE(UserDefaults::standard().synchronize());
    EXPECT_EQ(UserDefaults::standard().dictionaryRepresentation(), stored);
}
