// The HTTP client against libcurl used directly, over loopback: 1,000 sequential form POSTs answered with
// a small JSON reply. The client goes through the request-operation manager with the JSON response
// serializer, each reply delivered on the main queue that the benchmark pumps; the baseline reuses one easy
// handle, form-encodes the same fields and parses each reply with the platform's JSON reader. Compare the
// two times.

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <memory>
#include <string>

#include "net/NetHTTPRequestOperationManager.h"
#include "net/NetJSONResponseSerializer.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/RunLoop.h"
#include "tests/support/LoopbackServer.h"

namespace {

using ql::test::LoopbackServer;
namespace ns = ql::ns;

constexpr int kRequests = 1000;
constexpr const char* kUserName = "13800000000";
constexpr const char* kPassword = "p w&=";
constexpr const char* kAuthKey = "k-123";

LoopbackServer& server() {
    static LoopbackServer* s = [] {
        auto* created = new LoopbackServer;
        created->serveText("/Mobile/StudentLogin", R"({"result":1,"msg":"登录成功","uid":42,"token":"abcdef"})",
                           "application/json");
        return created;
    }();
    return *s;
}

std::size_t collect(char* bytes, std::size_t size, std::size_t count, void* body) {
    static_cast<std::string*>(body)->append(bytes, size * count);
    return size * count;
}

void BM_FormPostsWithCurlAndJSONReader(benchmark::State& state) {
    const std::string url = server().url("/Mobile/StudentLogin");
    CURL* handle = curl_easy_init();
    std::string reply;
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/x-www-form-urlencoded");
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &collect);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &reply);
    const auto escaped = [handle](const char* text) {
        char* made = curl_easy_escape(handle, text, 0);
        std::string out(made);
        curl_free(made);
        return out;
    };
    for (auto _ : state) {
        for (int i = 0; i < kRequests; ++i) {
            const std::string body = "authkey=" + escaped(kAuthKey) + "&password=" + escaped(kPassword) +
                                     "&userName=" + escaped(kUserName);
            curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
            curl_easy_setopt(handle, CURLOPT_COPYPOSTFIELDS, body.c_str());
            reply.clear();
            if (curl_easy_perform(handle) != CURLE_OK) state.SkipWithError("a transfer failed");
            ns::Error error(std::string(ns::CocoaErrorDomain), 0);
            const ns::Value object = ns::JSONSerialization::JSONObjectWithData(reply, 0, &error);
            if (object["result"].int64Value() != 1) state.SkipWithError("a reply did not parse");
        }
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(handle);
    state.SetItemsProcessed(state.iterations() * kRequests);
}

void BM_FormPostsWithOperationManager(benchmark::State& state) {
    const std::string url = server().url("/Mobile/StudentLogin");
    const ns::Value parameters(ns::Dictionary{
        {"userName", ns::Value(kUserName)}, {"password", ns::Value(kPassword)}, {"authkey", ns::Value(kAuthKey)}});
    auto manager = ql::NetHTTPRequestOperationManager::manager();
    manager->setResponseSerializer(ql::NetJSONResponseSerializer::serializer());
    manager->requestSerializer()->setValue(kAuthKey, "authkey");
    for (auto _ : state) {
        for (int i = 0; i < kRequests; ++i) {
            bool done = false;
            bool parsed = false;
            manager->POST(
                url, parameters,
                [&](const std::shared_ptr<ql::NetHTTPRequestOperation>&, const ns::Value& object) {
                    parsed = object["result"].int64Value() == 1;
                    done = true;
                },
                [&](const std::shared_ptr<ql::NetHTTPRequestOperation>&, const ns::Error&) { done = true; });
            if (!ns::RunLoop::main()->runUntil([&] { return done; }, 20) || !parsed)
                state.SkipWithError("a request failed");
        }
    }
    state.SetItemsProcessed(state.iterations() * kRequests);
}

}  // namespace

BENCHMARK(BM_FormPostsWithCurlAndJSONReader)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FormPostsWithOperationManager)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
