#pragma once
// Delegates for the URL-loading tests that write down what they are told, where and in which order.

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Timer.h"
#include "platform/net/URLConnection.h"
#include "platform/net/URLSession.h"

namespace ql::test {

// Seconds of real time before a wait counts as failed: generous, since a loaded machine may be slow to
// schedule the loading thread and the server; only a failing test waits that long.
inline constexpr double kPatience = 60;

// Runs the main run loop until the condition holds. Conditions that other threads make true without
// waking the main loop are looked at again every few milliseconds.
inline bool waitFor(const std::function<bool()>& condition, double seconds = kPatience) {
    auto poll = ns::Timer::scheduledTimer(0.005, true, [](ns::Timer&) {});
    const bool satisfied = ns::RunLoop::main()->runUntil(condition, seconds);
    poll->invalidate();
    return satisfied;
}

// What a delegate heard, in order ("response 200", "data 5", "finish", "fail -1005", …).
class Journal {
public:
    void add(std::string entry) {
        std::lock_guard lock(mutex_);
        entries_.push_back(std::move(entry));
    }
    std::vector<std::string> entries() const {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    bool contains(const std::string& entry) const {
        std::lock_guard lock(mutex_);
        for (const auto& e : entries_) {
            if (e == entry) return true;
        }
        return false;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
};

class RecordingConnectionDelegate : public ns::Object, public ns::URLConnectionDelegate {
public:
    Journal journal;
    ns::Data body;
    std::shared_ptr<ns::URLResponse> response;
    std::optional<ns::Error> error;
    std::atomic<bool> done{false};
    std::vector<std::thread::id> threads;  // the thread of every call
    // Optional behaviour.
    std::function<std::optional<ns::URLRequest>(const ns::URLRequest&, const std::shared_ptr<ns::URLResponse>&)> onRedirect;
    std::function<void(ns::URLConnection&, const std::shared_ptr<ns::URLAuthenticationChallenge>&)> onChallenge;
    std::function<void(ns::URLConnection&, const ns::Data&)> onData;

    std::optional<ns::URLRequest> connectionWillSendRequest(ns::URLConnection&, const ns::URLRequest& request,
                                                            const std::shared_ptr<ns::URLResponse>& redirect) override {
        const std::string path = request.URL() ? request.URL()->path() : "(none)";
        note(redirect ? "redirect " + path : "will send " + path);
        if (onRedirect && redirect) return onRedirect(request, redirect);
        return request;
    }
    void connectionWillSendRequestForAuthenticationChallenge(
        ns::URLConnection& connection, const std::shared_ptr<ns::URLAuthenticationChallenge>& challenge) override {
        note("challenge " + challenge->protectionSpace().authenticationMethod());
        if (onChallenge) return onChallenge(connection, challenge);
        ns::URLConnectionDelegate::connectionWillSendRequestForAuthenticationChallenge(connection, challenge);
    }
    void connectionDidReceiveResponse(ns::URLConnection&, const std::shared_ptr<ns::URLResponse>& r) override {
        response = r;
        auto* http = dynamic_cast<ns::HTTPURLResponse*>(r.get());
        note("response " + std::to_string(http ? http->statusCode() : 0));
    }
    void connectionDidReceiveData(ns::URLConnection& connection, const ns::Data& data) override {
        body.append(data);
        note("data");
        if (onData) onData(connection, data);
    }
    void connectionDidSendBodyData(ns::URLConnection&, std::int64_t, std::int64_t total, std::int64_t) override {
        sent = total;
    }
    void connectionDidFinishLoading(ns::URLConnection&) override {
        note("finish");
        done = true;
        ns::RunLoop::main()->wakeUp();
    }
    void connectionDidFailWithError(ns::URLConnection&, const ns::Error& e) override {
        error = e;
        note("fail " + std::to_string(e.code()));
        done = true;
        ns::RunLoop::main()->wakeUp();
    }

    std::int64_t sent = 0;

    // The calls in order, with consecutive "data" entries folded into one.
    std::vector<std::string> calls() const {
        std::vector<std::string> folded;
        for (auto& entry : journal.entries()) {
            if (entry == "data" && !folded.empty() && folded.back() == "data") continue;
            folded.push_back(entry);
        }
        return folded;
    }

private:
    void note(std::string entry) {
        threads.push_back(std::this_thread::get_id());
        journal.add(std::move(entry));
    }
};

// A session delegate of every kind that notes its calls and the queue they came on.
class RecordingSessionDelegate : public ns::Object, public ns::URLSessionDataDelegate, public ns::URLSessionDownloadDelegate {
public:
    Journal journal;
    ns::Data body;
    std::optional<ns::Error> error;
    std::atomic<bool> done{false};
    std::atomic<bool> invalidated{false};
    std::atomic<int> offQueueCalls{0};
    std::shared_ptr<ns::OperationQueue> expectedQueue;
    std::string downloaded;  // the downloaded file's contents, read while it exists
    // Optional behaviour.
    std::function<void(const ns::URLRequest&, std::function<void(std::optional<ns::URLRequest>)>)> onRedirect;
    std::function<void(const std::shared_ptr<ns::URLAuthenticationChallenge>&, ns::URLSessionChallengeCompletion)> onChallenge;
    std::function<void(ns::URLSessionDataTask&, const ns::Data&)> onData;
    std::function<void(std::function<void(ns::URLSessionResponseDisposition)>)> onResponse;
    std::function<void(ns::URLSessionDownloadTask&)> onWrite;

    void URLSessionDidBecomeInvalidWithError(ns::URLSession&, const std::optional<ns::Error>&) override {
        note("invalid");
        invalidated = true;
    }
    void URLSessionTaskWillPerformHTTPRedirection(ns::URLSession&, ns::URLSessionTask&,
                                                  const std::shared_ptr<ns::HTTPURLResponse>& response,
                                                  const ns::URLRequest& request,
                                                  std::function<void(std::optional<ns::URLRequest>)> handler) override {
        note("redirect " + std::to_string(response->statusCode()));
        if (onRedirect) return onRedirect(request, std::move(handler));
        handler(request);
    }
    void URLSessionTaskDidReceiveChallenge(ns::URLSession& session, ns::URLSessionTask& task,
                                           const std::shared_ptr<ns::URLAuthenticationChallenge>& challenge,
                                           ns::URLSessionChallengeCompletion handler) override {
        note("challenge " + challenge->protectionSpace().authenticationMethod());
        if (onChallenge) return onChallenge(challenge, std::move(handler));
        ns::URLSessionDataDelegate::URLSessionTaskDidReceiveChallenge(session, task, challenge, std::move(handler));
    }
    void URLSessionTaskDidSendBodyData(ns::URLSession&, ns::URLSessionTask&, std::int64_t, std::int64_t total,
                                       std::int64_t) override {
        note("sent");
        sent = total;
    }
    void URLSessionTaskDidCompleteWithError(ns::URLSession&, ns::URLSessionTask&, const std::optional<ns::Error>& e) override {
        error = e;
        note(e ? "complete " + std::to_string(e->code()) : "complete");
        done = true;
        ns::RunLoop::main()->wakeUp();
    }
    void URLSessionDataTaskDidReceiveResponse(ns::URLSession&, ns::URLSessionDataTask&,
                                              const std::shared_ptr<ns::URLResponse>& response,
                                              std::function<void(ns::URLSessionResponseDisposition)> handler) override {
        auto* http = dynamic_cast<ns::HTTPURLResponse*>(response.get());
        note("response " + std::to_string(http ? http->statusCode() : 0));
        if (onResponse) return onResponse(std::move(handler));
        handler(ns::URLSessionResponseDisposition::Allow);
    }
    void URLSessionDataTaskDidReceiveData(ns::URLSession&, ns::URLSessionDataTask& task, const ns::Data& data) override {
        body.append(data);
        note("data");
        if (onData) onData(task, data);
    }
    void URLSessionDataTaskWillCacheResponse(ns::URLSession&, ns::URLSessionDataTask&,
                                             const std::shared_ptr<ns::CachedURLResponse>& proposed,
                                             std::function<void(std::shared_ptr<ns::CachedURLResponse>)> handler) override {
        note("cache");
        handler(proposed);
    }
    void URLSessionDownloadTaskDidFinishDownloadingToURL(ns::URLSession&, ns::URLSessionDownloadTask&,
                                                         const ns::URL& location) override {
        note("downloaded");
        if (auto contents = readFile(location.path())) downloaded = *contents;
        downloadedPath = location.path();
    }
    void URLSessionDownloadTaskDidWriteData(ns::URLSession&, ns::URLSessionDownloadTask& task, std::int64_t bytes,
                                            std::int64_t total, std::int64_t) override {
        note("wrote");
        written = total;
        writtenInReports += bytes;
        if (onWrite) onWrite(task);
    }
    void URLSessionDownloadTaskDidResumeAtOffset(ns::URLSession&, ns::URLSessionDownloadTask&, std::int64_t offset,
                                                 std::int64_t expectedTotal) override {
        note("resumed " + std::to_string(offset) + " of " + std::to_string(expectedTotal));
    }

    std::int64_t sent = 0;
    std::int64_t written = 0;           // the last report's total
    std::int64_t writtenInReports = 0;  // the reports' own counts, added up
    std::string downloadedPath;

    std::vector<std::string> calls() const {
        std::vector<std::string> folded;
        for (auto& entry : journal.entries()) {
            if ((entry == "data" || entry == "sent" || entry == "wrote") && !folded.empty() && folded.back() == entry)
                continue;
            folded.push_back(entry);
        }
        return folded;
    }

private:
    static std::optional<std::string> readFile(const std::string& path);
    void note(std::string entry) {
        if (expectedQueue && ns::OperationQueue::currentQueue() != expectedQueue) ++offQueueCalls;
        journal.add(std::move(entry));
    }
};

inline std::optional<std::string> RecordingSessionDelegate::readFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return std::nullopt;
    std::string contents;
    char buffer[4096];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) contents.append(buffer, count);
    std::fclose(file);
    return contents;
}

}  // namespace ql::test
