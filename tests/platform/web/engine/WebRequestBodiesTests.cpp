// What a page sends reaches the server as the page gave it: bytes of every value, a form with a file, a
// text in another encoding than UTF-8, whether a script sends it or a form's navigation. A body the app
// cannot take in whole is never sent short: the page sees its request fail, and the view goes on loading.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "platform/foundation/Base64.h"
#include "platform/foundation/Sandbox.h"
#include "platform/web/WebEngine.h"
#include "platform/web/WebEngineError.h"
#include "platform/web/WebEngineFields.h"
#include "platform/web/WebView.h"
#include "tests/platform/web/engine/WebViewRecorder.h"
#include "tests/support/LoopbackServer.h"

namespace ql {
namespace {

using test::LoopbackServer;
using test::pumpUntil;
using test::WebViewRecorder;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kMiB = std::size_t{1} << 20;

using Page = test::RecordedPage;

// The body the server received at `path`, or "(none)".
std::string received(const LoopbackServer& server, const std::string& path) {
    const auto seen = server.requests(path);
    return seen.empty() ? "(none)" : seen.back().body;
}

// Where two bodies first differ, for a failure worth reading; npos when they are the same.
std::size_t firstDifference(const std::string& a, const std::string& b) {
    if (a == b) return std::string::npos;
    return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
}

TEST(WebRequestBodies, WhatAPageSendsReachesTheServerByteForByte) {
    // Random bytes, every value among them, for the file; the page is handed them in Base64.
    std::mt19937 random(54);
    std::string file(300 * 1024, '\0');
    for (char& byte : file) byte = static_cast<char>(random() & 0xff);
    std::string binary(kMiB, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>((i * 7 + (i >> 8)) & 0xff);

    LoopbackServer server;
    for (const char* path : {"/binary", "/stream"}) server.serveText(path, "ok");
    // The form's parts as the server's own reader of forms finds them.
    std::mutex partsMutex;
    std::vector<httplib::MultipartFormData> parts;
    server.handle("/form", [&](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(partsMutex);
        for (const auto& [name, part] : request.files) parts.push_back(part);
        response.set_content("ok", "text/plain");
    });
    server.serveText("/posted", "<title>posted</title>", "text/html");
    server.serveText("/send",
                     "<title>send</title><script>"
                     "var bytes = new Uint8Array(1048576);"
                     "for (var i = 0; i < bytes.length; i++) bytes[i] = (i * 7 + (i >> 8)) & 255;"
                     "var file = Uint8Array.from(atob('" + ns::base64EncodedString(ns::Data(file)) + "'), function(c) { return c.charCodeAt(0); });"
                     "var form = new FormData(); form.append('name', '小明'); form.append('file', new File([file], 'noise.bin'));"
                     "var stream = new ReadableStream({start: function(c) { c.enqueue(new Uint8Array([1, 200])); c.close(); }});"
                     "fetch('/binary', {method: 'POST', body: bytes, headers: {'Content-Type': 'application/octet-stream'}})"
                     ".then(function() { return fetch('/form', {method: 'POST', body: form}); })"
                     ".then(function() { return fetch('/stream', {method: 'POST', body: stream, duplex: 'half'}); })"
                     ".then(function() { location.hash = 'streamed'; }, function() { location.hash = 'stream-failed'; });"
                     "</script>",
                     "text/html; charset=utf-8");
    // A form in the page's encoding (GBK), sent as plain text and so not escaped: by a navigation.
    server.serveText("/gbk",
                     "<form method=post action=/posted enctype=text/plain><input name=a value=\"\xd6\xd0\xce\xc4 \x80\"></form>"
                     "<script>addEventListener('load', function() { document.forms[0].submit(); });</script>",
                     "text/html; charset=gbk");
    Page page;
    page.load(server.url("/send"));
    // The page tells it is done by a jump within itself, which the view hears of.
    ASSERT_TRUE(pumpUntil([&] { return page.delegate->events.back().starts_with("should /send#"); }, 60));
    EXPECT_EQ(page.delegate->events.back(), "should /send#stream-failed link")
        << "a body the page streams is not handed over: it is failed, not sent empty";
    EXPECT_EQ(received(server, "/stream"), "(none)");

    const std::string sentBinary = received(server, "/binary");
    EXPECT_EQ(sentBinary.size(), binary.size());
    EXPECT_EQ(firstDifference(sentBinary, binary), std::string::npos);
    std::lock_guard lock(partsMutex);
    ASSERT_EQ(parts.size(), 2u);
    const auto named = [&](const std::string& name) {
        const auto found = std::find_if(parts.begin(), parts.end(), [&](const auto& part) { return part.name == name; });
        return found == parts.end() ? httplib::MultipartFormData{} : *found;
    };
    EXPECT_EQ(named("name").content, "小明");
    EXPECT_EQ(named("file").filename, "noise.bin");
    EXPECT_EQ(named("file").content.size(), file.size());
    EXPECT_EQ(firstDifference(named("file").content, file), std::string::npos);

    page.delegate->events.clear();
    page.view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/gbk"))));
    ASSERT_TRUE(pumpUntil([&] { return page.delegate->count("finish") == 2; }, 60));
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /gbk other", "start", "finish", "should /posted form",
                                                                "start", "finish"}));
    EXPECT_EQ(received(server, "/posted"), "a=\xd6\xd0\xce\xc4 \x80\r\n");
    EXPECT_EQ(page.title(), "posted");
}

