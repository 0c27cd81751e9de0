#include <gtest/gtest.h>

#include "net/NetSecurityPolicy.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"
#include "platform/security/Certificate.h"
#include "platform/security/Policy.h"
#include "tests/support/TestCertificates.h"

namespace ql {
namespace {

using test::TestCertificates;
using test::TestIdentity;

const TestCertificates& certificates() { return TestCertificates::shared(); }

std::shared_ptr<sec::Certificate> certificate(const TestIdentity& identity) {
    return sec::Certificate::createWithData(identity.certificateDER);
}

// What a server presents. The platform would trust the test authority as a system root; here the trust is
// given it as an anchor, which a certificate-pinning policy then replaces with its pins.
std::shared_ptr<sec::Trust> serverTrust(std::vector<const TestIdentity*> chain, bool trustTestAuthority = true) {
    std::vector<std::shared_ptr<sec::Certificate>> certs;
    for (const auto* identity : chain) certs.push_back(certificate(*identity));
    auto trust = sec::Trust::create(std::move(certs), {sec::Policy::basicX509()});
    if (trustTestAuthority) {
        trust->setAnchorCertificates({certificate(certificates().authority())});
        trust->setAnchorCertificatesOnly(false);
    }
    return trust;
}

std::shared_ptr<NetSecurityPolicy> pinning(std::uint64_t mode, std::vector<const TestIdentity*> pins) {
    auto policy = NetSecurityPolicy::defaultPolicy();
    policy->setSSLPinningMode(mode);
    std::vector<ns::Data> data;
    for (const auto* identity : pins) data.push_back(identity->certificateDER);
    policy->setPinnedCertificates(data);
    return policy;
}

TEST(NetSecurityPolicy, DefaultPolicyTrustsWhatThePlatformTrustsForTheHost) {
    const auto& c = certificates();
    auto policy = NetSecurityPolicy::defaultPolicy();
    EXPECT_TRUE(policy->validatesDomainName());
    EXPECT_FALSE(policy->allowInvalidCertificates());
    EXPECT_EQ(policy->SSLPinningMode(), NetSSLPinningModeNone);

    EXPECT_TRUE(policy->evaluateServerTrust(serverTrust({&c.localhost()}), "localhost"));
    EXPECT_TRUE(policy->evaluateServerTrust(serverTrust({&c.localhostViaIntermediate(), &c.intermediate()}), "127.0.0.1"));
    EXPECT_TRUE(policy->evaluateServerTrust(serverTrust({&c.localhost()})));
    EXPECT_FALSE(policy->evaluateServerTrust(serverTrust({&c.localhost()}), "example.com"));
    EXPECT_FALSE(policy->evaluateServerTrust(serverTrust({&c.selfSigned()}), "localhost"));
    EXPECT_FALSE(policy->evaluateServerTrust(serverTrust({&c.expired()}), "localhost"));
    EXPECT_FALSE(policy->evaluateServerTrust(serverTrust({&c.localhost()}, false), "localhost"));
    EXPECT_FALSE(policy->evaluateServerTrust(nullptr, "localhost"));
}

TEST(NetSecurityPolicy, AllowingInvalidCertificatesNeedsPinningToCheckDomains) {
    const auto& c = certificates();
    auto policy = NetSecurityPolicy::defaultPolicy();
    policy->setAllowInvalidCertificates(true);
    {
        ns::Log::Capture log;
        EXPECT_FALSE(policy->evaluateServerTrust(serverTrust({&c.localhost()}), "localhost"));
        EXPECT_EQ(log.lines(), std::vector<std::string>{
                                   "In order to validate a domain name for self signed certificates, you MUST use pinning."});
    }
    // Without a host there is no domain to validate.
    EXPECT_TRUE(policy->evaluateServerTrust(serverTrust({&c.selfSigned()})));

    policy->setValidatesDomainName(false);
    for (const TestIdentity* leaf : {&c.selfSigned(), &c.expired(), &c.wrongHost()})
        EXPECT_TRUE(policy->evaluateServerTrust(serverTrust({leaf}, false), "localhost"));
}

TEST(NetSecurityPolicy, CertificatePinningTrustsOnlyChainsHoldingAPinnedCertificate) {
    const auto& c = certificates();
    auto leafPinned = pinning(NetSSLPinningModeCertificate, {&c.localhost()});
    // The pin alone is the anchor: no system root is needed.
    EXPECT_TRUE(leafPinned->evaluateServerTrust(serverTrust({&c.localhost()}), "localhost"));
    EXPECT_FALSE(leafPinned->evaluateServerTrust(serverTrust({&c.localhost()}), "wrong.example"));
    auto authorityPinned = pinning(NetSSLPinningModeCertificate, {&c.authority()});
    EXPECT_TRUE(authorityPinned->evaluateServerTrust(serverTrust({&c.localhost()}), "localhost"));

    auto elsewhere = pinning(NetSSLPinningModeCertificate, {&c.wrongHost()});
    EXPECT_FALSE(elsewhere->evaluateServerTrust(serverTrust({&c.localhost()}), "localhost"));
    auto intermediatePinned = pinning(NetSSLPinningModeCertificate, {&c.intermediate()});
    EXPECT_FALSE(intermediatePinned->evaluateServerTrust(serverTrust({&c.localhost()}), "localhost"));
    EXPECT_TRUE(intermediatePinned->evaluateServerTrust(
        serverTrust({&c.localhostViaIntermediate(), &c.intermediate()}), "localhost"));

    // Allowing invalid certificates lets an unknown root through to the pinning checks, which still decide.
    auto selfPinned = pinning(NetSSLPinningModeCertificate, {&c.selfSigned()});
    EXPECT_FALSE(selfPinned->evaluateServerTrust(serverTrust({&c.selfSigned()}, false), "localhost"));
    selfPinned->setAllowInvalidCertificates(true);
    EXPECT_TRUE(selfPinned->evaluateServerTrust(serverTrust({&c.selfSigned()}, false), "localhost"));
    EXPECT_FALSE(selfPinned->evaluateServerTrust(serverTrust({&c.localhost()}, false), "localhost"));
    authorityPinned->setAllowInvalidCertificates(true);
    EXPECT_FALSE(authorityPinned->evaluateServerTrust(serverTrust({&c.expired()}), "localhost"));
    EXPECT_FALSE(pinning(NetSSLPinningModeCertificate, {})->evaluateServerTrust(serverTrust({&c.localhost()}), "localhost"));
}

TEST(NetSecurityPolicy, PublicKeyPinningMatchesAnyKeyOfTheChain) {
    const auto& c = certificates();
    auto intermediateKey = pinning(NetSSLPinningModePublicKey, {&c.intermediate()});
    EXPECT_TRUE(intermediateKey->evaluateServerTrust(serverTrust({&c.localhostViaIntermediate(), &c.intermediate()}),
                                                     "localhost"));
    EXPECT_FALSE(intermediateKey->evaluateServerTrust(serverTrust({&c.localhost()}), "localhost"));
    // The chain must still be valid unless invalid certificates are allowed; then the key alone decides.
    auto expiredKey = pinning(NetSSLPinningModePublicKey, {&c.expired()});
    EXPECT_FALSE(expiredKey->evaluateServerTrust(serverTrust({&c.expired()}), "localhost"));
    expiredKey->setAllowInvalidCertificates(true);
    EXPECT_TRUE(expiredKey->evaluateServerTrust(serverTrust({&c.expired()}), "localhost"));
    EXPECT_FALSE(expiredKey->evaluateServerTrust(serverTrust({&c.selfSigned()}), "localhost"));

    EXPECT_FALSE(pinning(7, {&c.localhost()})->evaluateServerTrust(serverTrust({&c.localhost()}), "localhost"));
}

TEST(NetSecurityPolicy, PinsAreKeptOnceWithTheirKeysAndSurviveArchivesAndCopies) {
    const auto& c = certificates();
    auto policy = pinning(NetSSLPinningModePublicKey, {&c.localhost(), &c.authority(), &c.localhost()});
    policy->setPinnedCertificates({c.localhost().certificateDER, ns::Data("no certificate"), c.authority().certificateDER,
                                   c.localhost().certificateDER});
    ASSERT_EQ(policy->pinnedCertificates().size(), 3u);
    ASSERT_EQ(policy->pinnedPublicKeys().size(), 2u);
    EXPECT_TRUE(policy->pinnedPublicKeys()[0]->isEqual(*certificate(c.localhost())->publicKey()));
    EXPECT_TRUE(policy->pinnedPublicKeys()[1]->isEqual(*certificate(c.authority())->publicKey()));

    int changes = 0;
    auto observation = policy->addObserver("pinnedPublicKeys", ns::KeyValueObservingOptionNew,
                                           [&](const ns::KeyValueChange& change) {
                                               ++changes;
                                               EXPECT_EQ(change.newValue.count(), 0u);
                                           });
    policy->setPinnedCertificates({});
    EXPECT_EQ(changes, 1);
    observation.invalidate();
    EXPECT_TRUE(policy->pinnedCertificates().empty());
    EXPECT_TRUE(policy->pinnedPublicKeys().empty());

    policy->setPinnedCertificates({c.intermediate().certificateDER});
    policy->setAllowInvalidCertificates(true);
    policy->setValidatesDomainName(false);
    ns::Error error("", 0);
    auto data = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(policy), &error);
    ASSERT_TRUE(data) << error.description();
    auto decoded = ns::KeyedUnarchiver::unarchivedObjectOfClass(NetSecurityPolicy::classObject(), *data, &error)
                       .asObject<NetSecurityPolicy>();
    auto copied = std::dynamic_pointer_cast<NetSecurityPolicy>(policy->copy());
    for (const auto& other : {decoded, copied}) {
        ASSERT_TRUE(other) << error.description();
        EXPECT_EQ(other->SSLPinningMode(), NetSSLPinningModePublicKey);
        EXPECT_TRUE(other->allowInvalidCertificates());
        EXPECT_FALSE(other->validatesDomainName());
        EXPECT_EQ(other->pinnedCertificates(), policy->pinnedCertificates());
        ASSERT_EQ(other->pinnedPublicKeys().size(), 1u);
    }

    // The main bundle ships no certificates.
    EXPECT_TRUE(NetSecurityPolicy::defaultPinnedCertificates().empty());
    EXPECT_EQ(&NetSecurityPolicy::defaultPinnedCertificates(), &NetSecurityPolicy::defaultPinnedCertificates());
    EXPECT_EQ(NetSecurityPolicy::policyWithPinningMode(NetSSLPinningModeCertificate)->SSLPinningMode(),
              NetSSLPinningModeCertificate);
}

}  // namespace
}  // namespace ql
