#pragma once
// Helpers for the networking tests that load over loopback: pumping the main run loop until a condition
// holds, recording what a request's blocks reported, and recording the notifications posted under a name.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Thread.h"
#include "platform/foundation/Timer.h"
#include "net/NetMultipartFormData.h"
#include "platform/foundation/Value.h"
#include "platform/net/URLError.h"
#include "tests/support/LoopbackServer.h"

namespace ql::test {

// Pumps the main run loop until the condition holds; conditions are made true by work delivered to the
// main queue, which wakes the loop. The real seconds only cap a failing wait: a loaded machine may be slow.
inline bool pumpUntil(const std::function<bool()>& condition, double seconds = 60) {
    return ns::RunLoop::main()->runUntil(condition, seconds);
}

// For conditions that other threads change without giving the main loop any work (an object released on
// a background queue): a short repeating timer makes the loop look again.
inline bool pollUntil(const std::function<bool()>& condition, double seconds = 60) {
    auto poll = ns::Timer::scheduledTimer(0.005, true, [](ns::Timer&) {});
    const bool satisfied = pumpUntil(condition, seconds);
    poll->invalidate();
    return satisfied;
}

// What a request's two blocks reported, and on which thread; `carrier` is the operation or task they were
// given.
template <class Carrier>
struct BlockOutcome {
    int successes = 0;
    int failures = 0;
    bool onMainThread = true;
    std::shared_ptr<Carrier> carrier;
    ns::Value object;
    std::optional<ns::Error> error;
    bool done() const { return successes + failures > 0; }

    auto success() {
        return [this](const std::shared_ptr<Carrier>& by, const ns::Value& value) {
            onMainThread = onMainThread && ns::Thread::isMainThread();
            ++successes;
            carrier = by;
            object = value;
        };
    }
    auto failure() {
        return [this](const std::shared_ptr<Carrier>& by, const ns::Error& e) {
            onMainThread = onMainThread && ns::Thread::isMainThread();
            ++failures;
            carrier = by;
            error = e;
        };
    }
};

// A request that could not be built (an unparsable URL) fails at once, on the main thread, with nothing to
// carry it and the bad-URL error.
template <class Carrier>
void expectRefusedBeforeSending(const BlockOutcome<Carrier>& outcome) {
    EXPECT_EQ(outcome.successes, 0);
    EXPECT_EQ(outcome.failures, 1);
    EXPECT_TRUE(outcome.onMainThread);
    EXPECT_EQ(outcome.carrier, nullptr);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->domain(), ns::URLErrorDomain);
    EXPECT_EQ(outcome.error->code(), ns::URLErrorBadURL);
}

// An endpoint of the server taking the multipart upload the managers' tests send: a "uid" field and one
// photo part, which it keeps as it received them.
class PhotoUpload {
public:
    explicit PhotoUpload(LoopbackServer& server) : url_(server.url("/upload")) {
        server.handle("/upload", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(mutex_);
            for (const auto& [name, part] : request.files) parts_.push_back(part);
            response.set_content(R"({"result":1})", "application/json");
        });
    }

    const std::string& url() const { return url_; }
    static ns::Value parameters() { return ns::Value(ns::Dictionary{{"uid", ns::Value(7)}}); }
    static void appendPhoto(NetMultipartFormData& form) {
        form.appendPartWithFileData(ns::Data("PNGDATA"), "photo", "a.png", "image/png");
    }

    void expectReceived() const {
        std::lock_guard lock(mutex_);
        ASSERT_EQ(parts_.size(), 2u);
        EXPECT_EQ(parts_[0].name, "photo");
        EXPECT_EQ(parts_[0].filename, "a.png");
        EXPECT_EQ(parts_[0].content_type, "image/png");
        EXPECT_EQ(parts_[0].content, "PNGDATA");
        EXPECT_EQ(parts_[1].name, "uid");
        EXPECT_EQ(parts_[1].content, "7");
    }

private:
    const std::string url_;
    mutable std::mutex mutex_;
    std::vector<httplib::MultipartFormData> parts_;
};

// Every notification of one name (any name when empty), from any sender, while it lives.
class NotificationLog {
public:
    struct Entry {
        std::string name;
        std::shared_ptr<ns::Object> object;
        const ns::Object* sender;
        ns::Dictionary userInfo;
    };

    explicit NotificationLog(std::string_view name)
        : token_(ns::NotificationCenter::defaultCenter().addObserverForName(
              name, nullptr, nullptr, [this](const ns::Notification& notification) {
                  std::lock_guard lock(mutex_);
                  entries_.push_back({notification.name(), notification.object(), notification.sender(), notification.userInfo()});
              })) {}
    ~NotificationLog() { ns::NotificationCenter::defaultCenter().removeObserver(token_.get()); }
    NotificationLog(const NotificationLog&) = delete;
    NotificationLog& operator=(const NotificationLog&) = delete;

    std::vector<Entry> entries() const {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    // How many came from this sender.
    std::size_t count(const ns::Object* sender) const {
        std::lock_guard lock(mutex_);
        std::size_t n = 0;
        for (const auto& entry : entries_) n += entry.sender == sender ? 1 : 0;
        return n;
    }

    // The names of those from this sender, in order.
    std::vector<std::string> names(const ns::Object* sender) const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> out;
        for (const auto& entry : entries_) {
            if (entry.sender == sender) out.push_back(entry.name);
        }
        return out;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    std::shared_ptr<ns::Object> token_;
};

}  // namespace ql::test