TEST(WebRequestBodies, ABodyTooLargeToTakeInFailsInThePageAndTheViewLoadsAgain) {
    LoopbackServer server;
    server.serveText("/echo", "ok");
    server.serveText("/plain", "<title>plain</title>", "text/html");
    server.serveText("/posted", "<title>posted</title>", "text/html");
    // A synchronous request while the page parses: its thread waits for the answer.
    server.serveText("/upload",
                     "<title>upload</title><script>var x = new XMLHttpRequest(); x.open('POST', '/echo', false);"
                     "try { x.send('a'.repeat(100 * 1048576)); document.title = 'sent ' + x.status; }"
                     "catch (e) { document.title = 'failed ' + e.name; }</script>",
                     "text/html");
    // A form as large, whose navigation the view's delegate hears of.
    server.serveText("/form",
                     "<title>form</title><form method=post action=/posted enctype=multipart/form-data><input type=file name=f></form>"
                     "<script>addEventListener('load', function() { var chosen = new DataTransfer();"
                     "chosen.items.add(new File([new Uint8Array(100 * 1048576).fill(97)], 'a.bin'));"
                     "document.forms[0].f.files = chosen.files; document.forms[0].submit(); });</script>",
                     "text/html");
    Page page;
    Page other;
    other.load(server.url("/plain"));
    ns::Error error = ui::webEngineError(0, "");
    const auto engine = ui::WebEngine::running(&error)->processID();

    page.load(server.url("/upload"));
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /upload other", "start", "finish"}));
    const std::string title = page.title();
    const std::string body = received(server, "/echo");
    if (title == "sent 200") {
        EXPECT_EQ(body.size(), 100 * kMiB);
        EXPECT_EQ(body.find_first_not_of('a'), std::string::npos);
    } else {
        EXPECT_EQ(title, "failed NetworkError");
        EXPECT_EQ(body, "(none)") << "never sent short";
    }

    page.delegate->events.clear();
    page.view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/form"))));
    ASSERT_TRUE(pumpUntil([&] { return page.delegate->count("fail -1103") == 1; }, 60));
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /form other", "start", "finish", "should /posted form",
                                                                "start", "fail -1103"}));
    EXPECT_EQ(received(server, "/posted"), "(none)");

    const auto started = Clock::now();
    page.load(server.url("/plain"));
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - started).count(), 2);
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /plain other", "start", "finish"}));
    EXPECT_EQ(page.title(), "plain");
    EXPECT_EQ(other.title(), "plain");
    EXPECT_EQ(ui::WebEngine::running(&error)->processID(), engine);
}

TEST(WebRequestBodies, AFormWhoseFileInputWasFilledFromDiskSendsNothing) {
    LoopbackServer server;
    server.serveText("/form",
                     "<title>form</title><form method=post action=/posted enctype=multipart/form-data>"
                     "<input type=file name=f><input name=t value=x></form>",
                     "text/html");
    server.serveText("/posted", "<title>posted</title>", "text/html");
    const std::string file = ns::temporaryDirectory() + "chosen-" + std::to_string(getpid()) + ".txt";
    std::ofstream(file) << "from disk";
    Page page;
    page.load(server.url("/form"));
    // The view has no file chooser: only the engine's own tools fill such an input, here through a second
    // session on the view's page.
    ns::Error error = ui::webEngineError(0, "");
    const auto engine = ui::WebEngine::running(&error);
    std::string target;
    const ns::Value listed = engine->call("Target.getTargets", {}, "");
    if (const auto* targets = ui::fieldsOf(listed)["targetInfos"].asArray()) {
        for (const auto& info : *targets) {
            if (ui::textField(ui::fieldsOf(info), "url").ends_with("/form")) target = ui::textField(ui::fieldsOf(info), "targetId");
        }
    }
    ASSERT_FALSE(target.empty());
    const std::string session = ui::textField(
        ui::fieldsOf(engine->call("Target.attachToTarget", {{"targetId", ns::Value(target)}, {"flatten", ns::Value(true)}}, "")),
        "sessionId");
    const ns::Value document = engine->call("DOM.getDocument", {}, session);
    const ns::Value root = ui::fieldsOf(ui::fieldsOf(document)["root"])["nodeId"];
    const ns::Value found = engine->call("DOM.querySelector", {{"nodeId", root}, {"selector", ns::Value("input[type=file]")}}, session);
    const ns::Value input = ui::fieldsOf(found)["nodeId"];
    std::string problem;
    engine->call("DOM.setFileInputFiles", {{"files", ns::Value(ns::Array{ns::Value(file)})}, {"nodeId", input}}, session, &problem);
    EXPECT_EQ(problem, "");
    engine->send("Target.detachFromTarget", {{"sessionId", ns::Value(session)}}, "");
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("document.forms[0].f.files[0].name"), std::filesystem::path(file).filename().string());

    // The engine hands the app no bytes for the file: the form's load fails, and nothing is sent.
    page.delegate->events.clear();
    page.view->stringByEvaluatingJavaScriptFromString("document.forms[0].submit()");
    ASSERT_TRUE(pumpUntil([&] { return !page.delegate->events.empty() && page.delegate->events.back().starts_with("fail"); }, 60));
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /posted form", "start", "fail -1021"}));
    EXPECT_EQ(received(server, "/posted"), "(none)");
    page.load(server.url("/form"));
    EXPECT_EQ(page.title(), "form");
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace ql
