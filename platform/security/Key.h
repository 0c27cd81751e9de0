#pragma once
// sec::Key: a public key, known by its DER-encoded SubjectPublicKeyInfo. Two keys are equal when those
// bytes are, which is what pinning a server's public key compares.

#include <memory>

#include "platform/foundation/Data.h"
#include "platform/foundation/Object.h"

namespace ql::sec {

class Key final : public ns::Object {
    QL_OBJECT(Key, ns::Object)
public:
    class Passkey {
        friend class Certificate;
        Passkey() = default;
    };
    // Keys come from certificates (Certificate::publicKey, Trust::copyPublicKey).
    Key(Passkey, ns::Data subjectPublicKeyInfo) : subjectPublicKeyInfo_(std::move(subjectPublicKeyInfo)) {}

    // The DER-encoded SubjectPublicKeyInfo (algorithm and key).
    ns::Data externalRepresentation() const { return subjectPublicKeyInfo_; }

    bool isEqual(const ns::Object& other) const override;

private:
    const ns::Data subjectPublicKeyInfo_;
};

}  // namespace ql::sec
