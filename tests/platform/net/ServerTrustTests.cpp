#include <gtest/gtest.h>

#include "platform/foundation/RunLoop.h"
#include "platform/net/URLConnection.h"
#include "platform/net/URLError.h"
#include "platform/net/URLSession.h"
#include "tests/platform/net/Recorders.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestCertificates.h"

using namespace ql;
using namespace ql::ns;
using ql::test::LoopbackServer;
using ql::test::RecordingConnectionDelegate;
using ql::test::RecordingSessionDelegate;
using ql::test::TestCertificates;
using ql::test::TestIdentity;
using ql::test::waitFor;

namespace {

const TestCertificates& certificates() { return TestCertificates::shared(); }

std::shared_ptr<RecordingConnectionDelegate> load(const URLRequest& request,
                                                 std::shared_ptr<RecordingConnectionDelegate> delegate =
                                                     std::make_shared<RecordingConnectionDelegate>()) {
    auto connection = URLConnection::connectionWithRequest(request, delegate);
    EXPECT_TRUE(waitFor([&] { return delegate->done.load(); }));
    return delegate;
}

// Judges a server's trust against the test authority alone, as a pinning policy does.
bool trustedByTestAuthority(const std::shared_ptr<sec::Trust>& trust) {
    trust->setAnchorCertificates({sec::Certificate::createWithData(certificates().authority().certificateDER)});
    trust->setAnchorCertificatesOnly(true);
    return trust->evaluate() == sec::TrustResultType::Unspecified;
}

void answerByTestAuthority(URLConnection&, const std::shared_ptr<URLAuthenticationChallenge>& challenge) {
    const auto& trust = challenge->protectionSpace().serverTrust();
    if (trustedByTestAuthority(trust)) {
        challenge->sender()->useCredential(URLCredential::credentialForTrust(trust), *challenge);
    } else {
        challenge->sender()->cancelAuthenticationChallenge(*challenge);
    }
}

}  // namespace

TEST(ServerTrustTests, ARefusedServerSeesNoRequest) {
    LoopbackServer server(certificates().selfSigned());
    server.serveText("/secret", "secret");
    const URLRequest request(URL::fromString(server.url("/secret")));

    auto delegate = std::make_shared<RecordingConnectionDelegate>();
    std::shared_ptr<sec::Trust> presented;
    delegate->onChallenge = [&](URLConnection&, const std::shared_ptr<URLAuthenticationChallenge>& challenge) {
        EXPECT_EQ(challenge->protectionSpace().host(), "127.0.0.1");
        EXPECT_EQ(challenge->protectionSpace().port(), server.port());
        presented = challenge->protectionSpace().serverTrust();
        challenge->sender()->cancelAuthenticationChallenge(*challenge);
    };
    load(request, delegate);
    EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"will send /secret",
                                                           "challenge NSURLAuthenticationMethodServerTrust", "fail -1012"}));
    ASSERT_TRUE(presented);
    ASSERT_GE(presented->certificateCount(), 1u);
    EXPECT_EQ(presented->certificateAtIndex(0)->data(), certificates().selfSigned().certificateDER);

    // A session's delegate refusing, and the default judgement (the system's roots know no test certificate).
    auto sessionDelegate = std::make_shared<RecordingSessionDelegate>();
    sessionDelegate->onChallenge = [](const std::shared_ptr<URLAuthenticationChallenge>&,
                                      URLSessionChallengeCompletion handler) {
        handler(URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge, nullptr);
    };
    auto session = URLSession::sessionWithConfiguration(nullptr, sessionDelegate, nullptr);
    session->dataTaskWithRequest(request)->resume();
    ASSERT_TRUE(waitFor([&] { return sessionDelegate->done.load(); }));
    EXPECT_EQ(sessionDelegate->error->code(), URLErrorCancelled);

    auto byDefault = load(request);
    EXPECT_EQ(byDefault->error->code(), URLErrorServerCertificateUntrusted);
    Error error(std::string(), 0);
    EXPECT_FALSE(URLConnection::sendSynchronousRequest(request, nullptr, &error));
    EXPECT_EQ(error.code(), URLErrorServerCertificateUntrusted);

    EXPECT_EQ(server.requestCount(), 0u);
}

TEST(ServerTrustTests, AnAcceptedServerIsLoadedAndRemembered) {
    LoopbackServer server(certificates().localhostViaIntermediate());
    server.serveText("/pinned", "pinned content");
    const URLRequest request(URL::fromString(server.url("/pinned")));

    auto delegate = std::make_shared<RecordingConnectionDelegate>();
    delegate->onChallenge = answerByTestAuthority;
    load(request, delegate);
    EXPECT_EQ(delegate->body.toString(), "pinned content");

    // A session asks once per server; later tasks go over the accepted connection without asking.
    auto sessionDelegate = std::make_shared<RecordingSessionDelegate>();
    std::atomic<int> challenges{0};
    sessionDelegate->onChallenge = [&](const std::shared_ptr<URLAuthenticationChallenge>& challenge,
                                       URLSessionChallengeCompletion handler) {
        ++challenges;
        const auto& trust = challenge->protectionSpace().serverTrust();
        if (trustedByTestAuthority(trust)) {
            handler(URLSessionAuthChallengeDisposition::UseCredential, URLCredential::credentialForTrust(trust));
        } else {
            handler(URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge, nullptr);
        }
    };
    auto session = URLSession::sessionWithConfiguration(nullptr, sessionDelegate, nullptr);
    for (int i = 0; i < 2; ++i) {
        sessionDelegate->done = false;
        session->dataTaskWithRequest(request)->resume();
        ASSERT_TRUE(waitFor([&] { return sessionDelegate->done.load(); }));
        EXPECT_FALSE(sessionDelegate->error);
    }
    EXPECT_EQ(challenges, 1);
    auto seen = server.requests("/pinned");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1].remotePort, seen[2].remotePort);
}

TEST(ServerTrustTests, ExpiredAndWrongHostCertificatesAreRefused) {
    for (const TestIdentity* identity : {&certificates().expired(), &certificates().wrongHost()}) {
        LoopbackServer server(*identity);
        server.serveText("/refused", "never");
        auto delegate = std::make_shared<RecordingConnectionDelegate>();
        delegate->onChallenge = answerByTestAuthority;
        load(URLRequest(URL::fromString(server.url("/refused"))), delegate);
        ASSERT_TRUE(delegate->error);
        EXPECT_EQ(delegate->error->code(), URLErrorUserCancelledAuthentication);
        EXPECT_EQ(server.requestCount(), 0u);
    }
}
