#include "platform/foundation/Digest.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <new>

namespace ql::ns {

namespace {

Data digest(const EVP_MD* type, const void* bytes, std::size_t length) {
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

}  // namespace ql::ns
