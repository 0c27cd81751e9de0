#pragma once
// ct::AttributedString: a text whose ranges carry attributes, after the platform's attributed string. Any
// value can be an attribute (fonts, colours, paragraph styles, shadows, run delegates, attachments, links,
// the rich text import's own keys), held as ns::Values under text keys; AttributeNames.h lists the keys
// the platform's text layers agree on. Indexes and ranges count UTF-16 code units. Runs of equal
// attributes are kept merged, so two strings with the same text and attributes compare equal however
// they were built. Indexes and ranges beyond the text raise "NSRangeException".
//
// Runs hold their attributes as shared, immutable dictionaries: copying, splitting or slicing a string
// shares them, and changing a run's attributes gives that run a changed copy. Callers that apply one
// set of attributes to many pieces of text can hand the shared dictionary in themselves.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Range.h"
#include "platform/foundation/SmallVector.h"
#include "platform/foundation/Value.h"

namespace ql::ct {

class AttributedString {
public:
    AttributedString() = default;
    // The whole UTF-8 text with one set of attributes.
    explicit AttributedString(std::string_view text, ns::Dictionary attributes = {});
    AttributedString(std::u16string text, ns::Dictionary attributes);
    // The same, sharing `attributes` (no attributes when null) instead of taking a copy of its own.
    AttributedString(std::string_view text, std::shared_ptr<const ns::Dictionary> attributes);
    AttributedString(std::u16string text, std::shared_ptr<const ns::Dictionary> attributes);

    std::uint64_t length() const { return text_.size(); }
    bool empty() const { return text_.empty(); }
    const std::u16string& u16string() const { return text_; }
    std::string string() const;

    // The attributes of the character at `index`; `effectiveRange`, when given, receives the whole run
    // of characters that carry the same attributes.
    const ns::Dictionary& attributesAtIndex(std::uint64_t index, ns::Range* effectiveRange = nullptr) const;
    // One attribute (nil when absent); `effectiveRange` receives the run over which it keeps that value.
    ns::Value attributeAtIndex(std::string_view name, std::uint64_t index, ns::Range* effectiveRange = nullptr) const;

    // Each run of equal attributes that meets `range`, clipped to it, in order; set `stop` to end early.
    void enumerateAttributes(ns::Range range,
                             const std::function<void(const ns::Dictionary&, ns::Range, bool& stop)>& block) const;
    // Each run of one value of the attribute (nil where absent) within `range`.
    void enumerateAttribute(std::string_view name, ns::Range range,
                            const std::function<void(const ns::Value&, ns::Range, bool& stop)>& block) const;

    AttributedString attributedSubstringFromRange(ns::Range range) const;

    // The new characters take the attributes of the first character replaced; with an empty range, those
    // of the character before it, or after it at the start of the text.
    void replaceCharactersInRange(ns::Range range, std::string_view text);
    void replaceCharactersInRange(ns::Range range, const AttributedString& replacement);
    void deleteCharactersInRange(ns::Range range);
    void insertAttributedString(const AttributedString& string, std::uint64_t index);
    void appendAttributedString(const AttributedString& string);
    // The same, taking the other string's runs instead of copying them; it is left empty.
    void appendAttributedString(AttributedString&& string);
    // Appends UTF-8 text sharing `attributes` (no attributes when null), as appending
    // AttributedString(text, attributes) would, without making that string first.
    void appendText(std::string_view text, std::shared_ptr<const ns::Dictionary> attributes);

    void setAttributes(const ns::Dictionary& attributes, ns::Range range);
    void addAttribute(std::string_view name, const ns::Value& value, ns::Range range);
    void addAttributes(const ns::Dictionary& attributes, ns::Range range);
    void removeAttribute(std::string_view name, ns::Range range);

    bool operator==(const AttributedString& other) const;
    // The text of each run followed by its attributes, as the platform describes attributed strings.
    std::string description() const;

private:
    using SharedAttributes = std::shared_ptr<const ns::Dictionary>;
    struct Run {
        std::uint64_t location;
        SharedAttributes attributes;  // never null
    };

    static bool sameAttributes(const SharedAttributes& a, const SharedAttributes& b) { return a == b || *a == *b; }

    void checkRange(ns::Range range) const;
    std::size_t runIndexAt(std::uint64_t index) const;
    std::uint64_t runEnd(std::size_t run) const;
    // Makes a run start at `index` (< length) and answers its index; runs.size() for the end of the text.
    std::size_t splitAt(std::uint64_t index);
    // Merges equal neighbours among the runs [first, last].
    void coalesce(std::size_t first, std::size_t last);
    template <class Change>
    void changeAttributes(ns::Range range, Change&& change);

    std::u16string text_;
    // Cover the text without gaps, in order; none for an empty text. Most texts made by pieces have up to
    // four runs, which need no allocation of their own.
    ns::SmallVector<Run, 4> runs_;
};

}  // namespace ql::ct
