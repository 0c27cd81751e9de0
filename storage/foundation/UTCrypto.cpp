#include "storage/foundation/UTCrypto.h"

#include "platform/foundation/Digest.h"

namespace ql {

ns::Data dataWithMD5Hash(const ns::Data& data) { return ns::md5(data); }
ns::Data dataWithSHA1Hash(const ns::Data& data) { return ns::sha1(data); }
ns::Data encryptedDataUsingSHA1WithKey(const ns::Data& data, const ns::Data& key) { return ns::hmacSHA1(key, data); }

}  // namespace ql
