#pragma once
// NetSecurityPolicy: whether the certificate chain a server presents is trusted for a host, optionally
// pinned to certificates (or their public keys) that ship with the app. Managers start with the default
// policy: the platform's standard evaluation for the request's host name.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Coding.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Object.h"
#include "platform/security/Key.h"
#include "platform/security/Trust.h"

namespace ql {

enum NetSSLPinningMode : std::uint64_t {
    NetSSLPinningModeNone = 0,
    NetSSLPinningModePublicKey = 1,
    NetSSLPinningModeCertificate = 2,
};

class NetSecurityPolicy : public ns::Object, public ns::Coding {
    QL_OBJECT(NetSecurityPolicy, ns::Object)
public:
    // Validates domain names; no pinning.
    NetSecurityPolicy() = default;

    // Every ".cer" file at the top of the main bundle, read once per process.
    static const std::vector<ns::Data>& defaultPinnedCertificates();
    static std::shared_ptr<NetSecurityPolicy> defaultPolicy();
    // The mode with the default pinned certificates.
    static std::shared_ptr<NetSecurityPolicy> policyWithPinningMode(std::uint64_t pinningMode);

    std::uint64_t SSLPinningMode() const { return SSLPinningMode_; }
    void setSSLPinningMode(std::uint64_t mode) { SSLPinningMode_ = mode; }
    // DER data, without duplicates, in the order given.
    const std::vector<ns::Data>& pinnedCertificates() const { return pinnedCertificates_; }
    // Also works out the public keys of the certificates.
    void setPinnedCertificates(const std::vector<ns::Data>& certificates);
    // The keys of the pinned certificates that have one, in their order.
    const std::vector<std::shared_ptr<sec::Key>>& pinnedPublicKeys() const { return pinnedPublicKeys_; }
    bool allowInvalidCertificates() const { return allowInvalidCertificates_; }
    void setAllowInvalidCertificates(bool allow) { allowInvalidCertificates_ = allow; }
    bool validatesDomainName() const { return validatesDomainName_; }
    void setValidatesDomainName(bool validates) { validatesDomainName_ = validates; }

    // Whether to trust the server for the host (no host: whatever host). Sets the trust's policies and,
    // when pinning certificates, its anchors.
    bool evaluateServerTrust(const std::shared_ptr<sec::Trust>& serverTrust,
                             const std::optional<std::string>& domain) const;
    bool evaluateServerTrust(const std::shared_ptr<sec::Trust>& serverTrust) const {
        return evaluateServerTrust(serverTrust, std::nullopt);
    }

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    bool supportsSecureCoding() const override { return true; }
    std::shared_ptr<ns::Object> copy() const override;

    // The pinned certificates and keys are observable under their names.
    ns::Value valueForKey(std::string_view key) const override;

private:
    std::uint64_t SSLPinningMode_ = NetSSLPinningModeNone;
    std::vector<ns::Data> pinnedCertificates_;
    std::vector<std::shared_ptr<sec::Key>> pinnedPublicKeys_;
    bool allowInvalidCertificates_ = false;
    bool validatesDomainName_ = true;
};

// The public key of a DER certificate, or nullptr when it has none that can be read.
std::shared_ptr<sec::Key> NetPublicKeyOfCertificate(const ns::Data& certificate);

}  // namespace ql
