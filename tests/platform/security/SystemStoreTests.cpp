// The system's roots come from OpenSSL's default verify paths, which honour SSL_CERT_FILE and
// SSL_CERT_DIR: pointing them at the test CA makes it a system root for this process only.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "platform/security/Trust.h"
#include "tests/support/TestCertificates.h"

namespace ql::sec {
namespace {

using test::TestCertificates;

std::shared_ptr<Certificate> certificate(const test::TestIdentity& identity) {
    return Certificate::createWithData(identity.certificateDER);
}

TEST(SystemStore, ChainsToSystemRootsUnlessAnchorsReplaceThem) {
    const auto& c = TestCertificates::shared();
    char directory[] = "/tmp/ql-system-store-XXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    const std::string file = std::string(directory) + "/roots.pem";
    std::ofstream(file) << c.authority().certificatePEM;
    // Before the first evaluation: the system store is read once per process.
    setenv("SSL_CERT_FILE", file.c_str(), 1);
    setenv("SSL_CERT_DIR", directory, 1);

    auto system = Trust::create({certificate(c.localhost())}, {Policy::SSL(true, "localhost")});
    EXPECT_EQ(system->evaluate(), TrustResultType::Unspecified);
    ASSERT_EQ(system->certificateCount(), 2u);
    EXPECT_EQ(system->certificateAtIndex(1)->data(), c.authority().certificateDER);
    EXPECT_EQ(Trust::create({certificate(c.selfSigned())}, {Policy::SSL(true, "localhost")})->evaluate(),
              TrustResultType::RecoverableTrustFailure);

    auto replaced = Trust::create({certificate(c.localhost())}, {Policy::SSL(true, "localhost")});
    replaced->setAnchorCertificates({certificate(c.selfSigned())});
    EXPECT_EQ(replaced->evaluate(), TrustResultType::RecoverableTrustFailure);
    replaced->setAnchorCertificatesOnly(false);
    EXPECT_EQ(replaced->evaluate(), TrustResultType::Unspecified);
    system->setAnchorCertificatesOnly(true);
    EXPECT_EQ(system->evaluate(), TrustResultType::RecoverableTrustFailure);

    unlink(file.c_str());
    rmdir(directory);
}

}  // namespace
}  // namespace ql::sec
