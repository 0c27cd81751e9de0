#include "richtext/RTCSSListStyle.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <vector>

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "richtext/NSScannerHTML.h"
#include "richtext/NSStringCSS.h"

namespace ql {

namespace {

constexpr std::string_view InheritKey = "inherit";
constexpr std::string_view TypeKey = "type";
constexpr std::string_view PositionKey = "position";
constexpr std::string_view ImageNameKey = "imageName";
constexpr std::string_view StartingItemNumberKey = "startingItemNumber";

std::optional<std::string_view> textFor(const ns::Dictionary& styles, std::string_view key) {
    const ns::Value* value = styles.find(key);
    if (!value || !value->isString()) return std::nullopt;
    return value->asString();
}

std::optional<std::string> urlIn(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && css::isSpace(text[at])) ++at;
    return css::readURL(text, at);
}

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && css::isSpace(text[at])) ++at;
        const std::size_t start = at;
        while (at < text.size() && !css::isSpace(text[at])) ++at;
        if (at > start) parts.push_back(text.substr(start, at - start));
    }
    return parts;
}

// The number written with the format into `buffer` (32 bytes).
std::string_view numbered(char* buffer, const char* format, std::int64_t counter) {
    const int length = std::snprintf(buffer, 32, format, static_cast<std::int32_t>(counter));
    return std::string_view(buffer, static_cast<std::size_t>(std::clamp(length, 0, 31)));
}

}  // namespace

RTCSSListStyle::RTCSSListStyle(const ns::Dictionary& styles)
    : position_(static_cast<std::uint64_t>(RTListStylePosition::Outside)), startingItemNumber_(1) {
    updateFromStyleDictionary(styles);
}

std::uint64_t RTCSSListStyle::listStyleTypeFromString(std::optional<std::string_view> text) {
    if (!text) return NotUnderstood;
    const std::string word = RTASCIILowercased(*text);
    using T = RTListStyleType;
    static constexpr std::pair<std::string_view, T> Keywords[] = {
        {"inherit", T::Inherit},         {"none", T::None},
        {"circle", T::Circle},           {"decimal", T::Decimal},
        {"decimal-leading-zero", T::DecimalLeadingZero}, {"disc", T::Disc},
        {"square", T::Square},           {"upper-alpha", T::UpperAlpha},
        {"upper-latin", T::UpperAlpha},  {"lower-alpha", T::LowerAlpha},
        {"lower-latin", T::LowerAlpha},  {"plus", T::Plus},
        {"underscore", T::Underscore},
    };
    for (const auto& [keyword, type] : Keywords) {
        if (word == keyword) return static_cast<std::uint64_t>(type);
    }
    return static_cast<std::uint64_t>(T::None);
}

std::uint64_t RTCSSListStyle::listStylePositionFromString(std::optional<std::string_view> text) {
    if (!text) return NotUnderstood;
    const std::string word = RTASCIILowercased(*text);
    if (word == "inside") return static_cast<std::uint64_t>(RTListStylePosition::Inside);
    if (word == "outside") return static_cast<std::uint64_t>(RTListStylePosition::Outside);
    return static_cast<std::uint64_t>(RTListStylePosition::Inherit);
}

bool RTCSSListStyle::setTypeWithString(std::optional<std::string_view> text) {
    const std::uint64_t type = listStyleTypeFromString(text);
    if (type == NotUnderstood) return false;
    type_ = type;
    return true;
}

bool RTCSSListStyle::setPositionWithString(std::optional<std::string_view> text) {
    const std::uint64_t position = listStylePositionFromString(text);
    if (position == NotUnderstood) return false;
    position_ = position;
    return true;
}

void RTCSSListStyle::updateFromStyleDictionary(const ns::Dictionary& styles) {
    const std::optional<std::string_view> shorthand = textFor(styles, "list-style");
    if (!shorthand) {
        setTypeWithString(textFor(styles, "list-style-type"));
        setPositionWithString(textFor(styles, "list-style-position"));
        if (const std::optional<std::string_view> image = textFor(styles, "list-style-image")) {
            if (std::optional<std::string> url = urlIn(*image)) imageName_ = std::move(url);
        }
        return;
    }
    if (RTASCIILowercased(*shorthand) == "inherit") {
        inherit_ = true;
        return;
    }
    // Keywords are matched in any case; an image URL keeps its own.
    bool typeTaken = false;
    bool positionTaken = false;
    for (std::string_view word : words(*shorthand)) {
        if (RTASCIILowercased(word.substr(0, 3)) == "url") {
            if (std::optional<std::string> url = urlIn(word)) {
                imageName_ = std::move(url);
                continue;
            }
        }
        if (!typeTaken) {
            typeTaken = setTypeWithString(word);
        } else if (!positionTaken) {
            positionTaken = setPositionWithString(word);
        }
    }
}

