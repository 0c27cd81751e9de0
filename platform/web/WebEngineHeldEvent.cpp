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
            if (text_ == Text::Cut) endCut(kept);
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

bool WebEngineHeldEvent::escapes(std::string_view bytes, std::size_t end, std::size_t floor) {
    std::size_t at = end;
    while (at > floor && bytes[at - 1] == '\\') --at;
    return (end - at) % 2 == 1;
}

std::size_t WebEngineHeldEvent::textLength(std::string_view bytes) {
    std::size_t at = 0;
    if (escaped_) {
        escaped_ = false;
        at = 1;
    }
    // A quote ends the text unless an odd run of backslashes stands right before it; the runs looked back
    // over lie between quotes, so each byte is looked at once or twice, however many escapes the text holds.
    // A run before `at` was ended before these bytes: by the escaped byte, or by a quote.
    const std::size_t floor = at;
    while (at < bytes.size()) {
        const auto* quote = static_cast<const char*>(std::memchr(bytes.data() + at, '"', bytes.size() - at));
        if (!quote) break;
        const auto found = static_cast<std::size_t>(quote - bytes.data());
        if (!escapes(bytes, found, std::max(floor, at))) return found;
        at = found + 1;
    }
    // The bytes end inside the text: a backslash left open escapes the first byte of the next ones.
    escaped_ = escapes(bytes, bytes.size(), std::max(floor, std::min(at, bytes.size())));
    return bytes.size();
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
    if (text_ == Text::Cut) {
        cutUnits_ = 0;
        cutDone_ = false;
        character_.clear();
        highSurrogate_.clear();
    }
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
        case Text::Cut: cutBytes(bytes, kept); return;
        case Text::Kept: break;
    }
    keep(bytes, kept);
}

void WebEngineHeldEvent::cutBytes(std::string_view bytes, std::vector<char>& kept) {
    // Read a byte at a time only up to the cut, so at most a few bytes for each unit kept.
    for (const char c : bytes) {
        if (cutDone_) return;
        const auto byte = static_cast<unsigned char>(c);
        if (character_.empty()) {
            if (c == '\\' || byte >= 0xC0) {
                character_.push_back(c);
            } else if (byte < 0x80) {
                cutCharacter(std::string_view(&c, 1), 1, kept);
            }
            // A stray continuation byte (the engine writes none) goes.
            continue;
        }
        character_.push_back(c);
        const auto lead = static_cast<unsigned char>(character_.front());
        if (lead == '\\') {
            // "\x" is one unit; "\uXXXX" is one, a surrogate among them.
            if (character_.size() == 2 && c != 'u') {
                cutCharacter(character_, 1, kept);
                character_.clear();
            } else if (character_.size() == 6) {
                cutCharacter(character_, 1, kept);
                character_.clear();
            }
            continue;
        }
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (character_.size() == length) {
            // Four bytes are a character beyond the first plane: two units.
            cutCharacter(character_, length == 4 ? 2 : 1, kept);
            character_.clear();
        }
    }
}

void WebEngineHeldEvent::cutCharacter(std::string_view bytes, std::size_t units, std::vector<char>& kept) {
    const auto escaped = [&](char16_t low, char16_t high) {
        if (bytes.size() != 6 || bytes[1] != 'u') return false;
        unsigned value = 0;
        for (const char digit : bytes.substr(2)) {
            const int d = digit >= '0' && digit <= '9' ? digit - '0'
                        : digit >= 'a' && digit <= 'f' ? digit - 'a' + 10
                        : digit >= 'A' && digit <= 'F' ? digit - 'A' + 10 : -1;
            if (d < 0) return false;
            value = value * 16 + static_cast<unsigned>(d);
        }
        return value >= low && value <= high;
    };
    const auto fits = [&](std::size_t more) {
        if (cutUnits_ + more <= kLongestDialogText) return true;
        cutDone_ = true;
        return false;
    };
    if (!highSurrogate_.empty()) {
        if (escaped(0xDC00, 0xDFFF)) {
            // A pair: kept whole or not at all.
            if (!fits(2)) return;
            keep(highSurrogate_, kept);
            keep(bytes, kept);
            cutUnits_ += 2;
            highSurrogate_.clear();
            return;
        }
        endCut(kept);
        if (cutDone_) return;
    }
    if (escaped(0xD800, 0xDBFF)) {
        highSurrogate_ = bytes;
        return;
    }
    if (!fits(units)) return;
    keep(bytes, kept);
    cutUnits_ += units;
}

void WebEngineHeldEvent::endCut(std::vector<char>& kept) {
    if (highSurrogate_.empty() || cutDone_) return;
    if (cutUnits_ + 1 <= kLongestDialogText) {
        keep(highSurrogate_, kept);
        ++cutUnits_;
    } else {
        cutDone_ = true;
    }
    highSurrogate_.clear();
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
        case Place::Params:
            if (key_ == "requestId") return Text::RequestID;
            if (method_ == "Page.javascriptDialogOpening" && (key_ == "message" || key_ == "defaultPrompt")) return Text::Cut;
            return Text::Kept;
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
