#pragma once
// Certificates and keys made at test time (EC P-256, SHA-256 signatures), once per process: a test CA
// with an intermediate, and leaves for the loopback servers and the trust tests.

#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/Date.h"

namespace ql::test {

// One certificate and its private key.
struct TestIdentity {
    ns::Data certificateDER;
    std::string certificatePEM;
    std::string privateKeyPEM;  // PKCS #8
    ns::Date notBefore;
    ns::Date notAfter;
};

class TestCertificates {
public:
    static const TestCertificates& shared();

    // A self-signed root, "Quillory Test CA", trusted by nothing until a test makes it an anchor. The CAs
    // became valid sixty days ago, before every leaf below.
    const TestIdentity& authority() const { return authority_; }
    // A CA certificate issued by the authority, "Quillory Test Intermediate".
    const TestIdentity& intermediate() const { return intermediate_; }
    // Issued by the authority for "localhost", 127.0.0.1 and ::1, valid from a day ago for a year.
    const TestIdentity& localhost() const { return localhost_; }
    // Like localhost(), issued by the intermediate.
    const TestIdentity& localhostViaIntermediate() const { return localhostViaIntermediate_; }
    // Self-signed for "localhost" and 127.0.0.1.
    const TestIdentity& selfSigned() const { return selfSigned_; }
    // Issued by the authority for "localhost" and 127.0.0.1; its validity ended a day ago.
    const TestIdentity& expired() const { return expired_; }
    // Issued by the authority for "wrong.example" only.
    const TestIdentity& wrongHost() const { return wrongHost_; }

    // A leaf's certificate followed by the certificates a server sends with it (PEM), for servers.
    std::string chainPEM(const TestIdentity& leaf) const;

    TestCertificates();

private:
    TestIdentity authority_;
    TestIdentity intermediate_;
    TestIdentity localhost_;
    TestIdentity localhostViaIntermediate_;
    TestIdentity selfSigned_;
    TestIdentity expired_;
    TestIdentity wrongHost_;
};

}  // namespace ql::test
