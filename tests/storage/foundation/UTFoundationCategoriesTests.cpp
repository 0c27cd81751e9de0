#include <gtest/gtest.h>

#include <limits>

#include "platform/foundation/Digest.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"
#include "storage/foundation/UTCrypto.h"
#include "storage/foundation/UTFormatNumbers.h"
#include "storage/foundation/UTMoving.h"
#include "storage/foundation/UTPropertyListLoading.h"
#include "storage/foundation/UTURLEncoding.h"

namespace ql {
namespace {

constexpr const char* arrayList =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array><string>a</string>"
    "<integer>2</integer></array></plist>\n";
constexpr const char* dictionaryList =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>k</key><string>v</string>"
    "</dict></plist>\n";

TEST(UTPropertyListLoading, LoadsTheExpectedKindOrReportsWhy) {
    ns::TemporarySandbox sandbox;
    const std::string arrayPath = sandbox.path() + "/list.plist";
    const std::string dictionaryPath = sandbox.path() + "/dict.plist";
    ASSERT_TRUE(ns::writeToFile(ns::Data(std::string_view(arrayList)), arrayPath, 0));
    ASSERT_TRUE(ns::writeToFile(ns::Data(std::string_view(dictionaryList)), dictionaryPath, 0));

    ns::Error error(std::string(), 0);
    auto array = arrayWithContentsOfFile(arrayPath, &error);
    ASSERT_TRUE(array);
    ASSERT_EQ(array->size(), 2u);
    EXPECT_EQ((*array)[1], ns::Value(2));
    auto dictionary = dictionaryWithContentsOfURL(ns::URL::fileURLWithPath(dictionaryPath, false), &error);
    ASSERT_TRUE(dictionary);
    EXPECT_EQ((*dictionary)["k"].asString(), "v");

    // The other kind: nothing, and the error slot untouched.
    EXPECT_FALSE(arrayWithContentsOfFile(dictionaryPath, &error));
    EXPECT_FALSE(dictionaryWithContentsOfFile(arrayPath, &error));
    EXPECT_TRUE(error.domain().empty());

    EXPECT_FALSE(arrayWithContentsOfFile(sandbox.path() + "/missing.plist", &error));
    EXPECT_EQ(error.domain(), ns::CocoaErrorDomain);
    EXPECT_EQ(error.code(), ns::FileReadNoSuchFileError);

    error = ns::Error(std::string(), 0);
    EXPECT_FALSE(dictionaryWithContentsOfData(ns::Data("<plist><dict>"), &error));
    EXPECT_FALSE(error.domain().empty());
    EXPECT_FALSE(arrayWithContentsOfURL(*ns::URL::fromString("http://127.0.0.1:1/list.plist"), &error));
    EXPECT_FALSE(arrayWithContentsOfData(ns::Data("garbage"), nullptr));
}

TEST(UTCrypto, DigestsMatchPublishedVectors) {
    EXPECT_EQ(ns::hexString(dataWithMD5Hash(ns::Data("abc"))), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(ns::hexString(dataWithSHA1Hash(ns::Data("abc"))), "a9993e364706816aba3e25717850c26c9cd0d89d");
    // The receiver is the message, the argument the key.
    EXPECT_EQ(ns::hexString(encryptedDataUsingSHA1WithKey(ns::Data("what do ya want for nothing?"), ns::Data("Jefe"))),
              "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");
}

TEST(UTFormatNumbers, StepsOf1024WithTruncatedTenths) {
    EXPECT_EQ(stringByFormattingBytes(0), "0 Bytes");
    EXPECT_EQ(stringByFormattingBytes(999), "999 Bytes");
    EXPECT_EQ(stringByFormattingBytes(1000), "0.9 KB");
    EXPECT_EQ(stringByFormattingBytes(1024), "1.0 KB");
    EXPECT_EQ(stringByFormattingBytes(1048576), "1.0 MB");
    EXPECT_EQ(stringByFormattingBytes(1024000), "0.9 MB");
    EXPECT_EQ(stringByFormattingBytes(-5), "-5 Bytes");
    EXPECT_EQ(stringByFormattingBytes(1099511627776), "1.0 TB");
    // Ten times these does not fit 64 bits; the text must still be right rather than wrapped.
    EXPECT_EQ(stringByFormattingBytes(std::numeric_limits<std::int64_t>::max()), "8388607.9 TB");
    // Negative counts never leave the first unit.
    EXPECT_EQ(stringByFormattingBytes(-1048576), "-1048576 Bytes");
    EXPECT_EQ(stringByFormattingBytes(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808 Bytes");
}

TEST(UTURLEncoding, SparesOnlyUnreservedCharacters) {
    EXPECT_EQ(stringByURLEncoding("abcXYZ019"), "abcXYZ019");
    EXPECT_EQ(stringByURLEncoding("-._~"), "-._~");
    EXPECT_EQ(stringByURLEncoding("a b/c"), "a%20b%2Fc");
    EXPECT_EQ(stringByURLEncoding("!*'();:@&=+$,/?%#[]"), "%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D");
    EXPECT_EQ(stringByURLEncoding("é书"), "%C3%A9%E4%B9%A6");
}

TEST(UTMoving, MovesGroupsToPositionsOfTheOriginalArray) {
    using Letters = std::vector<char>;
    Letters letters{'a', 'b', 'c', 'd', 'e'};
    ASSERT_TRUE(moveObjectsAtIndexes(letters, {0, 1}, 4));
    EXPECT_EQ(letters, (Letters{'c', 'd', 'a', 'b', 'e'}));
    letters = {'a', 'b', 'c', 'd', 'e'};
    ASSERT_TRUE(moveObjectsAtIndexes(letters, {3}, 0));
    EXPECT_EQ(letters, (Letters{'d', 'a', 'b', 'c', 'e'}));
    letters = {'a', 'b', 'c', 'd', 'e'};
    ASSERT_TRUE(moveObjectsAtIndexes(letters, {0}, 5));
    EXPECT_EQ(letters, (Letters{'b', 'c', 'd', 'e', 'a'}));

    // Past the end, or an index that does not exist: refused, nothing lost.
    letters = {'a', 'b', 'c', 'd', 'e'};
    EXPECT_FALSE(moveObjectsAtIndexes(letters, {0}, 6));
    EXPECT_FALSE(moveObjectsAtIndexes(letters, {1, 7}, 0));
    EXPECT_EQ(letters, (Letters{'a', 'b', 'c', 'd', 'e'}));

    ns::Array values{ns::Value("x"), ns::Value(1), ns::Value(true)};
    ASSERT_TRUE(moveObjectsAtIndexes(values, {2}, 0));
    EXPECT_EQ(values[0], ns::Value(true));
    EXPECT_EQ(values[1].asString(), "x");
}

}  // namespace
}  // namespace ql
