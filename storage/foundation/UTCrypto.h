#pragma once
// Digests and the keyed hash of data. Despite its name, encryptedDataUsingSHA1WithKey encrypts nothing:
// it is the HMAC-SHA1 of the data under the key.

#include "platform/foundation/Data.h"

namespace ql {

ns::Data dataWithMD5Hash(const ns::Data& data);
ns::Data dataWithSHA1Hash(const ns::Data& data);
ns::Data encryptedDataUsingSHA1WithKey(const ns::Data& data, const ns::Data& key);

}  // namespace ql
