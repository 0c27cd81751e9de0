// The HTTP client against libcurl used directly, over loopback: 1,000 sequential form POSTs answered with
// a small JSON reply. Three ways, measured in the same run:
// - the request-operation manager with the JSON response serializer, each reply delivered on the main
//   queue that the benchmark pumps;
// - libcurl alone: one reused easy handle sending the very request the manager sends (head and body, as
//   the server saw them), then the platform's JSON reader on the reply;
// - the least the design asks for: the same libcurl request with the six hand-offs the operation road
//   prescribes (operation queue -> "Networking" thread -> completion thread -> main -> processing queue ->
//   main), each done by a bare thread with a locked queue, with the status and content-type checks on the
//   networking hop and the JSON parse on the processing hop.
// Targets: the manager within 1.3x the bare chain, with at most 8 wake-ups per request.
//
// The server runs in a child process, so that the counters (see ServerProcess.h) hold only the client's work.

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cctype>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench/ServerProcess.h"
#include "net/NetHTTPRequestOperationManager.h"
#include "net/NetJSONResponseSerializer.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/RunLoop.h"
#include "tests/support/LoopbackServer.h"

namespace {

using ql::test::LoopbackServer;
namespace ns = ql::ns;

constexpr int kRequests = 1000;
constexpr const char* kPath = "/Mobile/StudentLogin";
constexpr const char* kReply = R"({"result":1,"msg":"登录成功","uid":42,"token":"abcdef"})";
constexpr const char* kUserName = "13800000000";
constexpr const char* kPassword = "p w&=";
constexpr const char* kAuthKey = "k-123";

void serveLogin(LoopbackServer& server) { server.serveText(kPath, kReply, "application/json"); }

// "http://127.0.0.1:<port>" of the server in the child process; set by main.
std::string serverBase;

std::string loginURL() { return serverBase + kPath; }

void reportPerRequest(benchmark::State& state, const ql::bench::ProcessUsage& before) {
    ql::bench::reportUsagePerRequest(state, before, kRequests);
    state.SetItemsProcessed(state.iterations() * kRequests);
}

// ---- The manager's request, as the server sees it ----

ns::Value loginParameters() {
    return ns::Value(ns::Dictionary{
        {"userName", ns::Value(kUserName)}, {"password", ns::Value(kPassword)}, {"authkey", ns::Value(kAuthKey)}});
}

std::shared_ptr<ql::NetHTTPRequestOperationManager> makeManager() {
    auto manager = ql::NetHTTPRequestOperationManager::manager();
    manager->setResponseSerializer(ql::NetJSONResponseSerializer::serializer());
    manager->requestSerializer()->setValue(kAuthKey, "authkey");
    return manager;
}

// One POST through the manager; whether the reply parsed.
bool postThroughManager(ql::NetHTTPRequestOperationManager& manager, const std::string& url,
                        const ns::Value& parameters) {
    bool done = false;
    bool parsed = false;
    manager.POST(
        url, parameters,
        [&](const std::shared_ptr<ql::NetHTTPRequestOperation>&, const ns::Value& object) {
            parsed = object["result"].int64Value() == 1;
            done = true;
        },
        [&](const std::shared_ptr<ql::NetHTTPRequestOperation>&, const ns::Error&) { done = true; });
    return ns::RunLoop::main()->runUntil([&] { return done; }, 20) && parsed;
}

// The head fields and body the manager sends, seen by a server of this process once at start.
struct ManagerRequest {
    std::vector<std::string> headers;  // "Name: value", without those libcurl writes itself
    std::string acceptEncoding;
    std::string body;
};

const ManagerRequest& managerRequest() {
    static const ManagerRequest seen = [] {
        LoopbackServer server;
        serveLogin(server);
        auto manager = makeManager();
        if (!postThroughManager(*manager, server.url(kPath), loginParameters())) std::abort();
        const auto request = server.requests(kPath).at(0);
        ManagerRequest out;
        out.body = request.body;
        bool accept = false;
        for (const auto& [name, value] : request.headers) {
            std::string lower;
            for (char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            // Written by libcurl from the URL and body, or added by the server about the connection.
            if (lower == "host" || lower == "content-length" || lower.starts_with("remote_") ||
                lower.starts_with("local_"))
                continue;
            if (lower == "accept-encoding") {
                out.acceptEncoding = value;
                continue;
            }
            accept = accept || lower == "accept";
            out.headers.push_back(name + ": " + value);
        }
        if (!accept) out.headers.push_back("Accept:");  // libcurl would add one of its own
        return out;
    }();
    return seen;
}

// ---- libcurl alone ----

std::size_t collect(char* bytes, std::size_t size, std::size_t count, void* body) {
    static_cast<std::string*>(body)->append(bytes, size * count);
    return size * count;
}

// An easy handle sending the manager's request; the reply lands in `reply`.
class CurlPoster {
public:
    CurlPoster() : handle_(curl_easy_init()) {
        const ManagerRequest& request = managerRequest();
        for (const auto& header : request.headers) headers_ = curl_slist_append(headers_, header.c_str());
        curl_easy_setopt(handle_, CURLOPT_URL, loginURL().c_str());
        curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headers_);
        if (!request.acceptEncoding.empty()) curl_easy_setopt(handle_, CURLOPT_ACCEPT_ENCODING, request.acceptEncoding.c_str());
        curl_easy_setopt(handle_, CURLOPT_POSTFIELDSIZE, static_cast<long>(request.body.size()));
        curl_easy_setopt(handle_, CURLOPT_POSTFIELDS, request.body.c_str());
        curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &collect);
        curl_easy_setopt(handle_, CURLOPT_WRITEDATA, &reply);
    }
    ~CurlPoster() {
        curl_slist_free_all(headers_);
        curl_easy_cleanup(handle_);
    }
    CurlPoster(const CurlPoster&) = delete;
    CurlPoster& operator=(const CurlPoster&) = delete;

