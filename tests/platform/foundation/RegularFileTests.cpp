#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/RegularFile.h"
#include "platform/foundation/Sandbox.h"
#include "tests/support/HostileFiles.h"

using namespace ql::ns;
using ql::test::HostileFile;

namespace {

constexpr std::uint64_t kBound = 1 << 20;

int underlyingPOSIXCode(const Error& error) {
    auto underlying = Error::fromValue(error.userInfo()[UnderlyingErrorKey]);
    return underlying && underlying->domain() == POSIXErrorDomain ? static_cast<int>(underlying->code()) : 0;
}

class RegularFileTest : public ::testing::Test {
protected:
    TemporarySandbox sandbox;
    std::string path = Sandbox::documents() + "/file";

    void write(std::string_view text) { ASSERT_TRUE(writeToFile(Data(text), path, 0)); }
};

TEST_F(RegularFileTest, WhatIsNoRegularFileWithinTheBoundIsRefusedWithoutWaiting) {
    for (const HostileFile kind : ql::test::hostileFiles()) {
        SCOPED_TRACE(ql::test::describe(kind));
        ql::test::placeHostileFile(kind, path, kBound + 1);
        const ql::test::HangGuard guard("reading " + ql::test::describe(kind));
        Error error(std::string(), 0);
        EXPECT_FALSE(dataWithContentsOfFile(path, kBound, &error));
        EXPECT_EQ(error.domain(), CocoaErrorDomain);
        EXPECT_EQ(error.userInfo()[FilePathErrorKey].asString(), path);
        if (kind == HostileFile::Oversized) {
            EXPECT_EQ(error.code(), FileReadTooLargeError);
            EXPECT_EQ(underlyingPOSIXCode(error), EFBIG);
            // Without a bound of the reader's the file is read: it is a regular one.
            EXPECT_EQ(dataWithContentsOfFile(path)->length(), kBound + 1);
        } else {
            EXPECT_EQ(error.code(), FileReadUnknownError);
            EXPECT_EQ(error.localizedDescription(),
                      "The file \u201cfile\u201d couldn\u2019t be opened because it isn\u2019t a regular file.");
            // Nor without a bound, nor through the file manager, nor opened for reading in pieces.
            EXPECT_FALSE(dataWithContentsOfFile(path));
            EXPECT_FALSE(FileManager::defaultManager().contentsAtPath(path));
            EXPECT_FALSE(RegularFile::open(path, kBound));
        }
    }

    Error error(std::string(), 0);
    EXPECT_FALSE(dataWithContentsOfFile(Sandbox::documents(), kBound, &error));
    EXPECT_EQ(error.code(), FileReadUnknownError);
    EXPECT_EQ(underlyingPOSIXCode(error), EISDIR);
    EXPECT_FALSE(dataWithContentsOfFile(Sandbox::documents() + "/absent", kBound, &error));
    EXPECT_EQ(error.code(), FileReadNoSuchFileError);
}

TEST_F(RegularFileTest, TheBoundHoldsWhateverSizeTheFileReports) {
    write("12345678");
    EXPECT_EQ(dataWithContentsOfFile(path, 8)->toString(), "12345678");
    Error error(std::string(), 0);
    EXPECT_FALSE(dataWithContentsOfFile(path, 7, &error));
    EXPECT_EQ(error.code(), FileReadTooLargeError);
    // A link to a regular file is read like the file.
    ASSERT_EQ(::symlink(path.c_str(), (path + "-link").c_str()), 0);
    EXPECT_EQ(dataWithContentsOfFile(path + "-link", 8)->toString(), "12345678");
    EXPECT_EQ(RegularFile::open(path + "-link", 8)->size(), 8u);

    // Files under /proc report no size and are read to their end, but not past the bound.
    const auto status = dataWithContentsOfFile("/proc/self/status", kBound);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->toString().starts_with("Name:")) << status->toString();
    EXPECT_GT(status->length(), 64u);
    EXPECT_FALSE(dataWithContentsOfFile("/proc/self/status", 64, &error));
    EXPECT_EQ(error.code(), FileReadTooLargeError);

    // A file that grows once opened is read to its new end, and refused once it has grown past the bound.
    auto opened = RegularFile::open(path, 12);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->size(), 8u);
    write("1234567890ab");
    EXPECT_EQ(opened->readAll()->toString(), "1234567890ab");
    write("1234567890abc");
    EXPECT_FALSE(opened->readAll(&error));
    EXPECT_EQ(error.code(), FileReadTooLargeError);
    char piece[4] = {};
    EXPECT_EQ(opened->readAt(piece, sizeof piece, 10), 3);
    EXPECT_EQ(std::string(piece, 3), "abc");
}

}  // namespace
