#include "platform/security/Trust.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <string>

namespace ql::sec {

namespace {

// The system's certificate authorities, loaded once. Deliberately never freed: evaluations may still run
// on other threads while the process exits.
X509_STORE* systemStore() {
    static X509_STORE* const store = [] {
        X509_STORE* s = X509_STORE_new();
        if (s) X509_STORE_set_default_paths(s);
        ERR_clear_error();  // a missing CA file only leaves the store empty
        return s;
    }();
    return store;
}

TrustResultType severity(int verifyError) {
    switch (verifyError) {
    case X509_V_ERR_UNABLE_TO_DECRYPT_CERT_SIGNATURE:
    case X509_V_ERR_UNABLE_TO_DECODE_ISSUER_PUBLIC_KEY:
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
    case X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD:
    case X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD:
    case X509_V_ERR_UNHANDLED_CRITICAL_EXTENSION:
    case X509_V_ERR_INVALID_EXTENSION:
    case X509_V_ERR_INVALID_POLICY_EXTENSION:
    case X509_V_ERR_UNSUPPORTED_SIGNATURE_ALGORITHM:
    case X509_V_ERR_SIGNATURE_ALGORITHM_MISMATCH:
        return TrustResultType::FatalTrustFailure;
    case X509_V_ERR_OUT_OF_MEM:
    case X509_V_ERR_UNSPECIFIED:
    case X509_V_ERR_STORE_LOOKUP:
        return TrustResultType::OtherError;
    default:
        return TrustResultType::RecoverableTrustFailure;
    }
}

TrustResultType worse(TrustResultType a, TrustResultType b) { return std::max(a, b); }

// Keeps going past every failure so that the worst one decides, not merely the first.
int recordFailure(int ok, X509_STORE_CTX* context) {
    if (!ok) {
        auto* result = static_cast<TrustResultType*>(X509_STORE_CTX_get_app_data(context));
        *result = worse(*result, severity(X509_STORE_CTX_get_error(context)));
    }
    return 1;
}

bool isIPAddress(const std::string& text) {
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, text.c_str(), buffer) == 1 || inet_pton(AF_INET6, text.c_str(), buffer) == 1;
}

// Asks the verification to match the leaf against `hostname`: subject alternative names only (DNS
// names, or IP addresses for an address), wildcards only as a whole leftmost label. Returns false when
// no certificate could ever match the name.
bool requireHost(X509_VERIFY_PARAM* param, std::string hostname) {
    if (hostname.size() >= 2 && hostname.front() == '[' && hostname.back() == ']')
        hostname = hostname.substr(1, hostname.size() - 2);
    if (isIPAddress(hostname)) return X509_VERIFY_PARAM_set1_ip_asc(param, hostname.c_str()) == 1;
    if (!hostname.empty() && hostname.back() == '.') hostname.pop_back();  // the root's dot
    if (hostname.empty()) return false;
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS | X509_CHECK_FLAG_NEVER_CHECK_SUBJECT);
    return X509_VERIFY_PARAM_set1_host(param, hostname.c_str(), hostname.size()) == 1;
}

struct Evaluation {
    TrustResultType result = TrustResultType::Unspecified;
    X509StackPointer built;
};

Evaluation evaluateFor(const Policy* policy, X509_STORE* store, X509* leaf, STACK_OF(X509) * intermediates,
                       const std::optional<ns::Date>& verifyDate) {
    Evaluation evaluation;
    X509StoreContextPointer context(X509_STORE_CTX_new());
    if (!context || X509_STORE_CTX_init(context.get(), store, leaf, intermediates) != 1)
        return {TrustResultType::OtherError, nullptr};
    X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(context.get());
    X509_VERIFY_PARAM_set_flags(param, X509_V_FLAG_PARTIAL_CHAIN);
    if (verifyDate)
        X509_VERIFY_PARAM_set_time(param, static_cast<time_t>(std::floor(verifyDate->timeIntervalSince1970())));
    if (policy && policy->kind() == Policy::Kind::SSL) {
        X509_STORE_CTX_set_purpose(context.get(), policy->isServer() ? X509_PURPOSE_SSL_SERVER : X509_PURPOSE_SSL_CLIENT);
        if (policy->hostname() && !requireHost(param, *policy->hostname()))
            evaluation.result = TrustResultType::RecoverableTrustFailure;
    }
    X509_STORE_CTX_set_verify_cb(context.get(), recordFailure);
    X509_STORE_CTX_set_app_data(context.get(), &evaluation.result);
    if (X509_verify_cert(context.get()) != 1 && evaluation.result == TrustResultType::Unspecified)
        evaluation.result = TrustResultType::OtherError;
    if (evaluation.result == TrustResultType::Unspecified) evaluation.built.reset(X509_STORE_CTX_get1_chain(context.get()));
    return evaluation;
}

}  // namespace

Trust::Trust(Passkey, std::vector<std::shared_ptr<Certificate>> chain, std::vector<std::shared_ptr<Policy>> policies)
    : chain_(std::move(chain)), policies_(std::move(policies)) {}

