#pragma once
// RTListItemHTMLElement: an li. Its text begins with the marker of the innermost enclosing list
// (RTCSSListStyle::prefixWithCounter), numbered from the list's first number by the item's place among
// the list items of its parent, and marked as a list prefix (RTField "{listprefix}"). An item with a
// "value" attribute (an integer, as HTML reads one) has that number, and the items after it count on from it.
//
// Indentation: an item is indented by the list indent of its list (the nearest enclosing ul or ol,
// whose left padding became its list indent) on top of what it inherited, so nested lists add up. Its
// first line starts where the list starts (the list set it so): the marker's tabs lead to a stop 5
// points (times the text scale) before the item's head indent, right-aligned for markers outside the
// text and left-aligned for markers inside it, and to a left stop at the head indent itself.
//
// A marker image (list-style-image) is an image attachment in place of the marker character, made from
// the URL as an img's source would be (the import's base URL applies); like an img without width and
// height, it has no size until its image is known.

#include <cstdint>
#include <optional>

#include "richtext/RTHTMLElement.h"

namespace ql {

class RTListItemHTMLElement final : public RTHTMLElement {
    QL_OBJECT(RTListItemHTMLElement, RTHTMLElement)
public:
    RTListItemHTMLElement(std::string_view name, ns::Dictionary attributes, const ns::Dictionary& options = {});

    // The inherited interpretation, then the item's indentation and tab stops. The element must already
    // be a child of its parent.
    void applyStyleDictionary(const ns::Dictionary& styles) override;
    bool appendAttributedStringTo(ct::AttributedString& text) override;

    // The item's place among the list items of its parent, from 0.
    std::int64_t indexInList() const;
    // The item's number in a list whose first number is `start`.
    std::int64_t numberInList(std::int64_t start) const;

private:
    // The marker's characters and its list, nothing when the item has no marker.
    using MarkerText = std::pair<std::string, const RTCSSListStyle*>;
    std::optional<MarkerText> markerText() const;
    // The marker of a list with a marker image as attributed text, the image in place of its character.
    ct::AttributedString listPrefix(const MarkerText& text) const;
    // The list indent and the marker's tab stops, on the item's own paragraph style.
    void indentItem(double listIndent);
    // The nearest earlier item among the last few siblings.
    const RTListItemHTMLElement* previousItem() const;

    // What the item's styling started from and the paragraph style that came of it. The next item of the
    // list that starts from the same objects and declarations takes that style instead of making its own:
    // for an item (not a block) the declarations only assign paragraph settings the indentation leaves
    // alone, so applying them again to the result changes nothing. The objects are held, so none of them
    // changes in place.
    struct Indentation {
        std::shared_ptr<const RichTextParagraphStyle> from;
        std::shared_ptr<const RichTextFontDescriptor> font;
        const ns::Dictionary* styles = nullptr;  // the declarations the item holds
        double listIndent = 0;
        double textScale = 0;
        RTHTMLElementDisplayStyle displayBefore = RTHTMLElementDisplayStyle::Inline;
        RTHTMLElementDisplayStyle displayAfter = RTHTMLElementDisplayStyle::Inline;
        std::shared_ptr<const RichTextParagraphStyle> result;
    };
    std::optional<Indentation> indentation_;

    // What a marker image needs of the import's options (its base URL and largest image size), kept as the
    // values themselves: few items have a marker image, and only theirs build the options.
    ns::Dictionary markerImageOptions() const;
    std::optional<ns::Value> baseURLOption_;
    std::optional<ns::Value> maxImageSizeOption_;
    // The number the item's "value" attribute gives it, if any.
    std::optional<std::int64_t> ownValue() const;
    // -1 until numbered; items are numbered in runs, each run from the last numbered item on.
    mutable std::int64_t index_ = -1;
    // Once numbered: what the nearest item with a value, this one or one before, adds to the places.
    mutable std::optional<std::int64_t> valueOffset_;
};

}  // namespace ql
