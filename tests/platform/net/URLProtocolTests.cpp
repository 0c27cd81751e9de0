#include <gtest/gtest.h>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Thread.h"
#include "platform/net/URLConnection.h"
#include "platform/net/URLProtocol.h"
#include "platform/net/URLSession.h"
#include "tests/platform/net/Recorders.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/OnScopeExit.h"

using namespace ql;
using namespace ql::ns;
using ql::test::LoopbackServer;
using ql::test::OnScopeExit;
using ql::test::RecordingConnectionDelegate;
using ql::test::waitFor;

namespace {

std::shared_ptr<RecordingConnectionDelegate> load(const URLRequest& request) {
    auto delegate = std::make_shared<RecordingConnectionDelegate>();
    auto connection = URLConnection::connectionWithRequest(request, delegate);
    EXPECT_TRUE(waitFor([&] { return delegate->done.load(); }));
    return delegate;
}

// Answers "qltest:" requests itself with the properties its request carries.
class EchoProtocol : public URLProtocol {
public:
    using URLProtocol::URLProtocol;
    static inline std::atomic<int> stops{0};
    static inline std::atomic<bool> startedOnMainThread{true};

    static bool canInitWithRequest(const URLRequest& request) {
        return request.URL() && request.URL()->scheme() == "qltest";
    }
    static URLRequest canonicalRequestForRequest(const URLRequest& request) {
        URLRequest canonical = request;
        URLProtocol::setProperty(Value("canonical"), "stage", canonical);
        return canonical;
    }
    void startLoading() override {
        startedOnMainThread = Thread::isMainThread();
        auto response = std::make_shared<URLResponse>(request().URL(), "text/plain", 5, "utf-8");
        client()->URLProtocolDidReceiveResponse(*this, response, URLCacheStoragePolicy::NotAllowed);
        const std::string body = std::string(propertyForKey("stage", request()).asString()) + "|" +
                                 std::string(propertyForKey("from caller", request()).asString());
        client()->URLProtocolDidLoadData(*this, Data(std::string_view(body)));
        client()->URLProtocolDidFinishLoading(*this);
    }
    void stopLoading() override { ++stops; }
};

// Takes the same requests; registered later, it is asked first.
class LaterProtocol final : public EchoProtocol {
public:
    using EchoProtocol::EchoProtocol;
    void startLoading() override {
        client()->URLProtocolDidReceiveResponse(*this, std::make_shared<URLResponse>(request().URL(), "text/plain", 5, std::nullopt),
                                                URLCacheStoragePolicy::NotAllowed);
        client()->URLProtocolDidLoadData(*this, Data(std::string_view("later")));
        client()->URLProtocolDidFinishLoading(*this);
    }
};

// Passes a connection's reports on to a protocol's client.
class Relay final : public Object, public URLConnectionDelegate {
public:
    explicit Relay(URLProtocol& protocol) : protocol_(protocol) {}
    void connectionDidReceiveResponse(URLConnection&, const std::shared_ptr<URLResponse>& response) override {
        protocol_.client()->URLProtocolDidReceiveResponse(protocol_, response, URLCacheStoragePolicy::Allowed);
    }
    void connectionDidReceiveData(URLConnection&, const Data& data) override {
        protocol_.client()->URLProtocolDidLoadData(protocol_, data);
    }
    void connectionDidFinishLoading(URLConnection&) override { protocol_.client()->URLProtocolDidFinishLoading(protocol_); }
    void connectionDidFailWithError(URLConnection&, const Error& error) override {
        protocol_.client()->URLProtocolDidFailWithError(protocol_, error);
    }

private:
    URLProtocol& protocol_;
};

// Takes over HTTP loads and performs them again through a connection of its own, on the protocol thread,
// marking its request so that it does not take that one too.
class RelayProtocol final : public URLProtocol {
public:
    using URLProtocol::URLProtocol;
    static inline std::atomic<int> taken{0};
    static inline std::atomic<int> stops{0};

