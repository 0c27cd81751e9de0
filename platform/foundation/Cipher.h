#pragma once
// AES-128 in CBC mode with PKCS#7 padding, answering with the status codes of the platform's one-shot
// cryptor: a 16-byte key, a 16-byte initialisation vector or none (then all zeros).

#include <cstdint>
#include <optional>

#include "platform/foundation/Data.h"

namespace ql::ns {

enum class CryptorStatus : std::int32_t {
    Success = 0,
    ParamError = -4300,
    AlignmentError = -4303,  // the ciphertext is not a whole number of blocks
    DecodeError = -4304,     // the padding of the last block is wrong
    KeySizeError = -4310,
};

enum class CryptOperation { Encrypt, Decrypt };

struct CryptResult {
    CryptorStatus status = CryptorStatus::ParamError;
    Data data;  // empty unless status is Success
    bool succeeded() const { return status == CryptorStatus::Success; }
};

CryptResult aes128CBC(CryptOperation operation, const Data& key, const std::optional<Data>& iv, const Data& input);

}  // namespace ql::ns
