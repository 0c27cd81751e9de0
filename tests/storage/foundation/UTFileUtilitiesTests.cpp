#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <sys/xattr.h>

#include "platform/foundation/Sandbox.h"
#include "storage/foundation/UTExtendedFileAttributes.h"
#include "storage/foundation/UTFileWrapperCopying.h"
#include "storage/foundation/UTPaths.h"

namespace ql {
namespace {

TEST(UTPaths, NumberedNames) {
    EXPECT_EQ(pathByIncrementingSequenceNumber("/a/file.txt"), "/a/file(1).txt");
    EXPECT_EQ(pathByIncrementingSequenceNumber("/a/file(1).txt"), "/a/file(2).txt");
    EXPECT_EQ(pathByIncrementingSequenceNumber("file"), "file(1)");
    EXPECT_EQ(pathByIncrementingSequenceNumber("file(9)"), "file(10)");
    EXPECT_EQ(pathByIncrementingSequenceNumber("file(2)a.txt"), "file(2)a(1).txt");
    EXPECT_EQ(pathByIncrementingSequenceNumber("my file (3).txt"), "my file (4).txt");
    // Past 32 bits, and at the top of 64 bits, where it stays.
    EXPECT_EQ(pathByIncrementingSequenceNumber("f(4294967296).txt"), "f(4294967297).txt");
    EXPECT_EQ(pathByIncrementingSequenceNumber("f(99999999999999999999999)"), "f(9223372036854775807)");
    EXPECT_EQ(pathByIncrementingSequenceNumber("f(9223372036854775807)"), "f(9223372036854775807)");

    EXPECT_EQ(pathByDeletingSequenceNumber("/a/file(2).txt"), "/a/file.txt");
    EXPECT_EQ(pathByDeletingSequenceNumber("/a/file.txt"), "/a/file.txt");
    EXPECT_EQ(pathByDeletingSequenceNumber("file(2)a.txt"), "file(2)a.txt");
    EXPECT_EQ(pathByDeletingSequenceNumber("file()"), "file()");
    // The same text elsewhere in the path is left alone.
    EXPECT_EQ(pathByDeletingSequenceNumber("/b(2)/file(2).txt"), "/b(2)/file.txt");
}

TEST(UTPaths, StandardFoldersAndTemporaryNames) {
    // Worked out once per process: no other test of this binary reads them.
    ns::TemporarySandbox sandbox;
    EXPECT_EQ(cachesPath().rfind(sandbox.path(), 0), 0u);
    EXPECT_EQ(cachesPath(), ns::Sandbox::caches());
    EXPECT_EQ(documentsPath(), ns::Sandbox::documents());
    EXPECT_EQ(&temporaryPath(), &temporaryPath());
    const std::string first = pathForTemporaryFile();
    const std::string second = pathForTemporaryFile();
    EXPECT_NE(first, second);
    EXPECT_EQ(first.rfind(temporaryPath(), 0), 0u);
    const std::string name = first.substr(first.rfind('/') + 1);
    ASSERT_EQ(name.size(), 36u);
    EXPECT_EQ(name.find_first_of("abcdef"), std::string::npos);
    EXPECT_EQ(name[8], '-');
}

TEST(UTExtendedFileAttributes, ReadsWritesAndRemovesTexts) {
    ns::TemporarySandbox sandbox;
    const std::string path = sandbox.path() + "/notes.txt";
    std::ofstream(path) << "x";
    if (::setxattr(path.c_str(), "user.probe", "1", 1, 0) != 0 && errno == ENOTSUP) {
        GTEST_SKIP() << "the file system keeps no user attributes";
    }
    EXPECT_FALSE(UTExtendedFileAttributes::withPath(""));
    auto attributes = UTExtendedFileAttributes::withPath(path);
    ASSERT_TRUE(attributes);
    EXPECT_FALSE(attributes->valueForAttribute("colour"));
    ASSERT_TRUE(attributes->setValue("蓝色", "colour"));
    EXPECT_EQ(attributes->valueForAttribute("colour"), "蓝色");
    // Kept in the user namespace, without a terminating zero.
    char raw[16] = {};
    EXPECT_EQ(::getxattr(path.c_str(), "user.colour", raw, sizeof raw), 6);

    ASSERT_TRUE(attributes->setValue("", "colour"));
    EXPECT_FALSE(attributes->valueForAttribute("colour"));
    EXPECT_FALSE(attributes->setValue("x", ""));
    EXPECT_FALSE(attributes->valueForAttribute(""));
    ASSERT_TRUE(attributes->setValue("red", "colour"));
    EXPECT_TRUE(attributes->setValue(std::nullopt, "colour"));
    EXPECT_FALSE(attributes->valueForAttribute("colour"));
    EXPECT_FALSE(attributes->removeAttribute("colour"));
    EXPECT_FALSE(UTExtendedFileAttributes(sandbox.path() + "/missing").setValue("x", "colour"));
}

TEST(UTFileWrapperCopying, CopiesTreesIndependently) {
    auto inner = ns::FileWrapper::directoryWithFileWrappers(
        {{"page.txt", ns::FileWrapper::regularFileWithContents(ns::Data("page"))},
         {"latest", ns::FileWrapper::symbolicLinkWithDestination("page.txt")}});
    auto root = ns::FileWrapper::directoryWithFileWrappers(
        {{"book", inner}, {"cover.png", ns::FileWrapper::regularFileWithContents(ns::Data("png"))}});

    auto copy = fileWrapperByDeepCopying(*root);
    ASSERT_TRUE(copy->isDirectory());
    ASSERT_EQ(copy->fileWrappers().size(), 2u);
    auto book = copy->fileWrappers().at("book");
    EXPECT_NE(book, inner);
    ASSERT_TRUE(book->isDirectory());
    EXPECT_EQ(book->fileWrappers().at("page.txt")->regularFileContents(), ns::Data("page"));
    EXPECT_NE(book->fileWrappers().at("page.txt"), inner->fileWrappers().at("page.txt"));
    auto link = book->fileWrappers().at("latest");
    EXPECT_TRUE(link->isSymbolicLink());
    EXPECT_EQ(link->symbolicLinkDestination(), "page.txt");
    EXPECT_EQ(copy->fileWrappers().at("cover.png")->regularFileContents(), ns::Data("png"));

    // Changing the source afterwards leaves the copy alone.
    inner->addFileWrapper("new.txt", ns::FileWrapper::regularFileWithContents(ns::Data("n")));
    EXPECT_EQ(book->fileWrappers().size(), 2u);
    EXPECT_TRUE(fileWrapperByDeepCopying(*ns::FileWrapper::regularFileWithContents(ns::Data("a")))->isRegularFile());
}

}  // namespace
}  // namespace ql
