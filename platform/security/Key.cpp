#include "platform/security/Key.h"

namespace ql::sec {

bool Key::isEqual(const ns::Object& other) const {
    const auto* key = dynamic_cast<const Key*>(&other);
    return key && key->subjectPublicKeyInfo_ == subjectPublicKeyInfo_;
}

}  // namespace ql::sec
