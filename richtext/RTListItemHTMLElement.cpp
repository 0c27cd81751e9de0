#include "richtext/RTListItemHTMLElement.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "platform/text/AttributeNames.h"
#include "platform/ui/Font.h"
#include "richtext/NSMutableAttributedStringHTML.h"
#include "richtext/NSScannerHTML.h"
#include "richtext/RTAttributeNames.h"
#include "richtext/RTHTMLOptions.h"
#include "richtext/RTTextAttachmentRunDelegate.h"

namespace ql {

namespace {

constexpr double MarkerGap = 5;

const RTHTMLElement* enclosingList(const RTHTMLElement& item) {
    for (const RTHTMLElement* ancestor = item.parentElementPointer(); ancestor; ancestor = ancestor->parentElementPointer()) {
        if (ancestor->name() == "ul" || ancestor->name() == "ol") return ancestor;
    }
    return nullptr;
}

}  // namespace

RTListItemHTMLElement::RTListItemHTMLElement(std::string_view name, ns::Dictionary attributes, const ns::Dictionary& options)
    : RTHTMLElement(name, std::move(attributes), options) {
    if (const ns::Value* value = options.find(NSBaseURLDocumentOption)) baseURLOption_ = *value;
    if (const ns::Value* value = options.find(RTMaxImageSize)) maxImageSizeOption_ = *value;
}

ns::Dictionary RTListItemHTMLElement::markerImageOptions() const {
    ns::Dictionary options;
    if (baseURLOption_) options.set(std::string(NSBaseURLDocumentOption), *baseURLOption_);
    if (maxImageSizeOption_) options.set(RTMaxImageSize, *maxImageSizeOption_);
    return options;
}

void RTListItemHTMLElement::applyStyleDictionary(const ns::Dictionary& styles) {
    const RTHTMLElement* list = styles.empty() ? nullptr : enclosingList(*this);
    Indentation indentation{paragraphStyle(), fontDescriptor(), &styles, list ? list->listIndent() : 0, textScale(),
                            displayStyle(), displayStyle(), nullptr};
    const RTListItemHTMLElement* previous = styles.empty() ? nullptr : previousItem();
    const Indentation* before = previous && previous->indentation_ ? &*previous->indentation_ : nullptr;
    const bool likePrevious = before && indentation.from && before->from == indentation.from && before->font == indentation.font &&
                              before->styles == &styles && &previous->styles() == &styles &&
                              before->listIndent == indentation.listIndent && before->textScale == indentation.textScale &&
                              before->displayBefore == indentation.displayBefore &&
                              before->displayAfter == RTHTMLElementDisplayStyle::ListItem;
    if (likePrevious) shareParagraphStyle(before->result);
    RTHTMLElement::applyStyleDictionary(styles);
    if (styles.empty() || !paragraphStyle()) return;
    if (!likePrevious) indentItem(indentation.listIndent);
    indentation.displayAfter = displayStyle();
    indentation.result = paragraphStyle();
    indentation_ = std::move(indentation);
    styleDidChange();
}

const RTListItemHTMLElement* RTListItemHTMLElement::previousItem() const {
    const RTHTMLParserNode* parent = this->parent();
    if (!parent) return nullptr;
    // White space and the like may stand between two items; a longer search would cost more than it saves.
    constexpr std::size_t Lookback = 4;
    const auto siblings = parent->children();
    for (std::size_t at = siblings.size(), seen = 0; at-- > 0 && seen <= Lookback; ++seen) {
        const RTHTMLParserNode* node = siblings[at].get();
        if (node == this) continue;
        if (auto* item = dynamic_cast<const RTListItemHTMLElement*>(node)) return item;
    }
    return nullptr;
}

void RTListItemHTMLElement::indentItem(double listIndent) {
    RichTextParagraphStyle& style = mutableParagraphStyle();
    style.headIndent += listIndent;
    const bool inside = style.textLists && !style.textLists->empty() &&
                        style.textLists->back()->position() == static_cast<std::uint64_t>(RTListStylePosition::Inside);
    const double scale = textScale() != 0 ? textScale() : 1;
    if (!style.tabStops) style.tabStops.emplace();
    style.tabStops->reserve(style.tabStops->size() + 2);
    style.addTabStopAtPosition(std::max(style.headIndent - MarkerGap * scale, 0.0),
                               static_cast<std::uint8_t>(inside ? ct::TextAlignment::Left : ct::TextAlignment::Right));
    style.addTabStopAtPosition(style.headIndent, static_cast<std::uint8_t>(ct::TextAlignment::Left));
    // Stops inherited from enclosing items stay; the layout looks for the next stop in order. A stable
    // insertion sort: the stops are few, and a stable sort of the library would allocate for them.
    RichTextParagraphStyle::TabStops& stops = *style.tabStops;
    for (std::size_t at = 1; at < stops.size(); ++at) {
        const ct::TextTab moving = stops[at];
        std::size_t hole = at;
        for (; hole > 0 && moving.location < stops[hole - 1].location; --hole) stops[hole] = stops[hole - 1];
        stops[hole] = moving;
    }
}

std::int64_t RTListItemHTMLElement::indexInList() const {
    if (const std::int64_t known = index_; known >= 0) return known;
    const RTHTMLParserNode* parent = this->parent();
    if (!parent) return 0;
    // Back from the last child to the last numbered item, then forward again numbering the items after it
    // in order; every child is passed over at most twice however many items are asked for.
    const auto siblings = parent->children();
    std::int64_t next = 0;
    std::optional<std::int64_t> offset;
    std::size_t first = siblings.size();
    while (first > 0) {
        auto* item = dynamic_cast<const RTListItemHTMLElement*>(siblings[first - 1].get());
        if (item && item->index_ >= 0) {
            next = item->index_ + 1;
            offset = item->valueOffset_;
            break;
        }
        --first;
    }
    for (std::size_t at = first; at < siblings.size(); ++at) {
        auto* item = dynamic_cast<const RTListItemHTMLElement*>(siblings[at].get());
        if (!item) continue;
        if (const std::optional<std::int64_t> value = item->ownValue()) offset = *value - next;
        item->index_ = next++;
        item->valueOffset_ = offset;
    }
    const std::int64_t own = index_;
    return own >= 0 ? own : 0;
}

std::int64_t RTListItemHTMLElement::numberInList(std::int64_t start) const {
    const std::int64_t index = indexInList();
    return index + valueOffset_.value_or(start);
}

std::optional<std::int64_t> RTListItemHTMLElement::ownValue() const {
    if (attributes().empty()) return std::nullopt;
    std::string storage;
    const std::optional<std::string_view> text = attributeText("value", storage);
    if (!text) return std::nullopt;
    // As HTML reads an integer: white space, a sign, digits, and whatever follows them ignored. A number
    // beyond what HTML keeps of one (32 bits) numbers nothing.
    std::size_t at = 0;
    while (at < text->size() && css::isSpace((*text)[at])) ++at;
    if (at < text->size() && (*text)[at] == '+') ++at;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text->data() + at, text->data() + text->size(), value);
    if (error != std::errc() || end == text->data() + at) return std::nullopt;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return value;
}

