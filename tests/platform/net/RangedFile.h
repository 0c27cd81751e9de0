#pragma once
// A file on a bare server that answers ranges as HTTP servers do, for downloads that are cancelled and
// resumed.

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Locked.h"
#include "tests/support/LoopbackServer.h"

namespace ql::test {

// A file served as servers serve ranges: "Range" with an "If-Range" that names the current entity tag
// gets the rest (206); any other request gets the whole file (200), optionally cut short as by a
// connection lost mid-body. Every request head is kept.
class RangedFile {
public:
    static constexpr std::size_t kSize = 200000;

    RangedFile() : server_([this](const std::string& head) { return replyTo(head); }) {}

    std::string url() const { return server_.url("/file"); }
    void setTag(std::string tag) { ns::lockedStore(mutex_, tag_, std::move(tag)); }
    void setCutsWholeReplies(bool cuts) { ns::lockedStore(mutex_, cutsWholeReplies_, cuts); }
    std::string lastHead() const {
        std::lock_guard lock(mutex_);
        return heads_.empty() ? std::string() : heads_.back();
    }
    static std::string contents(std::size_t from = 0) {
        std::string bytes(kSize - from, '\0');
        for (std::size_t i = from; i < kSize; ++i) bytes[i - from] = LoopbackServer::patternByte(i);
        return bytes;
    }
    // A field of a request head, if it has it.
    static std::optional<std::string> field(const std::string& head, std::string_view name) {
        const std::string prefix = "\r\n" + std::string(name) + ": ";
        const auto at = head.find(prefix);
        if (at == std::string::npos) return std::nullopt;
        const auto start = at + prefix.size();
        return head.substr(start, head.find("\r\n", start) - start);
    }

private:
    std::string replyTo(const std::string& head) {
        std::lock_guard lock(mutex_);
        heads_.push_back(head);
        std::size_t from = 0;
        const auto range = field(head, "Range");
        if (range && range->starts_with("bytes=") && field(head, "If-Range") == tag_) from = std::stoul(range->substr(6));
        std::string reply = from > 0 ? "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(from) + "-" +
                                           std::to_string(kSize - 1) + "/" + std::to_string(kSize) + "\r\n"
                                     : "HTTP/1.1 200 OK\r\n";
        reply += "ETag: " + tag_ + "\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                 std::to_string(kSize - from) + "\r\nConnection: close\r\n\r\n";
        std::string body = contents(from);
        if (from == 0 && cutsWholeReplies_) body.resize(kSize / 3);
        return reply + body;
    }

    mutable std::mutex mutex_;
    std::string tag_ = "\"v1\"";
    bool cutsWholeReplies_ = true;
    std::vector<std::string> heads_;
    ScriptedServer server_;
};

}  // namespace ql::test