    static bool canInitWithRequest(const URLRequest& request) {
        return request.URL() && request.URL()->scheme() == "http" && propertyForKey("RelayProtocol", request).isNil();
    }
    static URLRequest canonicalRequestForRequest(const URLRequest& request) {
        URLRequest marked = request;
        setProperty(Value(true), "RelayProtocol", marked);
        return marked;
    }
    void startLoading() override {
        ++taken;
        relay_ = std::make_shared<Relay>(*this);
        connection_ = URLConnection::connectionWithRequest(request(), relay_);
    }
    void stopLoading() override {
        connection_->cancel();
        ++stops;
    }

private:
    std::shared_ptr<Relay> relay_;
    std::shared_ptr<URLConnection> connection_;
};

}  // namespace

TEST(URLProtocolTests, ARegisteredProtocolLoadsWithTheRequestsProperties) {
    ASSERT_TRUE(URLProtocol::registerClass<EchoProtocol>());
    const OnScopeExit unregister([] {
        URLProtocol::unregisterClass<LaterProtocol>();
        URLProtocol::unregisterClass<EchoProtocol>();
    });
    EXPECT_FALSE(URLProtocol::registerClass<EchoProtocol>());
    URLRequest request(URL::fromString("qltest://anything/echo"));
    URLProtocol::setProperty(Value("hello"), "from caller", request);
    URLRequest copy = request;
    EXPECT_EQ(URLProtocol::propertyForKey("from caller", copy).asString(), "hello");
    URLProtocol::removePropertyForKey("from caller", copy);
    EXPECT_TRUE(URLProtocol::propertyForKey("from caller", copy).isNil());

    EchoProtocol::stops = 0;
    auto delegate = load(request);
    EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"will send /echo", "response 0", "data", "finish"}));
    EXPECT_EQ(delegate->body.toString(), "canonical|hello");
    EXPECT_FALSE(EchoProtocol::startedOnMainThread);
    EXPECT_TRUE(waitFor([] { return EchoProtocol::stops == 1; }));

    // Registered later, asked first; once it is gone the earlier one answers again.
    ASSERT_TRUE(URLProtocol::registerClass<LaterProtocol>());
    EXPECT_EQ(load(request)->body.toString(), "later");
    URLProtocol::unregisterClass<LaterProtocol>();
    EXPECT_EQ(load(request)->body.toString(), "canonical|hello");
    URLProtocol::unregisterClass<EchoProtocol>();
    EXPECT_EQ(load(request)->error->code(), URLErrorUnsupportedURL);
}

TEST(URLProtocolTests, AProtocolCanLoadThroughItsOwnConnection) {
    LoopbackServer server;
    server.serveText("/relayed", "through the relay");
    RelayProtocol::taken = 0;
    RelayProtocol::stops = 0;
    ASSERT_TRUE(URLProtocol::registerClass<RelayProtocol>());
    const OnScopeExit unregister([] { URLProtocol::unregisterClass<RelayProtocol>(); });
    auto delegate = load(URLRequest(URL::fromString(server.url("/relayed"))));
    EXPECT_EQ(delegate->body.toString(), "through the relay");
    EXPECT_EQ(RelayProtocol::taken, 1);

    // Sessions ask the registered protocols too.
    std::atomic<bool> done{false};
    std::optional<Data> body;
    URLSession::sharedSession()
        ->dataTaskWithURL(*URL::fromString(server.url("/relayed")),
                          [&](const std::optional<Data>& data, const std::shared_ptr<URLResponse>&,
                              const std::optional<Error>&) {
                              body = data;
                              done = true;
                          })
        ->resume();
    ASSERT_TRUE(waitFor([&] { return done.load(); }));
    URLProtocol::unregisterClass<RelayProtocol>();
    ASSERT_TRUE(body);
    EXPECT_EQ(body->toString(), "through the relay");
    EXPECT_EQ(RelayProtocol::taken, 2);
    EXPECT_TRUE(waitFor([] { return RelayProtocol::stops == 2; }));
    EXPECT_EQ(server.requests("/relayed").size(), 2u);  // each load reached the server once
}
