#pragma once
// sec::Certificate: an X.509 certificate, made from its DER encoding and kept byte for byte, so that
// data() gives back exactly what was read (pinning compares those bytes).

#include <memory>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/Object.h"
#include "platform/security/Key.h"
#include "platform/security/OpenSSLPointers.h"

namespace ql::sec {

class Certificate final : public ns::Object {
    QL_OBJECT(Certificate, ns::Object)
public:
    class Passkey {
        friend class Certificate;
        Passkey() = default;
    };
    Certificate(Passkey, ns::Data der, X509Pointer x509);

    // nullptr unless `der` is exactly one DER-encoded certificate (nothing before or after it).
    static std::shared_ptr<Certificate> createWithData(const ns::Data& der);

    ns::Data data() const { return der_; }
    // A short human-readable name: the subject's common name, else its first DNS name, else "".
    std::string subjectSummary() const;
    // nullptr when the key cannot be decoded.
    std::shared_ptr<Key> publicKey() const;

    // Same DER bytes.
    bool isEqual(const ns::Object& other) const override;

    // The parsed certificate, for the trust evaluation.
    X509* x509() const { return x509_.get(); }

private:
    const ns::Data der_;
    const X509Pointer x509_;
};

}  // namespace ql::sec
