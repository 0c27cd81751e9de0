#include "platform/foundation/StringEncoding.h"

#include <gtest/gtest.h>

using namespace ql::ns;

namespace {

TEST(StringEncodingTests, NamesCodesAndConversions) {
    EXPECT_EQ(stringEncodingForIANACharsetName("utf-8"), UTF8StringEncoding);
    EXPECT_EQ(stringEncodingForIANACharsetName("GB2312"), EUCCNStringEncoding);
    EXPECT_EQ(stringEncodingForIANACharsetName("latin1"), ISOLatin1StringEncoding);
    EXPECT_EQ(stringEncodingForIANACharsetName("x-no-such"), std::nullopt);

    // Expected bytes from Python's codecs.
    EXPECT_EQ(encodeText("\u4e2d\u6587", GBKStringEncoding), Data(std::string_view("\xd6\xd0\xce\xc4")));
    EXPECT_EQ(decodeText(Data(std::string_view("caf\xe9")), WindowsCP1252StringEncoding), "caf\u00e9");
    EXPECT_EQ(decodeText(Data(std::string_view("\xff")), UTF8StringEncoding), std::nullopt);

    // The lenient reader stands in U+FFFD for what it cannot read, and fails only on unknown encodings.
    EXPECT_EQ(decodeTextReplacingInvalid("a\xff" "b", UTF8StringEncoding), "a\ufffd" "b");
    EXPECT_EQ(decodeTextReplacingInvalid("\x93x", WindowsCP1252StringEncoding), "\u201cx");
    EXPECT_EQ(decodeTextReplacingInvalid("\xd6\xd0\xd6", GBKStringEncoding), "\u4e2d\ufffd");
    EXPECT_EQ(decodeTextReplacingInvalid("", UTF16LittleEndianStringEncoding), "");
    EXPECT_EQ(decodeTextReplacingInvalid("x", 0x7777), std::nullopt);
}

}  // namespace
