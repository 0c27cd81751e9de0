#include "platform/foundation/Cipher.h"

#include <openssl/evp.h>

#include <climits>
#include <memory>
#include <new>

#include "platform/foundation/CryptoLibrary.h"

namespace ql::ns {

namespace {

constexpr std::size_t kBlockSize = 16;

struct ContextDeleter {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};

}  // namespace

CryptResult aes128CBC(CryptOperation operation, const Data& key, const std::optional<Data>& iv, const Data& input) {
    if (key.length() != kBlockSize) return {CryptorStatus::KeySizeError, {}};
    if (iv && iv->length() != kBlockSize) return {CryptorStatus::ParamError, {}};
    if (input.length() > INT_MAX - kBlockSize) return {CryptorStatus::ParamError, {}};
    const bool encrypt = operation == CryptOperation::Encrypt;
    if (!encrypt && (input.empty() || input.length() % kBlockSize != 0)) return {CryptorStatus::AlignmentError, {}};
    keepTheCryptoLibraryUntilTheProcessEnds();

    std::unique_ptr<EVP_CIPHER_CTX, ContextDeleter> context(EVP_CIPHER_CTX_new());
    if (!context) throw std::bad_alloc();
    const std::uint8_t zeroIV[kBlockSize] = {};
    if (EVP_CipherInit_ex(context.get(), EVP_aes_128_cbc(), nullptr, key.bytes(), iv ? iv->bytes() : zeroIV,
                          encrypt ? 1 : 0) != 1)
        return {CryptorStatus::ParamError, {}};

    Data output;
    output.setLength(input.length() + kBlockSize);
    int written = 0;
    if (EVP_CipherUpdate(context.get(), output.mutableBytes(), &written, input.bytes(),
                         static_cast<int>(input.length())) != 1)
        return {CryptorStatus::ParamError, {}};
    int finalWritten = 0;
    if (EVP_CipherFinal_ex(context.get(), output.mutableBytes() + written, &finalWritten) != 1)
        return {encrypt ? CryptorStatus::ParamError : CryptorStatus::DecodeError, {}};
    output.setLength(static_cast<std::size_t>(written + finalWritten));
    return {CryptorStatus::Success, output};
}

}  // namespace ql::ns
