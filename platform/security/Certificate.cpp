#include "platform/security/Certificate.h"

#include <openssl/asn1.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <climits>

#include "platform/foundation/CryptoLibrary.h"

namespace ql::sec {

namespace {

std::string utf8Text(const ASN1_STRING* text) {
    unsigned char* utf8 = nullptr;
    const int length = ASN1_STRING_to_UTF8(&utf8, text);
    if (length < 0) return {};
    std::string result(reinterpret_cast<const char*>(utf8), static_cast<std::size_t>(length));
    OPENSSL_free(utf8);
    return result;
}

std::string commonName(X509* x509) {
    const X509_NAME* subject = X509_get_subject_name(x509);
    // The last common name is the most specific one.
    int index = -1;
    for (int next = -1; (next = X509_NAME_get_index_by_NID(subject, NID_commonName, next)) >= 0;) index = next;
    if (index < 0) return {};
    return utf8Text(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, index)));
}

std::string firstDNSName(X509* x509) {
    auto* names = static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(x509, NID_subject_alt_name, nullptr, nullptr));
    if (!names) return {};
    std::string result;
    for (int i = 0; i < sk_GENERAL_NAME_num(names) && result.empty(); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(names, i);
        if (name->type == GEN_DNS) result = utf8Text(name->d.dNSName);
    }
    GENERAL_NAMES_free(names);
    return result;
}

}  // namespace

Certificate::Certificate(Passkey, ns::Data der, X509Pointer x509) : der_(std::move(der)), x509_(std::move(x509)) {}

std::shared_ptr<Certificate> Certificate::createWithData(const ns::Data& der) {
    if (der.empty() || der.length() > static_cast<std::size_t>(LONG_MAX)) return nullptr;
    ns::keepTheCryptoLibraryUntilTheProcessEnds();
    const unsigned char* cursor = der.bytes();
    X509Pointer x509(d2i_X509(nullptr, &cursor, static_cast<long>(der.length())));
    if (!x509 || cursor != der.bytes() + der.length()) {
        ERR_clear_error();  // the parse failure is answered here; keep it off this thread's error queue
        return nullptr;
    }
    return std::make_shared<Certificate>(Passkey{}, der, std::move(x509));
}

std::string Certificate::subjectSummary() const {
    std::string summary = commonName(x509_.get());
    return summary.empty() ? firstDNSName(x509_.get()) : summary;
}

std::shared_ptr<Key> Certificate::publicKey() const {
    EVP_PKEY* key = X509_get0_pubkey(x509_.get());
    if (!key) return nullptr;
    unsigned char* spki = nullptr;
    const int length = i2d_PUBKEY(key, &spki);
    if (length <= 0) return nullptr;
    ns::Data data(spki, static_cast<std::size_t>(length));
    OPENSSL_free(spki);
    return std::make_shared<Key>(Key::Passkey{}, std::move(data));
}

bool Certificate::isEqual(const ns::Object& other) const {
    const auto* certificate = dynamic_cast<const Certificate*>(&other);
    return certificate && certificate->der_ == der_;
}

}  // namespace ql::sec
