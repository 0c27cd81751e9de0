#include "tests/support/TestCertificates.h"

#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <ctime>
#include <stdexcept>
#include <vector>

#include "platform/security/OpenSSLPointers.h"

namespace ql::test {

namespace {

using sec::BIOPointer;
using sec::EVPKeyPointer;
using sec::X509Pointer;

constexpr long kDay = 24 * 60 * 60;

void require(bool ok, const char* what) {
    if (!ok) {
        ERR_clear_error();
        throw std::runtime_error(std::string("test certificates: ") + what);
    }
}

// What to put into one certificate. Validity is given in seconds relative to the moment of making.
struct Blueprint {
    std::string commonName;
    std::string subjectAltNames;  // OpenSSL's configuration syntax; empty for none
    bool isAuthority = false;
    long validFrom = -kDay;
    long validUntil = 365 * kDay;
};

// An identity together with the OpenSSL objects that can sign further certificates.
struct Issued {
    TestIdentity identity;
    X509Pointer certificate;
    EVPKeyPointer key;
};

void addExtension(X509* certificate, X509V3_CTX* context, int nid, const std::string& value) {
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, context, nid, value.c_str());
    require(extension != nullptr, "extension");
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    require(added, "add extension");
}

std::string pemText(BIO* bio) {
    BUF_MEM* memory = nullptr;
    BIO_get_mem_ptr(bio, &memory);
    return std::string(memory->data, memory->length);
}

Issued issue(const Blueprint& blueprint, const Issued* issuer) {
    static long serial = 1;
    Issued made;
    made.key.reset(EVP_EC_gen("P-256"));
    require(made.key != nullptr, "key generation");
    made.certificate.reset(X509_new());
    X509* x509 = made.certificate.get();
    require(x509 != nullptr, "certificate");

    time_t now = time(nullptr);
    require(X509_set_version(x509, X509_VERSION_3) == 1, "version");
    require(ASN1_INTEGER_set(X509_get_serialNumber(x509), serial++) == 1, "serial");
    require(X509_time_adj(X509_getm_notBefore(x509), blueprint.validFrom, &now) != nullptr, "not before");
    require(X509_time_adj(X509_getm_notAfter(x509), blueprint.validUntil, &now) != nullptr, "not after");
    made.identity.notBefore = ns::Date::fromTimeIntervalSince1970(static_cast<double>(now + blueprint.validFrom));
    made.identity.notAfter = ns::Date::fromTimeIntervalSince1970(static_cast<double>(now + blueprint.validUntil));

    X509_NAME* subject = X509_get_subject_name(x509);
    require(X509_NAME_add_entry_by_txt(subject, "O", MBSTRING_ASC,
                                       reinterpret_cast<const unsigned char*>("Quillory Tests"), -1, -1, 0) == 1 &&
                X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                                           reinterpret_cast<const unsigned char*>(blueprint.commonName.c_str()), -1,
                                           -1, 0) == 1,
            "subject");
    X509* signer = issuer ? issuer->certificate.get() : x509;
    require(X509_set_issuer_name(x509, X509_get_subject_name(signer)) == 1, "issuer");
    require(X509_set_pubkey(x509, made.key.get()) == 1, "public key");

    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, signer, x509, nullptr, nullptr, 0);
    addExtension(x509, &context, NID_basic_constraints, blueprint.isAuthority ? "critical,CA:TRUE" : "CA:FALSE");
    addExtension(x509, &context, NID_subject_key_identifier, "hash");
    addExtension(x509, &context, NID_authority_key_identifier, "keyid:always");
    if (blueprint.isAuthority) {
        addExtension(x509, &context, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(x509, &context, NID_ext_key_usage, "serverAuth");
    }
    if (!blueprint.subjectAltNames.empty())
        addExtension(x509, &context, NID_subject_alt_name, blueprint.subjectAltNames);

    EVP_PKEY* signingKey = issuer ? issuer->key.get() : made.key.get();
    require(X509_sign(x509, signingKey, EVP_sha256()) > 0, "signature");

    unsigned char* der = nullptr;
    const int length = i2d_X509(x509, &der);
    require(length > 0, "DER");
    made.identity.certificateDER = ns::Data(der, static_cast<std::size_t>(length));
    OPENSSL_free(der);

    BIOPointer certificatePEM(BIO_new(BIO_s_mem()));
    require(certificatePEM && PEM_write_bio_X509(certificatePEM.get(), x509) == 1, "certificate PEM");
    made.identity.certificatePEM = pemText(certificatePEM.get());
    BIOPointer keyPEM(BIO_new(BIO_s_mem()));
    require(keyPEM && PEM_write_bio_PrivateKey(keyPEM.get(), made.key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1,
            "key PEM");
    made.identity.privateKeyPEM = pemText(keyPEM.get());
    return made;
}

constexpr const char* kLocalNames = "DNS:localhost,IP:127.0.0.1,IP:::1";

}  // namespace

TestCertificates::TestCertificates() {
    const Issued authority = issue({"Quillory Test CA", "", true, -60 * kDay, 10 * 365 * kDay}, nullptr);
    const Issued intermediate = issue({"Quillory Test Intermediate", "", true, -60 * kDay, 5 * 365 * kDay}, &authority);
    authority_ = authority.identity;
    intermediate_ = intermediate.identity;
    localhost_ = issue({"localhost", kLocalNames}, &authority).identity;
    localhostViaIntermediate_ = issue({"localhost", kLocalNames}, &intermediate).identity;
    selfSigned_ = issue({"localhost", "DNS:localhost,IP:127.0.0.1"}, nullptr).identity;
    expired_ = issue({"localhost", "DNS:localhost,IP:127.0.0.1", false, -30 * kDay, -kDay}, &authority).identity;
    wrongHost_ = issue({"wrong.example", "DNS:wrong.example"}, &authority).identity;
}

const TestCertificates& TestCertificates::shared() {
    static const TestCertificates certificates;
    return certificates;
}

std::string TestCertificates::chainPEM(const TestIdentity& leaf) const {
    if (&leaf == &localhostViaIntermediate_) return leaf.certificatePEM + intermediate_.certificatePEM;
    return leaf.certificatePEM;
}

}  // namespace ql::test
