#include "platform/foundation/Digest.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <new>
#include <vector>

#include "platform/foundation/CryptoLibrary.h"

namespace ql::ns {

namespace {

Data digest(const EVP_MD* type, const void* bytes, std::size_t length) {
    keepTheCryptoLibraryUntilTheProcessEnds();
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int outLength = 0;
    // Fails only when the library cannot allocate; there is no meaningful digest to return then.
    if (EVP_Digest(bytes, length, out, &outLength, type, nullptr) != 1) throw std::bad_alloc();
    return Data(out, outLength);
}

}  // namespace

Data md5(const Data& bytes) { return digest(EVP_md5(), bytes.bytes(), bytes.length()); }
Data md5(std::string_view bytes) { return digest(EVP_md5(), bytes.data(), bytes.size()); }
Data sha1(const Data& bytes) { return digest(EVP_sha1(), bytes.bytes(), bytes.length()); }
Data sha1(std::string_view bytes) { return digest(EVP_sha1(), bytes.data(), bytes.size()); }

Data hmacSHA1(const Data& key, const Data& message) {
    keepTheCryptoLibraryUntilTheProcessEnds();
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int outLength = 0;
    if (!HMAC(EVP_sha1(), key.bytes(), static_cast<int>(key.length()), message.bytes(), message.length(), out,
              &outLength))
        throw std::bad_alloc();
    return Data(out, outLength);
}

std::string hexString(const Data& bytes, HexCase letterCase) {
    const char* digits = letterCase == HexCase::Lower ? "0123456789abcdef" : "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.length() * 2);
    for (std::uint8_t b : bytes.span()) {
        text += digits[b >> 4];
        text += digits[b & 0xF];
    }
    return text;
}

std::optional<Data> dataFromHexString(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = digit(text[i]);
        const int low = digit(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return Data(std::move(bytes));
}

}  // namespace ql::ns
