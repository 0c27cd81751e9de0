#include "net/NetSecurityPolicy.h"

#include <algorithm>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"
#include "platform/security/Certificate.h"
#include "platform/security/Policy.h"

namespace ql {

namespace {

constexpr std::string_view kModeKey = "SSLPinningMode";
constexpr std::string_view kAllowInvalidKey = "allowInvalidCertificates";
constexpr std::string_view kValidatesDomainKey = "validatesDomainName";
constexpr std::string_view kPinnedCertificatesKey = "pinnedCertificates";
// A certificate takes a few kilobytes, a long chain in one file a few dozen.
constexpr std::uint64_t MaxCertificateFileLength = 1 << 20;

bool isValidResult(sec::TrustResultType result) {
    return result == sec::TrustResultType::Proceed || result == sec::TrustResultType::Unspecified;
}

// Whether an evaluation could run at all, whatever it concluded.
bool evaluationRan(sec::TrustResultType result) {
    return result != sec::TrustResultType::Invalid && result != sec::TrustResultType::OtherError;
}

std::vector<ns::Data> certificateChain(const sec::Trust& trust) {
    std::vector<ns::Data> chain;
    for (std::size_t index = 0; index < trust.certificateCount(); ++index) {
        if (auto certificate = trust.certificateAtIndex(index)) chain.push_back(certificate->data());
    }
    return chain;
}

}  // namespace

std::shared_ptr<sec::Key> NetPublicKeyOfCertificate(const ns::Data& certificate) {
    auto made = sec::Certificate::createWithData(certificate);
    if (!made) return nullptr;
    auto trust = sec::Trust::create({made}, {sec::Policy::basicX509()});
    if (!trust || !evaluationRan(trust->evaluate())) return nullptr;
    return trust->copyPublicKey();
}

const std::vector<ns::Data>& NetSecurityPolicy::defaultPinnedCertificates() {
    static const auto& certificates = *new std::vector<ns::Data>([] {
        std::vector<ns::Data> found;
        for (const std::string& path : ns::Bundle::main().pathsForResourcesOfType("cer", ".")) {
            if (auto data = ns::dataWithContentsOfFile(path, MaxCertificateFileLength)) found.push_back(std::move(*data));
        }
        return found;
    }());
    return certificates;
}

std::shared_ptr<NetSecurityPolicy> NetSecurityPolicy::defaultPolicy() { return std::make_shared<NetSecurityPolicy>(); }

std::shared_ptr<NetSecurityPolicy> NetSecurityPolicy::policyWithPinningMode(std::uint64_t pinningMode) {
    auto policy = std::make_shared<NetSecurityPolicy>();
    policy->setSSLPinningMode(pinningMode);
    policy->setPinnedCertificates(defaultPinnedCertificates());
    return policy;
}

void NetSecurityPolicy::setPinnedCertificates(const std::vector<ns::Data>& certificates) {
    willChangeValueForKey("pinnedCertificates");
    willChangeValueForKey("pinnedPublicKeys");
    pinnedCertificates_.clear();
    for (const ns::Data& certificate : certificates) {
        if (std::find(pinnedCertificates_.begin(), pinnedCertificates_.end(), certificate) == pinnedCertificates_.end())
            pinnedCertificates_.push_back(certificate);
    }
    pinnedPublicKeys_.clear();
    for (const ns::Data& certificate : pinnedCertificates_) {
        if (auto key = NetPublicKeyOfCertificate(certificate)) pinnedPublicKeys_.push_back(std::move(key));
    }
    didChangeValueForKey("pinnedPublicKeys");
    didChangeValueForKey("pinnedCertificates");
}

bool NetSecurityPolicy::evaluateServerTrust(const std::shared_ptr<sec::Trust>& serverTrust,
                                            const std::optional<std::string>& domain) const {
    if (!serverTrust) return false;
    if (domain && allowInvalidCertificates_ && validatesDomainName_ &&
        (SSLPinningMode_ == NetSSLPinningModeNone || pinnedCertificates_.empty())) {
        ns::Log::write("In order to validate a domain name for self signed certificates, you MUST use pinning.");
        return false;
    }

    serverTrust->setPolicies({validatesDomainName_ ? sec::Policy::SSL(true, domain) : sec::Policy::basicX509()});

    if (SSLPinningMode_ == NetSSLPinningModeNone)
        return allowInvalidCertificates_ || isValidResult(serverTrust->evaluate());
    if (!isValidResult(serverTrust->evaluate()) && !allowInvalidCertificates_) return false;

    const std::vector<ns::Data> serverChain = certificateChain(*serverTrust);
    switch (SSLPinningMode_) {
        case NetSSLPinningModeCertificate: {
            std::vector<std::shared_ptr<sec::Certificate>> anchors;
            for (const ns::Data& pinned : pinnedCertificates_) {
                if (auto certificate = sec::Certificate::createWithData(pinned)) anchors.push_back(std::move(certificate));
            }
            serverTrust->setAnchorCertificates(std::move(anchors));
            if (!isValidResult(serverTrust->evaluate())) return false;
            return std::any_of(serverChain.begin(), serverChain.end(), [&](const ns::Data& certificate) {
                return std::find(pinnedCertificates_.begin(), pinnedCertificates_.end(), certificate) !=
                       pinnedCertificates_.end();
            });
        }
        case NetSSLPinningModePublicKey:
            return std::any_of(serverChain.begin(), serverChain.end(), [&](const ns::Data& certificate) {
                auto key = NetPublicKeyOfCertificate(certificate);
                return key && std::any_of(pinnedPublicKeys_.begin(), pinnedPublicKeys_.end(),
                                          [&](const auto& pinned) { return pinned->isEqual(*key); });
            });
        default: return false;
    }
}

ns::Value NetSecurityPolicy::valueForKey(std::string_view key) const {
    if (key == "pinnedCertificates") {
        ns::Array certificates(pinnedCertificates_.begin(), pinnedCertificates_.end());
        return ns::Value(std::move(certificates));
    }
    if (key == "pinnedPublicKeys") {
        ns::Array keys;
        for (const auto& pinned : pinnedPublicKeys_) keys.push_back(ns::Value(pinned));
        return ns::Value(std::move(keys));
    }
    return ns::Object::valueForKey(key);
}

void NetSecurityPolicy::encodeWithCoder(ns::KeyedArchiver& coder) const {
    coder.encodeObject(ns::Value(SSLPinningMode_), kModeKey);
    coder.encodeBool(allowInvalidCertificates_, kAllowInvalidKey);
    coder.encodeBool(validatesDomainName_, kValidatesDomainKey);
    coder.encodeObject(valueForKey(kPinnedCertificatesKey), kPinnedCertificatesKey);
}

bool NetSecurityPolicy::initWithCoder(ns::KeyedUnarchiver& coder) {
    SSLPinningMode_ = coder.decodeObjectOfClass(*ns::Class::named("NSNumber"), kModeKey).uint64Value();
    allowInvalidCertificates_ = coder.decodeBoolForKey(kAllowInvalidKey);
    validatesDomainName_ = coder.decodeBoolForKey(kValidatesDomainKey);
    std::vector<ns::Data> certificates;
    const ns::Value pinned =
        coder.decodeObjectOfClasses({ns::Class::named("NSArray"), ns::Class::named("NSData")}, kPinnedCertificatesKey);
    if (const ns::Array* array = pinned.asArray()) {
        for (const ns::Value& certificate : *array) {
            if (const ns::Data* data = certificate.asData()) certificates.push_back(*data);
        }
    }
    setPinnedCertificates(certificates);
    return true;
}

std::shared_ptr<ns::Object> NetSecurityPolicy::copy() const {
    auto policy = std::make_shared<NetSecurityPolicy>();
    policy->SSLPinningMode_ = SSLPinningMode_;
    policy->allowInvalidCertificates_ = allowInvalidCertificates_;
    policy->validatesDomainName_ = validatesDomainName_;
    policy->setPinnedCertificates(pinnedCertificates_);
    return policy;
}

}  // namespace ql
