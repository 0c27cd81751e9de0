#pragma once
// RTCSSStylesheet: the CSS rules of one rich text import and their cascade. It parses style texts,
// expands the shorthands the import understands, keeps selectors in the order they were first defined
// with a specificity weight, merges other stylesheets in, and answers the declarations that apply to one
// element: its tag, the descendant selectors that match it (by weight), its classes, its id, its inline
// style. Values are kept as written; the element interprets them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/foundation/Value.h"

namespace ql {

class RTHTMLParserNode;

class RTCSSStylesheet {
public:
    RTCSSStylesheet() = default;
    explicit RTCSSStylesheet(std::string_view styleBlock);

    // The rules every import starts from, parsed once per process. Callers that add rules copy it.
    static const RTCSSStylesheet& defaultStyleSheet();

    void parseStyleBlock(std::string_view css);
    // The other's rules written over the receiver's; a selector already known keeps its place and weight.
    void mergeStylesheet(const RTCSSStylesheet& other);

    // The cascade for one element; nil when no rule applies. The selectors that contributed (without
    // the tag's own rule) are added to `matchedSelectors` when one is given.
    ns::Value mergedStyleDictionaryForElement(const RTHTMLParserNode& element, std::set<std::string>* matchedSelectors,
                                              bool ignoreInlineStyle) const;
    // Equal for two elements exactly when this stylesheet gives them the same cascade: the same tag,
    // classes, id, inline style (unless ignored) and matching selectors of two or more parts.
    std::string cascadeKeyForElement(const RTHTMLParserNode& element, bool ignoreInlineStyle) const;
    // The same written into `key` (its old content replaced), so that a caller keeping one buffer for
    // every element makes no text per element.
    void cascadeKeyForElement(const RTHTMLParserNode& element, bool ignoreInlineStyle, std::string& key) const;
    // Changes whenever the rules do; a copy keeps its original's until either changes.
    std::uint64_t generation() const { return generation_; }
    // Whether a selector of two or more parts ends on this tag, class (".x") or id ("#x"). An element
    // without attributes whose tag ends none has the cascade of its tag alone.
    bool hasComplexSelectorEndingOn(std::string_view lastPart) const {
        return lastParts_.mayContain(lastPart) && complexRulesByLastPart_.find(lastPart) != complexRulesByLastPart_.end();
    }
    // The selectors of two or more parts ("ul li") that match the element, in definition order.
    std::vector<std::string> matchingComplexCascadingSelectorsForElement(const RTHTMLParserNode& element) const;

    // The declarations of one selector (pseudo-class declarations are keyed "active:color"); nullptr when
    // none.
    const ns::Dictionary* stylesForSelector(std::string_view selector) const;
    const std::vector<std::string>& orderedSelectors() const { return orderedSelectors_; }
    unsigned weightForSelector(std::string_view selector) const;
    std::string description() const;

    // Shorthands expanded in place: list-style, font, margin, padding, background.
    static void uncompressShorthands(ns::Dictionary& declarations);

private:
    struct Rule {
        ns::Dictionary declarations;
        unsigned weight = 0;
        std::vector<std::string> parts;  // the selector split at spaces
    };

    void addStyleRule(std::string_view declarationText, std::string_view selectorGroup);
    void addStyles(ns::Dictionary declarations, const std::string& selector);
    const Rule* ruleFor(std::string_view selector) const;
    // The positions of the selectors of two or more parts that match the element, in definition order.
    std::vector<std::size_t> matchingComplexRules(const RTHTMLParserNode& element) const;
    // The same handed to `visit` one by one, without a list: the cascade key of every element needs them.
    // The element's class and id attributes are passed in, as the caller has read them already.
    template <typename Visit>
    void forEachMatchingComplexRule(const RTHTMLParserNode& element, std::optional<std::string_view> classes,
                                    std::optional<std::string_view> id, Visit&& visit) const;

    // Looked up by views of the element's tag, class and id, so that no text is made per lookup.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
    };

    std::unordered_map<std::string, std::size_t> index_;  // selector -> position in rules_
    std::vector<Rule> rules_;
    std::vector<std::string> orderedSelectors_;
    // Positions of the selectors with two or more parts, by their last part ("li", ".q", "#main"): an
    // element only looks at the selectors that can end on it, not at every rule of the document.
    std::unordered_map<std::string, std::vector<std::size_t>, TextHash, std::equal_to<>> complexRulesByLastPart_;
    // Which texts may be a key of complexRulesByLastPart_, by their length and last character: a text it
    // rules out is looked up no further.
    class TextFilter {
    public:
        void add(std::string_view text) { bits_[bit(text) / 64] |= std::uint64_t{1} << (bit(text) % 64); }
        bool mayContain(std::string_view text) const { return (bits_[bit(text) / 64] >> (bit(text) % 64)) & 1; }

    private:
        static std::size_t bit(std::string_view text) {
            return text.empty() ? 0 : (text.size() * 31 + static_cast<unsigned char>(text.back())) % 256;
        }
        std::array<std::uint64_t, 4> bits_{};
    };
    TextFilter lastParts_;
    std::uint64_t generation_ = 0;
};

}  // namespace ql
