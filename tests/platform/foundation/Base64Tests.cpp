#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "platform/foundation/Base64.h"
#include "platform/foundation/UUID.h"

using namespace ql::ns;

TEST(Base64, EncodesAndDecodesTheVectorsOfRFC4648) {
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (auto [plain, encoded] : vectors) {
        EXPECT_EQ(base64EncodedString(Data(std::string_view(plain))), encoded);
        auto decoded = dataWithBase64EncodedString(encoded);
        ASSERT_TRUE(decoded) << encoded;
        EXPECT_EQ(decoded->toString(), plain);
    }
    std::string everyByte;
    for (int i = 0; i < 256; ++i) everyByte += static_cast<char>(i);
    EXPECT_EQ(dataWithBase64EncodedString(base64EncodedString(Data(everyByte)))->toString(), everyByte);
}

TEST(Base64, BreaksLinesAsAsked) {
    Data data(std::string(100, 'a'));  // 136 characters
    std::string plain = base64EncodedString(data);
    ASSERT_EQ(plain.size(), 136u);

    std::string lines64 = base64EncodedString(data, Base64Encoding64CharacterLineLength);
    EXPECT_EQ(lines64, plain.substr(0, 64) + "\r\n" + plain.substr(64, 64) + "\r\n" + plain.substr(128));
    EXPECT_EQ(base64EncodedString(data, Base64Encoding76CharacterLineLength),
              plain.substr(0, 76) + "\r\n" + plain.substr(76));
    EXPECT_EQ(base64EncodedString(data, Base64Encoding76CharacterLineLength | Base64EncodingEndLineWithLineFeed),
              plain.substr(0, 76) + "\n" + plain.substr(76));
    EXPECT_EQ(base64EncodedString(data, Base64Encoding76CharacterLineLength | Base64EncodingEndLineWithCarriageReturn),
              plain.substr(0, 76) + "\r" + plain.substr(76));
    // A text that fills its last line exactly gets no line end after it.
    EXPECT_EQ(base64EncodedString(Data(std::string(48, 'b')), Base64Encoding64CharacterLineLength).size(), 64u);
    // The end-of-line options alone change nothing.
    EXPECT_EQ(base64EncodedString(data, Base64EncodingEndLineWithLineFeed), plain);

    EXPECT_FALSE(dataWithBase64EncodedString(lines64));
    auto decoded = dataWithBase64EncodedString(lines64, Base64DecodingIgnoreUnknownCharacters);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, data);
}

TEST(Base64, RejectsMalformedText) {
    for (const char* bad :
         {"Zg", "Zm9", "Zg=", "Z===", "=Zg=", "Zg=a", "Zm9v=", "Zg==Zg==", "Zm 9v", "Zm9v\n", "Zm9*"}) {
        EXPECT_FALSE(dataWithBase64EncodedString(bad)) << bad;
    }
    // Ignoring unknown characters never excuses wrong padding or a short group.
    EXPECT_EQ(dataWithBase64EncodedString(" Zm9v\r\nYmFy*", Base64DecodingIgnoreUnknownCharacters)->toString(),
              "foobar");
    EXPECT_FALSE(dataWithBase64EncodedString("Zg = a", Base64DecodingIgnoreUnknownCharacters));
    EXPECT_FALSE(dataWithBase64EncodedString("Zm9 ", Base64DecodingIgnoreUnknownCharacters));
}

TEST(UUID, RandomVersion4InUpperCaseText) {
    UUID first;
    UUID second;
    EXPECT_NE(first, second);
    std::string text = first.UUIDString();
    ASSERT_EQ(text.size(), 36u);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            EXPECT_EQ(text[i], '-');
        } else {
            EXPECT_TRUE((text[i] >= '0' && text[i] <= '9') || (text[i] >= 'A' && text[i] <= 'F')) << text;
        }
    }
    EXPECT_EQ(text[14], '4');
    EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos);
    EXPECT_EQ(first.bytes()[6] >> 4, 4);

    EXPECT_EQ(UUID::fromString(text), first);
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(UUID::fromString(lower), first);
    EXPECT_FALSE(UUID::fromString(text.substr(1)));
    EXPECT_FALSE(UUID::fromString(text + "0"));
    std::string shifted = text;
    std::swap(shifted[8], shifted[9]);  // a hyphen out of place
    EXPECT_FALSE(UUID::fromString(shifted));
    EXPECT_FALSE(UUID::fromString("G" + text.substr(1)));
}