    // Whether the POST came back 200 with a JSON reply.
    bool post() {
        reply.clear();
        if (curl_easy_perform(handle_) != CURLE_OK) return false;
        long status = 0;
        const char* contentType = nullptr;
        curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_getinfo(handle_, CURLINFO_CONTENT_TYPE, &contentType);
        return status == 200 && contentType && std::string_view(contentType).starts_with("application/json");
    }

    std::string reply;

private:
    CURL* handle_;
    curl_slist* headers_ = nullptr;
};

bool parsesAsLoginReply(const std::string& reply) {
    ns::Error error(std::string(ns::CocoaErrorDomain), 0);
    return ns::JSONSerialization::JSONObjectWithData(reply, 0, &error)["result"].int64Value() == 1;
}

void BM_FormPostsWithCurlAndJSONReader(benchmark::State& state) {
    CurlPoster poster;
    const auto before = ql::bench::ProcessUsage::now();
    for (auto _ : state) {
        for (int i = 0; i < kRequests; ++i) {
            if (!poster.post() || !parsesAsLoginReply(poster.reply)) state.SkipWithError("a request failed");
        }
    }
    reportPerRequest(state, before);
}

// ---- The bare chain of prescribed hand-offs ----

// A locked queue of work and the thread that waits on it; the cheapest hand-off there is.
class Mailbox {
public:
    void post(std::function<void()> work) {
        {
            std::lock_guard lock(mutex_);
            work_.push_back(std::move(work));
        }
        ready_.notify_one();
    }
    // Runs work as it comes; an empty work item ends it.
    void serve() {
        for (;;) {
            std::function<void()> work;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [&] { return !work_.empty(); });
                work = std::move(work_.front());
                work_.pop_front();
            }
            if (!work) return;
            work();
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> work_;
};

class Hop {
public:
    Hop() : thread_([this] { mailbox_.serve(); }) {}
    ~Hop() {
        mailbox_.post(nullptr);
        thread_.join();
    }
    void post(std::function<void()> work) { mailbox_.post(std::move(work)); }

private:
    Mailbox mailbox_;
    std::thread thread_;
};

void BM_FormPostsWithBareHandOffChain(benchmark::State& state) {
    Hop operationQueue, networking, completion, processing;
    Mailbox main;
    CurlPoster poster;  // used on the networking hop only
    const auto before = ql::bench::ProcessUsage::now();
    for (auto _ : state) {
        for (int i = 0; i < kRequests; ++i) {
            bool parsed = false;
            operationQueue.post([&] {
                networking.post([&] {
                    const bool ok = poster.post();
                    std::string reply = std::move(poster.reply);
                    completion.post([&, ok, reply = std::move(reply)]() mutable {
                        main.post([&, ok, reply = std::move(reply)]() mutable {
                            processing.post([&, ok, reply = std::move(reply)] {
                                const bool good = ok && parsesAsLoginReply(reply);
                                main.post([&, good] {
                                    parsed = good;
                                    main.post(nullptr);  // this request is done: back to the loop below
                                });
                            });
                        });
                    });
                });
            });
            main.serve();
            if (!parsed) state.SkipWithError("a request failed");
        }
    }
    reportPerRequest(state, before);
}

// ---- The manager ----

void BM_FormPostsWithOperationManager(benchmark::State& state) {
    const std::string url = loginURL();
    const ns::Value parameters = loginParameters();
    auto manager = makeManager();
    const auto before = ql::bench::ProcessUsage::now();
    for (auto _ : state) {
        for (int i = 0; i < kRequests; ++i) {
            if (!postThroughManager(*manager, url, parameters)) state.SkipWithError("a request failed");
        }
    }
    reportPerRequest(state, before);
}

}  // namespace

BENCHMARK(BM_FormPostsWithCurlAndJSONReader)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FormPostsWithBareHandOffChain)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FormPostsWithOperationManager)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    // Before any thread starts: the child must not inherit a half-held lock.
    serverBase = ql::bench::startServerProcess(serveLogin);
    const ManagerRequest& request = managerRequest();
    std::printf("request: %zu head fields, %zu body bytes\n", request.headers.size(), request.body.size());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
