#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/Cipher.h"
#include "platform/foundation/Digest.h"

using namespace ql::ns;

namespace {

Data fromHex(std::string_view hex) {
    Data data;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        auto byte = static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
        data.append(&byte, 1);
    }
    return data;
}

// NIST SP 800-38A, F.2.1 (CBC-AES128).
const Data kKey = fromHex("2b7e151628aed2a6abf7158809cf4f3c");
const Data kIV = fromHex("000102030405060708090a0b0c0d0e0f");
const Data kPlain = fromHex(
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
const char* const kCipherHex =
    "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
    "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7";

}  // namespace

TEST(Cipher, AES128CBCMatchesNISTVectorsAndPadsAFullBlock) {
    CryptResult encrypted = aes128CBC(CryptOperation::Encrypt, kKey, kIV, kPlain);
    ASSERT_TRUE(encrypted.succeeded());
    // A whole number of blocks still gets a block of padding after the standard's ciphertext.
    ASSERT_EQ(encrypted.data.length(), 80u);
    EXPECT_EQ(hexString(encrypted.data.subdata(0, 64)), kCipherHex);

    CryptResult decrypted = aes128CBC(CryptOperation::Decrypt, kKey, kIV, encrypted.data);
    ASSERT_TRUE(decrypted.succeeded());
    EXPECT_EQ(decrypted.data, kPlain);

    // The standard's ciphertext alone ends in a block whose last byte (0x10) claims padding it lacks.
    CryptResult unpadded = aes128CBC(CryptOperation::Decrypt, kKey, kIV, fromHex(kCipherHex));
    EXPECT_EQ(unpadded.status, CryptorStatus::DecodeError);
    EXPECT_TRUE(unpadded.data.empty());
}

TEST(Cipher, PaddingLengthsAndZeroIV) {
    for (std::size_t length : {0u, 1u, 15u, 16u, 17u, 31u, 32u}) {
        Data plain(std::string(length, 'x'));
        CryptResult encrypted = aes128CBC(CryptOperation::Encrypt, kKey, std::nullopt, plain);
        ASSERT_TRUE(encrypted.succeeded());
        EXPECT_EQ(encrypted.data.length(), (length / 16 + 1) * 16) << length;
        // No initialisation vector means sixteen zero bytes.
        EXPECT_EQ(encrypted.data, aes128CBC(CryptOperation::Encrypt, kKey, Data(std::string(16, '\0')), plain).data);
        EXPECT_EQ(aes128CBC(CryptOperation::Decrypt, kKey, std::nullopt, encrypted.data).data, plain);
    }
}

TEST(Cipher, RefusesBadKeysVectorsAndCiphertexts) {
    Data plain(std::string_view("secret"));
    EXPECT_EQ(aes128CBC(CryptOperation::Encrypt, kKey.subdata(0, 15), kIV, plain).status, CryptorStatus::KeySizeError);
    EXPECT_EQ(aes128CBC(CryptOperation::Encrypt, fromHex(std::string(64, 'a')), kIV, plain).status,
              CryptorStatus::KeySizeError);
    EXPECT_EQ(aes128CBC(CryptOperation::Encrypt, kKey, kIV.subdata(0, 8), plain).status, CryptorStatus::ParamError);
    EXPECT_EQ(aes128CBC(CryptOperation::Decrypt, kKey, kIV, Data(std::string(17, 'x'))).status,
              CryptorStatus::AlignmentError);
    EXPECT_EQ(aes128CBC(CryptOperation::Decrypt, kKey, kIV, Data()).status, CryptorStatus::AlignmentError);

    // A wrong key garbles the padding of the last block.
    CryptResult encrypted = aes128CBC(CryptOperation::Encrypt, kKey, kIV, plain);
    Data otherKey(std::string(16, 'k'));
    CryptResult wrong = aes128CBC(CryptOperation::Decrypt, otherKey, kIV, encrypted.data);
    EXPECT_TRUE(!wrong.succeeded() || wrong.data != plain);
}
