#include <gtest/gtest.h>
#include <openssl/x509.h>

#include "platform/security/Trust.h"
#include "tests/support/TestCertificates.h"

namespace ql::sec {
namespace {

using test::TestCertificates;
using test::TestIdentity;
using Result = TrustResultType;

const TestCertificates& certificates() { return TestCertificates::shared(); }

std::shared_ptr<Certificate> certificate(const TestIdentity& identity) {
    auto made = Certificate::createWithData(identity.certificateDER);
    EXPECT_NE(made, nullptr);
    return made;
}

std::shared_ptr<Trust> trust(std::vector<const TestIdentity*> chain, std::shared_ptr<Policy> policy,
                             std::vector<const TestIdentity*> anchors) {
    std::vector<std::shared_ptr<Certificate>> certs;
    for (const auto* identity : chain) certs.push_back(certificate(*identity));
    auto made = Trust::create(certs, {std::move(policy)});
    std::vector<std::shared_ptr<Certificate>> anchorCerts;
    for (const auto* identity : anchors) anchorCerts.push_back(certificate(*identity));
    made->setAnchorCertificates(anchorCerts);
    return made;
}

Result evaluate(const TestIdentity& leaf, std::optional<std::string> host, const TestIdentity& anchor) {
    return trust({&leaf}, Policy::SSL(true, std::move(host)), {&anchor})->evaluate();
}

TEST(Certificate, ParsesExactlyOneDERCertificateAndKeepsItsBytes) {
    const TestIdentity& localhost = certificates().localhost();
    auto leaf = certificate(localhost);
    EXPECT_EQ(leaf->data(), localhost.certificateDER);
    EXPECT_EQ(leaf->subjectSummary(), "localhost");
    EXPECT_EQ(certificate(certificates().authority())->subjectSummary(), "Quillory Test CA");
    EXPECT_TRUE(leaf->isEqual(*certificate(localhost)));
    EXPECT_FALSE(leaf->isEqual(*certificate(certificates().expired())));

    const ns::Data& der = localhost.certificateDER;
    ns::Data trailing = der;
    trailing.append("\0", 1);
    for (const ns::Data& malformed : {ns::Data(), ns::Data("not a certificate"), der.subdata(0, der.length() - 1),
                                      trailing, ns::Data(localhost.certificatePEM)})
        EXPECT_EQ(Certificate::createWithData(malformed), nullptr) << malformed.length();
}

TEST(Certificate, PublicKeysAreSubjectPublicKeyInfosComparedByValue) {
    auto leaf = certificate(certificates().localhost());
    auto key = leaf->publicKey();
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(key->isEqual(*certificate(certificates().localhost())->publicKey()));
    EXPECT_FALSE(key->isEqual(*certificate(certificates().authority())->publicKey()));
    EXPECT_FALSE(key->isEqual(*leaf));

    ns::Data spki = key->externalRepresentation();
    const unsigned char* cursor = spki.bytes();
    EVP_PKEY* parsed = d2i_PUBKEY(nullptr, &cursor, static_cast<long>(spki.length()));
    ASSERT_NE(parsed, nullptr);
    EXPECT_EQ(cursor, spki.bytes() + spki.length());
    EXPECT_EQ(EVP_PKEY_eq(parsed, X509_get0_pubkey(leaf->x509())), 1);
    EVP_PKEY_free(parsed);

    auto trusted = Trust::create({leaf, certificate(certificates().authority())}, {Policy::basicX509()});
    EXPECT_TRUE(trusted->copyPublicKey()->isEqual(*key));
}

TEST(Trust, ChainToAnAnchorIsTrustedForTheNamesOfItsLeaf) {
    const auto& c = certificates();
    for (const char* host : {"localhost", "LocalHost", "localhost.", "127.0.0.1", "::1", "[::1]"})
        EXPECT_EQ(evaluate(c.localhost(), host, c.authority()), Result::Unspecified) << host;
    EXPECT_EQ(evaluate(c.localhost(), std::nullopt, c.authority()), Result::Unspecified);

    auto built = trust({&c.localhost()}, Policy::SSL(true, "localhost"), {&c.authority()});
    EXPECT_EQ(built->certificateCount(), 1u);
    EXPECT_EQ(built->evaluate(), Result::Unspecified);
    ASSERT_EQ(built->certificateCount(), 2u);
    EXPECT_EQ(built->certificateAtIndex(1)->data(), c.authority().certificateDER);
    EXPECT_EQ(built->certificateAtIndex(2), nullptr);

    // An intermediate sent along with the leaf completes the path.
    EXPECT_EQ(trust({&c.localhostViaIntermediate(), &c.intermediate()}, Policy::SSL(true, "localhost"),
                    {&c.authority()})->evaluate(),
              Result::Unspecified);
    EXPECT_EQ(trust({&c.localhostViaIntermediate()}, Policy::SSL(true, "localhost"), {&c.authority()})->evaluate(),
              Result::RecoverableTrustFailure);
}

TEST(Trust, WrongHostOrPurposeIsRecoverable) {
    const auto& c = certificates();
    for (const char* host : {"other.example", "127.0.0.2", "", "sub.localhost", "::2"})
        EXPECT_EQ(evaluate(c.localhost(), host, c.authority()), Result::RecoverableTrustFailure) << host;
    EXPECT_EQ(evaluate(c.wrongHost(), "localhost", c.authority()), Result::RecoverableTrustFailure);
    EXPECT_EQ(evaluate(c.wrongHost(), "wrong.example", c.authority()), Result::Unspecified);
    EXPECT_EQ(trust({&c.wrongHost()}, Policy::basicX509(), {&c.authority()})->evaluate(), Result::Unspecified);

    // Every policy must agree.
    auto both = trust({&c.wrongHost()}, Policy::basicX509(), {&c.authority()});
    both->setPolicies({Policy::basicX509(), Policy::SSL(true, "localhost")});
    EXPECT_EQ(both->evaluate(), Result::RecoverableTrustFailure);
    EXPECT_EQ(both->certificateCount(), 1u);

    // The leaves are made for servers only.
    EXPECT_EQ(trust({&c.localhost()}, Policy::SSL(false, std::nullopt), {&c.authority()})->evaluate(),
              Result::RecoverableTrustFailure);
}

TEST(Trust, OnlyAnchorsAreTrustedOnceSet) {
    const auto& c = certificates();
    // Neither the test CA nor a self-signed certificate is a system root.
    EXPECT_EQ(Trust::create({certificate(c.localhost())}, {Policy::SSL(true, "localhost")})->evaluate(),
              Result::RecoverableTrustFailure);
    EXPECT_EQ(Trust::create({certificate(c.selfSigned())}, {Policy::SSL(true, "localhost")})->evaluate(),
              Result::RecoverableTrustFailure);
    EXPECT_EQ(evaluate(c.selfSigned(), "localhost", c.authority()), Result::RecoverableTrustFailure);

    // Pinned certificates: the self-signed one, the server's own leaf, an intermediate.
    EXPECT_EQ(evaluate(c.selfSigned(), "localhost", c.selfSigned()), Result::Unspecified);
    EXPECT_EQ(evaluate(c.localhost(), "localhost", c.localhost()), Result::Unspecified);
    EXPECT_EQ(trust({&c.localhostViaIntermediate(), &c.intermediate()}, Policy::SSL(true, "localhost"),
                    {&c.intermediate()})->evaluate(),
              Result::Unspecified);
    EXPECT_EQ(evaluate(c.localhost(), "localhost", c.selfSigned()), Result::RecoverableTrustFailure);
    EXPECT_EQ(trust({&c.localhost()}, Policy::SSL(true, "localhost"), {})->evaluate(), Result::RecoverableTrustFailure);

    // Adding the system's roots back keeps the anchors.
    auto both = trust({&c.localhost()}, Policy::SSL(true, "localhost"), {&c.authority()});
    both->setAnchorCertificatesOnly(false);
    EXPECT_EQ(both->evaluate(), Result::Unspecified);
}

TEST(Trust, ValidityIsJudgedAtTheVerifyDate) {
    const auto& c = certificates();
    EXPECT_EQ(evaluate(c.expired(), "localhost", c.authority()), Result::RecoverableTrustFailure);
    // A certificate pinned as an anchor still has to be within its validity.
    EXPECT_EQ(evaluate(c.expired(), "localhost", c.expired()), Result::RecoverableTrustFailure);

    auto expired = trust({&c.expired()}, Policy::SSL(true, "localhost"), {&c.authority()});
    expired->setVerifyDate(c.expired().notBefore.addingTimeInterval(60));
    EXPECT_EQ(expired->evaluate(), Result::Unspecified);

    auto good = trust({&c.localhost()}, Policy::SSL(true, "localhost"), {&c.authority()});
    for (ns::Date date : {c.localhost().notAfter.addingTimeInterval(1), c.localhost().notBefore.addingTimeInterval(-1)}) {
        good->setVerifyDate(date);
        EXPECT_EQ(good->evaluate(), Result::RecoverableTrustFailure);
    }
}

TEST(Trust, BrokenCertificatesAreFatalAndBadInputIsRefused) {
    const auto& c = certificates();
    ns::Data forged = c.localhost().certificateDER;
    forged.mutableBytes()[forged.length() - 1] ^= 0x01;  // inside the signature
    auto leaf = Certificate::createWithData(forged);
    ASSERT_NE(leaf, nullptr);
    auto broken = Trust::create({leaf}, {Policy::SSL(true, "localhost")});
    broken->setAnchorCertificates({certificate(c.authority())});
    EXPECT_EQ(broken->evaluate(), Result::FatalTrustFailure);
    // Fatal outranks the host mismatch found on the way.
    broken->setPolicies({Policy::SSL(true, "other.example")});
    EXPECT_EQ(broken->evaluate(), Result::FatalTrustFailure);

    EXPECT_EQ(Trust::create({}, {Policy::basicX509()}), nullptr);
    EXPECT_EQ(Trust::create({certificate(c.localhost()), nullptr}, {}), nullptr);
}

}  // namespace
}  // namespace ql::sec
