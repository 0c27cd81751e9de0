// file: URLs through the loading system: regular files with their type, and what is no regular file refused
// at once with an error that says what it is.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/foundation/RunLoop.h"
#include "platform/net/URLError.h"
#include "platform/net/URLSession.h"
#include "tests/platform/net/Recorders.h"

using namespace ql;
using namespace ql::ns;
using ql::test::waitFor;

namespace {

struct Loaded {
    std::optional<Data> data;
    std::shared_ptr<URLResponse> response;
    std::optional<Error> error;
};

Loaded load(const URL& url) {
    Loaded loaded;
    std::atomic<bool> done{false};
    URLSession::sharedSession()
        ->dataTaskWithURL(url, [&](const std::optional<Data>& data, const std::shared_ptr<URLResponse>& response,
                                   const std::optional<Error>& error) {
            loaded = Loaded{data, response, error};
            done = true;
            RunLoop::main()->wakeUp();
        })
        ->resume();
    EXPECT_TRUE(waitFor([&] { return done.load(); })) << url.absoluteString();
    return loaded;
}

class FileLoading : public testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() / ("file-loading-" + std::to_string(getpid()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string write(const std::string& name, const std::string& bytes) const {
        const auto path = folder_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }
    std::filesystem::path folder_;
};

TEST_F(FileLoading, RegularFilesComeWholeWithTheTypeOfTheirExtension) {
    std::string picture(1'300'000, '\0');
    for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<char>(i * 7 % 251);
    const struct {
        std::string name, bytes, type;
    } files[] = {{"page.html", "<p>hi</p>", "text/html"},
                 {"Picture.PNG", picture, "image/png"},
                 {"页 面.txt", "文字", "text/plain"},
                 {"notes.unknownkind", "x", "application/octet-stream"},
                 {"empty.css", "", "text/css"}};
    for (const auto& file : files) {
        const URL url = URL::fileURLWithPath(write(file.name, file.bytes), false);
        const Loaded loaded = load(url);
        ASSERT_FALSE(loaded.error) << file.name << ": " << loaded.error->description();
        ASSERT_TRUE(loaded.data && loaded.response) << file.name;
        EXPECT_EQ(loaded.data->toString(), file.bytes) << file.name;
        EXPECT_EQ(loaded.response->MIMEType(), file.type) << file.name;
        EXPECT_EQ(loaded.response->expectedContentLength(), static_cast<std::int64_t>(file.bytes.size())) << file.name;
        EXPECT_FALSE(loaded.response->textEncodingName()) << file.name;
        EXPECT_FALSE(std::dynamic_pointer_cast<HTTPURLResponse>(loaded.response)) << file.name;
        EXPECT_EQ(loaded.response->URL()->absoluteString(), url.absoluteString()) << file.name;
    }
    // Written with the host the platform allows.
    const Loaded local = load(*URL::fromString("file://localhost" + URL::fileURLWithPath(write("a.txt", "a"), false).percentEncodedPath()));
    ASSERT_TRUE(local.data);
    EXPECT_EQ(local.data->toString(), "a");
}

TEST_F(FileLoading, WhatIsNoRegularFileIsRefusedWithoutBeingRead) {
    const std::string fifo = (folder_ / "pipe.png").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string url;
        std::int64_t code;
    } refused[] = {
        {URL::fileURLWithPath(folder_.string(), true).absoluteString(), URLErrorFileIsDirectory},
        // Nobody writes to the pipe: opening or reading it would wait for ever.
        {URL::fileURLWithPath(fifo, false).absoluteString(), URLErrorNoPermissionsToReadFile},
        {"file:///dev/zero", URLErrorNoPermissionsToReadFile},
        {URL::fileURLWithPath((folder_ / "missing.html").string(), false).absoluteString(), URLErrorFileDoesNotExist},
        {"file://example.com/etc/hostname", URLErrorUnsupportedURL},
    };
    for (const auto& each : refused) {
        const Loaded loaded = load(*URL::fromString(each.url));
        ASSERT_TRUE(loaded.error) << each.url;
        EXPECT_EQ(loaded.error->domain(), URLErrorDomain) << each.url;
        EXPECT_EQ(loaded.error->code(), each.code) << each.url;
        EXPECT_FALSE(loaded.error->localizedDescription().empty()) << each.url;
        EXPECT_EQ(loaded.error->userInfo()[std::string(URLErrorFailingURLStringErrorKey)].stringValue(), each.url);
        EXPECT_FALSE(loaded.data) << each.url;
    }
}

}  // namespace