std::optional<RTListItemHTMLElement::MarkerText> RTListItemHTMLElement::markerText() const {
    const std::shared_ptr<const RichTextParagraphStyle>& style = paragraphStyle();
    if (!style || !style->textLists || style->textLists->empty()) return std::nullopt;
    const RTCSSListStyle& list = *style->textLists->back();
    // Only a numbered marker reads the item's place; a bullet spares the count.
    const std::int64_t counter = list.isOrdered() ? numberInList(list.startingItemNumber()) : list.startingItemNumber();
    std::optional<std::string> prefix = list.prefixWithCounter(counter);
    if (!prefix) return std::nullopt;
    return std::pair{std::move(*prefix), &list};
}

ct::AttributedString RTListItemHTMLElement::listPrefix(const MarkerText& text) const {
    ct::AttributedString marker(text.first, listMarkerAttributes());
    const std::size_t at = marker.u16string().find(u'\uFFFC');
    if (at == std::u16string::npos) return marker;
    auto image =
        RTTextAttachment::textAttachmentWithElement("img", ns::Dictionary{{"src", ns::Value(*text.second->imageName())}}, markerImageOptions());
    if (!image) return marker;
    if (const ns::Value* font = attributesForTextContent()->find(ct::FontAttributeName)) {
        if (auto platformFont = font->asObject<ui::Font>()) image->adjustVerticalAlignmentForFont(platformFont->ctFont());
    }
    marker.addAttribute(ui::AttachmentAttributeName, ns::Value(image), {at, 1});
    marker.addAttribute(ct::RunDelegateAttributeName, ns::Value(RTTextAttachmentRunDelegateCreate(image)), {at, 1});
    return marker;
}

bool RTListItemHTMLElement::appendAttributedStringTo(ct::AttributedString& text) {
    if (!writesText()) return false;
    // A marker of characters alone (nearly all) is written in place; one with an image is made whole.
    if (const std::optional<MarkerText> marker = markerText()) {
        if (!marker->second->imageName()) text.appendText(marker->first, listMarkerAttributes());
        else text.appendAttributedString(listPrefix(*marker));
    }
    return RTHTMLElement::appendAttributedStringTo(text);
}

}  // namespace ql