std::optional<std::string> RTCSSListStyle::prefixWithCounter(std::int64_t counter) const {
    const std::uint64_t type = imageName_ ? static_cast<std::uint64_t>(RTListStyleType::Image) : type_;
    // Every item of a list asks: the marker is written in place and the prefix made in one piece.
    char written[32];
    std::string_view marker;
    switch (type) {
    case 2: marker = "\u25E6"; break;
    case 3: marker = numbered(written, "%d.", counter); break;
    case 4: marker = numbered(written, "%02d.", counter); break;
    case 5: marker = "\u2022"; break;
    case 6: marker = "\u25AA"; break;
    case 7:
    case 8:
    case 9:
    case 10:
        // Past Z the alphabet has no letters; the number says which item it is.
        if (counter >= 1 && counter <= 26) {
            written[0] = static_cast<char>((type <= 8 ? 'A' : 'a') + counter - 1);
            written[1] = '.';
            marker = std::string_view(written, 2);
        } else {
            marker = numbered(written, "%d.", counter);
        }
        break;
    case 11: marker = "+"; break;
    case 12: marker = "_"; break;
    case 13: marker = "\uFFFC"; break;
    default: return std::nullopt;
    }
    const bool inside = position_ == static_cast<std::uint64_t>(RTListStylePosition::Inside);
    std::string prefix;
    prefix.reserve(marker.size() + 2);
    prefix += inside ? "\t\t" : "\t";
    prefix += marker;
    if (!inside) prefix += '\t';
    return prefix;
}

bool RTCSSListStyle::isOrdered() const {
    switch (type_) {
    case 3:
    case 4:
    case 7:
    case 8:
    case 9:
    case 10: return true;
    default: return false;
    }
}

bool RTCSSListStyle::isEqualToListStyle(const RTCSSListStyle* other) const {
    if (!other) return false;
    if (other == this) return true;
    return inherit_ == other->inherit_ && type_ == other->type_ && position_ == other->position_ &&
           startingItemNumber_ == other->startingItemNumber_ && imageName_ == other->imageName_;
}

std::uint64_t RTCSSListStyle::hash() const {
    std::uint64_t result = 7;
    const std::uint64_t parts[] = {imageName_ ? std::hash<std::string>()(*imageName_) : 0, type_, position_,
                                   static_cast<std::uint64_t>(startingItemNumber_), inherit_ ? 1u : 0u};
    for (std::uint64_t part : parts) result = result * 31 + part;
    return result;
}

std::shared_ptr<ns::Object> RTCSSListStyle::copy() const {
    auto copied = std::make_shared<RTCSSListStyle>();
    copied->type_ = type_;
    copied->position_ = position_;
    copied->imageName_ = imageName_;
    copied->startingItemNumber_ = startingItemNumber_;
    copied->inherit_ = inherit_;
    return copied;
}

std::string RTCSSListStyle::description() const {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "<RTCSSListStyle %p type=%d position=%d>", static_cast<const void*>(this),
                  static_cast<int>(type_), static_cast<int>(position_));
    return buffer;
}

void RTCSSListStyle::encodeWithCoder(ns::KeyedArchiver& coder) const {
    coder.encodeBool(inherit_, InheritKey);
    coder.encodeInteger(static_cast<std::int64_t>(type_), TypeKey);
    coder.encodeInteger(static_cast<std::int64_t>(position_), PositionKey);
    coder.encodeObject(imageName_ ? ns::Value(*imageName_) : ns::Value(), ImageNameKey);
    coder.encodeInteger(startingItemNumber_, StartingItemNumberKey);
}

bool RTCSSListStyle::initWithCoder(ns::KeyedUnarchiver& coder) {
    inherit_ = coder.decodeBoolForKey(InheritKey);
    type_ = static_cast<std::uint64_t>(coder.decodeInt64ForKey(TypeKey));
    position_ = static_cast<std::uint64_t>(coder.decodeInt64ForKey(PositionKey));
    const ns::Value name = coder.decodeObjectForKey(ImageNameKey);
    imageName_ = name.isString() ? std::optional<std::string>(name.asString()) : std::nullopt;
    startingItemNumber_ = coder.decodeInt64ForKey(StartingItemNumberKey);
    return true;
}

}  // namespace ql
