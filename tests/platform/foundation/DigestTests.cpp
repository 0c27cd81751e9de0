#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/Digest.h"

using namespace ql::ns;

namespace {

Data repeated(std::uint8_t byte, std::size_t count) { return Data(std::string(count, static_cast<char>(byte))); }

}  // namespace

TEST(Digest, MD5KnownAnswers) {
    // RFC 1321, appendix A.5.
    EXPECT_EQ(hexString(md5("")), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(hexString(md5("abc")), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(hexString(md5("message digest")), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(hexString(md5(std::string("1234567890") + "1234567890" + "1234567890" + "1234567890" + "1234567890" +
                            "1234567890" + "1234567890" + "1234567890")),
              "57edf4a22be3c955ac49da2e2107b67a");
    EXPECT_EQ(md5(Data(std::string_view("abc"))), md5("abc"));
    EXPECT_EQ(md5("abc").length(), 16u);
}

TEST(Digest, SHA1KnownAnswers) {
    // FIPS 180 examples.
    EXPECT_EQ(hexString(sha1("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(hexString(sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(hexString(sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(hexString(sha1(repeated('a', 1'000'000))), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(Digest, HMACSHA1VectorsOfRFC2202) {
    Data key4;
    for (std::uint8_t b = 1; b <= 25; ++b) key4.append(&b, 1);
    struct Case {
        Data key;
        Data message;
        const char* expected;
    } cases[] = {
        {repeated(0x0b, 20), Data(std::string_view("Hi There")), "b617318655057264e28bc0b6fb378c8ef146be00"},
        {Data(std::string_view("Jefe")), Data(std::string_view("what do ya want for nothing?")),
         "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
        {repeated(0xaa, 20), repeated(0xdd, 50), "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
        {key4, repeated(0xcd, 50), "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
        {repeated(0x0c, 20), Data(std::string_view("Test With Truncation")),
         "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
        {repeated(0xaa, 80), Data(std::string_view("Test Using Larger Than Block-Size Key - Hash Key First")),
         "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
        {repeated(0xaa, 80),
         Data(std::string_view("Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data")),
         "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
    };
    for (const Case& c : cases) EXPECT_EQ(hexString(hmacSHA1(c.key, c.message)), c.expected);
}

TEST(Digest, HexStringInBothCases) {
    const std::uint8_t bytes[] = {0x00, 0x0f, 0xa0, 0xff};
    EXPECT_EQ(hexString(Data(bytes, sizeof bytes)), "000fa0ff");
    EXPECT_EQ(hexString(Data(bytes, sizeof bytes), HexCase::Upper), "000FA0FF");
    EXPECT_EQ(hexString(Data()), "");
}

TEST(Digest, HexTextGoesBackToItsBytes) {
    const Data bytes(std::string_view("\x00\x01\x7f\x80\xab\xff", 6));
    EXPECT_EQ(dataFromHexString(hexString(bytes)), bytes);
    EXPECT_EQ(dataFromHexString(hexString(bytes, HexCase::Upper)), bytes);
    EXPECT_EQ(dataFromHexString("DeadBeef"), Data(std::string_view("\xde\xad\xbe\xef", 4)));
    EXPECT_EQ(dataFromHexString(""), Data());
    EXPECT_FALSE(dataFromHexString("abc"));   // half a byte
    EXPECT_FALSE(dataFromHexString("0g"));    // no digit
    EXPECT_FALSE(dataFromHexString("0 "));
    EXPECT_FALSE(dataFromHexString("+1"));
}
