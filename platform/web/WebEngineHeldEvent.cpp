#include "platform/web/WebEngineHeldEvent.h"

#include <algorithm>
#include <cstring>

#include "platform/web/WebEngineFrameBuffer.h"

namespace ql::ui {
namespace {

// Longer than any key that matters.
constexpr std::size_t kLongestKey = 32;
// Longer than any id the engine gives.
constexpr std::size_t kLongestID = 256;
constexpr std::string_view kLeftOut = "null";

}  // namespace

bool WebEngineHeldEvent::holdsItsPage(std::string_view method) {
    return method == "Fetch.requestPaused" || method == "Page.javascriptDialogOpening";
}

void WebEngineHeldEvent::take(std::string_view bytes, std::vector<char>& kept) {
    while (!bytes.empty()) {
        if (inText_) {
            const std::size_t length = textLength(bytes);
            textBytes(bytes.substr(0, length), kept);
            bytes.remove_prefix(length);
            if (bytes.empty()) return;
            // The closing quote.
            bytes.remove_prefix(1);
            inText_ = false;
            if (text_ != Text::LeftOut) keep("\"", kept);
            continue;
        }
        const char c = bytes.front();
        bytes.remove_prefix(1);
        if (c == '"') {
            openText(kept);
        } else {
            structure(c, kept);
        }
    }
}

std::size_t WebEngineHeldEvent::textLength(std::string_view bytes) {
    std::size_t at = 0;
    if (escaped_) {
        escaped_ = false;
        at = 1;
    }
    // Searched a window at a time, each search ending at the next escape: a text of many escapes, or of
    // none, is read once.
    constexpr std::size_t kWindow = 4096;
    while (at < bytes.size()) {
        const char* from = bytes.data() + at;
        const std::size_t window = std::min(kWindow, bytes.size() - at);
        const auto* backslash = static_cast<const char*>(std::memchr(from, '\\', window));
        const std::size_t plain = backslash ? static_cast<std::size_t>(backslash - from) : window;
        if (const auto* quote = static_cast<const char*>(std::memchr(from, '"', plain))) {
            return at + static_cast<std::size_t>(quote - from);
        }
        at += plain;
        if (!backslash) continue;
        if (++at == bytes.size()) {
            escaped_ = true;
            return at;
        }
        ++at;  // the escaped byte, a quote perhaps
    }
    return at;
}

void WebEngineHeldEvent::openText(std::vector<char>& kept) {
    inText_ = true;
    if (!levels_.empty() && levels_.back().object && levels_.back().awaitsKey) {
        levels_.back().awaitsKey = false;
        text_ = Text::Key;
        key_.clear();
        keep("\"", kept);
        return;
    }
    text_ = kindOfValue();
    if (text_ == Text::Body && bodyLeftOut_) text_ = Text::LeftOut;
    if (text_ == Text::LeftOut) {
        keep(kLeftOut, kept);
        return;
    }
    textStart_ = kept.size();
    keep("\"", kept);
}

void WebEngineHeldEvent::textBytes(std::string_view bytes, std::vector<char>& kept) {
    const auto note = [&](std::string& field, std::size_t longest) {
        field.append(bytes.substr(0, longest - std::min(longest, field.size())));
    };
    switch (text_) {
        case Text::LeftOut: return;
        case Text::Key: note(key_, kLongestKey + 1); break;
        case Text::Session: note(session_, kLongestID); break;
        case Text::RequestID: note(requestID_, kLongestID); break;
        case Text::Body:
            if (passedOver_) return;
            if (kept.size() + bytes.size() > bound_ - bound_ / 32) {
                // This body and every one after it are left out; the request is then failed, never sent short.
                kept.resize(textStart_);
                keep(kLeftOut, kept);
                bodyLeftOut_ = true;
                text_ = Text::LeftOut;
                return;
            }
            break;
        case Text::Kept: break;
    }
    keep(bytes, kept);
}

void WebEngineHeldEvent::structure(char c, std::vector<char>& kept) {
    switch (c) {
        case '{':
        case '[': {
            const bool object = c == '{';
            levels_.push_back(Level{placeOfNew(object), object, object});
            break;
        }
        case '}':
        case ']':
            if (!levels_.empty()) levels_.pop_back();
            break;
        case ',':
            if (!levels_.empty() && levels_.back().object) levels_.back().awaitsKey = true;
            break;
        default: break;
    }
    keep(std::string_view(&c, 1), kept);
}

WebEngineHeldEvent::Place WebEngineHeldEvent::placeOfNew(bool object) const {
    if (levels_.empty()) return object ? Place::Message : Place::Other;
    const Place parent = levels_.back().place;
    if (parent == Place::Message && object && key_ == "params") return Place::Params;
    if (parent == Place::Params && object && key_ == "request") return Place::Request;
    if (parent == Place::Request && !object && key_ == "postDataEntries") return Place::BodyEntries;
    if (parent == Place::BodyEntries && object) return Place::BodyEntry;
    return Place::Other;
}

WebEngineHeldEvent::Text WebEngineHeldEvent::kindOfValue() const {
    if (levels_.empty() || !levels_.back().object) return Text::Kept;
    switch (levels_.back().place) {
        case Place::Message: return key_ == "sessionId" ? Text::Session : Text::Kept;
        case Place::Params: return key_ == "requestId" ? Text::RequestID : Text::Kept;
        case Place::Request: return key_ == "postData" ? Text::LeftOut : Text::Kept;
        case Place::BodyEntry: return key_ == "bytes" ? Text::Body : Text::Kept;
        default: return Text::Kept;
    }
}

void WebEngineHeldEvent::keep(std::string_view bytes, std::vector<char>& kept) {
    if (passedOver_) return;
    if (kept.size() + bytes.size() > bound_) {
        passedOver_ = true;
        giveBack(kept);
        return;
    }
    appendWithin(kept, bytes, bound_);
}

}  // namespace ql::ui
