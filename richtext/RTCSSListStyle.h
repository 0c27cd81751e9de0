#pragma once
// RTCSSListStyle: the CSS list properties of one list (marker type, marker position, marker image, first
// number) and the marker text of its items. Paragraph styles list the list styles that enclose them,
// outermost first; the innermost one makes an item's marker.

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Coding.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql {

// Marker types; the numbers are archived, so 8 and 10 stay unused.
enum class RTListStyleType : std::uint64_t {
    Inherit = 0,
    None = 1,
    Circle = 2,
    Decimal = 3,
    DecimalLeadingZero = 4,
    Disc = 5,
    Square = 6,
    UpperAlpha = 7,
    LowerAlpha = 9,
    Plus = 11,
    Underscore = 12,
    Image = 13,
};

enum class RTListStylePosition : std::uint64_t { Inherit = 0, Inside = 1, Outside = 2 };

class RTCSSListStyle final : public ns::Object, public ns::Coding {
    QL_OBJECT(RTCSSListStyle, ns::Object)
public:
    // What the keyword parsers answer for an absent text; never stored.
    static constexpr std::uint64_t NotUnderstood = std::numeric_limits<std::int64_t>::max();

    RTCSSListStyle() = default;
    // Outside markers, numbered from 1, then the dictionary's list properties.
    explicit RTCSSListStyle(const ns::Dictionary& styles);

    // A keyword (any case, untrimmed) to its number: unknown words give none (1) and inherit (0).
    static std::uint64_t listStyleTypeFromString(std::optional<std::string_view> text);
    static std::uint64_t listStylePositionFromString(std::optional<std::string_view> text);

    // Refuse only an absent text.
    bool setTypeWithString(std::optional<std::string_view> text);
    bool setPositionWithString(std::optional<std::string_view> text);
    // "list-style" (words in order: a url() image, then the type, then the position; "inherit" only
    // sets the flag), or, without it, the longhands.
    void updateFromStyleDictionary(const ns::Dictionary& styles);

    // The marker of the item numbered `counter` with its tabs: "\t<marker>\t" outside, "\t\t<marker>"
    // inside; nothing for inherit and none. Letters beyond A–Z fall back to the number.
    std::optional<std::string> prefixWithCounter(std::int64_t counter) const;
    bool isOrdered() const;

    bool inherit() const { return inherit_; }
    void setInherit(bool inherit) { inherit_ = inherit; }
    std::uint64_t type() const { return type_; }
    void setType(std::uint64_t type) { type_ = type; }
    void setType(RTListStyleType type) { type_ = static_cast<std::uint64_t>(type); }
    std::uint64_t position() const { return position_; }
    void setPosition(std::uint64_t position) { position_ = position; }
    void setPosition(RTListStylePosition position) { position_ = static_cast<std::uint64_t>(position); }
    const std::optional<std::string>& imageName() const { return imageName_; }
    void setImageName(std::optional<std::string> name) { imageName_ = std::move(name); }
    std::int64_t startingItemNumber() const { return startingItemNumber_; }
    void setStartingItemNumber(std::int64_t number) { startingItemNumber_ = number; }

    // Value comparison; isEqual stays identity, so paragraph styles match only on the same list objects.
    bool isEqualToListStyle(const RTCSSListStyle* other) const;
    std::uint64_t hash() const;
    std::shared_ptr<ns::Object> copy() const override;
    std::string description() const override;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;

private:
    bool inherit_ = false;
    std::uint64_t type_ = 0;
    std::uint64_t position_ = 0;
    std::optional<std::string> imageName_;
    std::int64_t startingItemNumber_ = 0;
};

}  // namespace ql