std::shared_ptr<Trust> Trust::create(std::vector<std::shared_ptr<Certificate>> chain,
                                     std::vector<std::shared_ptr<Policy>> policies) {
    if (chain.empty() || std::find(chain.begin(), chain.end(), nullptr) != chain.end()) return nullptr;
    std::erase(policies, nullptr);
    return std::make_shared<Trust>(Passkey{}, std::move(chain), std::move(policies));
}

void Trust::setPolicies(std::vector<std::shared_ptr<Policy>> policies) {
    std::erase(policies, nullptr);
    std::lock_guard lock(mutex_);
    policies_ = std::move(policies);
    evaluatedChain_.clear();
}

void Trust::setAnchorCertificates(std::vector<std::shared_ptr<Certificate>> anchors) {
    std::erase(anchors, nullptr);
    std::lock_guard lock(mutex_);
    anchors_ = std::move(anchors);
    anchorsOnly_ = true;
    evaluatedChain_.clear();
}

void Trust::setAnchorCertificatesOnly(bool anchorsOnly) {
    std::lock_guard lock(mutex_);
    anchorsOnly_ = anchorsOnly;
    evaluatedChain_.clear();
}

void Trust::setVerifyDate(ns::Date date) {
    std::lock_guard lock(mutex_);
    verifyDate_ = date;
    evaluatedChain_.clear();
}

TrustResultType Trust::evaluate() {
    std::lock_guard lock(mutex_);
    evaluatedChain_.clear();

    X509StorePointer ownStore;
    X509_STORE* store = systemStore();
    if (anchorsOnly_ || !anchors_.empty()) {
        ownStore.reset(X509_STORE_new());
        if (!ownStore) return TrustResultType::OtherError;
        if (!anchorsOnly_) X509_STORE_set_default_paths(ownStore.get());
        for (const auto& anchor : anchors_) X509_STORE_add_cert(ownStore.get(), anchor->x509());
        store = ownStore.get();
    }
    if (!store) return TrustResultType::OtherError;

    X509StackPointer intermediates(sk_X509_new_null());
    if (!intermediates) return TrustResultType::OtherError;
    for (std::size_t i = 1; i < chain_.size(); ++i) {
        if (!X509_add_cert(intermediates.get(), chain_[i]->x509(), X509_ADD_FLAG_UP_REF)) return TrustResultType::OtherError;
    }

    TrustResultType result = TrustResultType::Unspecified;
    X509StackPointer built;
    const std::vector<const Policy*> policies = [&] {
        std::vector<const Policy*> list;
        for (const auto& policy : policies_) list.push_back(policy.get());
        if (list.empty()) list.push_back(nullptr);  // the basic X.509 policy
        return list;
    }();
    for (const Policy* policy : policies) {
        Evaluation evaluation = evaluateFor(policy, store, chain_.front()->x509(), intermediates.get(), verifyDate_);
        result = worse(result, evaluation.result);
        if (!built) built = std::move(evaluation.built);
    }
    // Whatever OpenSSL noted on the way must not surface later in an unrelated call on this thread.
    ERR_clear_error();
    if (result == TrustResultType::Unspecified && built) evaluatedChain_ = certificatesOf(built.get());
    return result;
}

std::vector<std::shared_ptr<Certificate>> Trust::certificatesOf(STACK_OF(X509) * built) const {
    std::vector<std::shared_ptr<Certificate>> certificates;
    for (int i = 0; i < sk_X509_num(built); ++i) {
        X509* x509 = sk_X509_value(built, i);
        auto known = [&](const std::vector<std::shared_ptr<Certificate>>& list) {
            auto found = std::find_if(list.begin(), list.end(), [&](const auto& c) { return X509_cmp(c->x509(), x509) == 0; });
            return found == list.end() ? nullptr : *found;
        };
        std::shared_ptr<Certificate> certificate = known(chain_);
        if (!certificate) certificate = known(anchors_);
        if (!certificate) {
            // A root from the system store.
            unsigned char* der = nullptr;
            const int length = i2d_X509(x509, &der);
            if (length > 0) certificate = Certificate::createWithData(ns::Data(der, static_cast<std::size_t>(length)));
            OPENSSL_free(der);
        }
        if (!certificate) return {};
        certificates.push_back(std::move(certificate));
    }
    return certificates;
}

const std::vector<std::shared_ptr<Certificate>>& Trust::currentChain() const {
    return evaluatedChain_.empty() ? chain_ : evaluatedChain_;
}

std::size_t Trust::certificateCount() const {
    std::lock_guard lock(mutex_);
    return currentChain().size();
}

std::shared_ptr<Certificate> Trust::certificateAtIndex(std::size_t index) const {
    std::lock_guard lock(mutex_);
    const auto& chain = currentChain();
    return index < chain.size() ? chain[index] : nullptr;
}

std::shared_ptr<Key> Trust::copyPublicKey() const { return chain_.front()->publicKey(); }

}  // namespace ql::sec
