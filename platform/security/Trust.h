#pragma once
// sec::Trust: a certificate chain (leaf first) together with the policies it must satisfy and the roots
// it may chain to. By default those roots are the system's certificate authorities (OpenSSL's default
// verify paths); anchor certificates replace them. Objects may be used from any thread.

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/Object.h"
#include "platform/security/Certificate.h"
#include "platform/security/Key.h"
#include "platform/security/Policy.h"

namespace ql::sec {

// The platform's result codes. Evaluation gives Unspecified for a chain the policies accept (whether it
// ends at a system root or at an anchor certificate; there are no per-user trust settings here, so
// Proceed, Confirm and Deny never occur), RecoverableTrustFailure for a chain that is sound but not
// acceptable as it stands (untrusted or missing root, expired or not yet valid, wrong host, wrong
// purpose), FatalTrustFailure for a broken certificate (bad signature, malformed fields or extensions)
// and OtherError when the evaluation itself could not run. Invalid means not evaluated.
enum class TrustResultType {
    Invalid = 0,
    Proceed = 1,
    Confirm = 2,
    Deny = 3,
    Unspecified = 4,
    RecoverableTrustFailure = 5,
    FatalTrustFailure = 6,
    OtherError = 7,
};

class Trust final : public ns::Object {
    QL_OBJECT(Trust, ns::Object)
public:
    class Passkey {
        friend class Trust;
        Passkey() = default;
    };
    Trust(Passkey, std::vector<std::shared_ptr<Certificate>> chain, std::vector<std::shared_ptr<Policy>> policies);

    // The chain starts with the leaf; the others may help to reach a root, in any order. nullptr for an
    // empty chain or a missing certificate. No policies means the basic X.509 policy.
    static std::shared_ptr<Trust> create(std::vector<std::shared_ptr<Certificate>> chain,
                                         std::vector<std::shared_ptr<Policy>> policies);

    void setPolicies(std::vector<std::shared_ptr<Policy>> policies);
    // Makes these the trusted roots, alone until setAnchorCertificatesOnly(false) adds the system's back.
    // An anchor need not be self-signed: a chain is trusted from the first anchor it meets, so the
    // server's own certificate may be one.
    void setAnchorCertificates(std::vector<std::shared_ptr<Certificate>> anchors);
    void setAnchorCertificatesOnly(bool anchorsOnly);
    // The moment at which validity periods are judged; the system's real time when unset (never the
    // manual clock of tests, which would make every freshly made certificate look not yet valid).
    void setVerifyDate(ns::Date date);

    // Judges the chain against every policy and answers the worst of their results.
    TrustResultType evaluate();

    // Before a successful evaluation, the certificates given; after one, the chain it built, from the
    // leaf to the root or anchor it ended at.
    std::size_t certificateCount() const;
    std::shared_ptr<Certificate> certificateAtIndex(std::size_t index) const;
    // The leaf's public key; nullptr when it cannot be decoded.
    std::shared_ptr<Key> copyPublicKey() const;

private:
    const std::vector<std::shared_ptr<Certificate>>& currentChain() const;  // under mutex_
    std::vector<std::shared_ptr<Certificate>> certificatesOf(STACK_OF(X509) * built) const;

    mutable std::mutex mutex_;
    const std::vector<std::shared_ptr<Certificate>> chain_;
    std::vector<std::shared_ptr<Policy>> policies_;
    std::vector<std::shared_ptr<Certificate>> anchors_;
    bool anchorsOnly_ = false;
    std::optional<ns::Date> verifyDate_;
    std::vector<std::shared_ptr<Certificate>> evaluatedChain_;
};

}  // namespace ql::sec
