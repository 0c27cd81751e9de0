// How an element writes its text: the attributes of its style and the assembly of its children's texts.

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "platform/foundation/SmallVector.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/ParagraphStyleObject.h"
#include "platform/text/Shadow.h"
#include "platform/ui/Font.h"
#include "platform/ui/GeometryValue.h"
#include "richtext/NSMutableAttributedStringHTML.h"
#include "richtext/NSScannerHTML.h"
#include "richtext/NSStringCSS.h"
#include "richtext/NSStringHTML.h"
#include "richtext/NSStringParagraphs.h"
#include "richtext/RTAttributeNames.h"
#include "richtext/RTHTMLElement.h"
#include "richtext/RTTextAttachment.h"
#include "richtext/RTSimpleHTMLElements.h"
#include "richtext/RTTextHTMLElement.h"
#include "richtext/RTTextAttachmentRunDelegate.h"

namespace ql {

namespace {

std::atomic<bool> uiKitAttributes{false};

constexpr char16_t ObjectReplacementCharacter = u'\uFFFC';

ns::Value shadowObject(const ns::Value& shadow) {
    const ns::Dictionary* entry = shadow.asDictionary();
    if (!entry) return ns::Value();
    const cg::Size offset = ui::GeometryValue::CGSizeValue((*entry)[RTShadowOffsetKey]).value_or(cg::Size());
    std::optional<cg::Color> color;
    if (auto uiColor = (*entry)[RTShadowColorKey].asObject<ui::Color>()) color = uiColor->CGColor();
    const double blur = static_cast<float>((*entry)[RTShadowBlurKey].doubleValue());
    return ns::Value(std::make_shared<ct::Shadow>(offset, blur, color));
}

}  // namespace

bool RTHTMLElement::usesUIKitAttributes() { return uiKitAttributes.load(); }
void RTHTMLElement::setUsesUIKitAttributes(bool uses) { uiKitAttributes.store(uses); }

namespace {

// The comparisons take the objects themselves: a converted shared pointer would be a reference counted
// for nothing.
// Colours are equal as their platform colours are, which is what their isEqual compares once it has
// made sure of the other's class; these are known to be colours.
bool sameColour(const ui::Color* a, const ui::Color* b) {
    return a == b || (a && b && a->CGColor() == b->CGColor());
}

// Exact, unlike isEqual: what the receiver lacks counts too, and lists and blocks are the same objects
// (each one is a box or a numbering of its own).
bool sameParagraphStyle(const RichTextParagraphStyle* a, const RichTextParagraphStyle* b) {
    if (a == b) return true;
    if (!a || !b) return false;
    // Lists and blocks first: they tell most styles of different questions apart.
    return a->textLists == b->textLists && a->textBlocks == b->textBlocks &&
           a->firstLineHeadIndent == b->firstLineHeadIndent && a->headIndent == b->headIndent && a->tailIndent == b->tailIndent &&
           a->defaultTabInterval == b->defaultTabInterval && a->paragraphSpacingBefore == b->paragraphSpacingBefore &&
           a->paragraphSpacing == b->paragraphSpacing && a->lineHeightMultiple == b->lineHeightMultiple &&
           a->minimumLineHeight == b->minimumLineHeight && a->maximumLineHeight == b->maximumLineHeight &&
           a->alignment == b->alignment && a->baseWritingDirection == b->baseWritingDirection && a->tabStops == b->tabStops;
}

bool sameFont(const RichTextFontDescriptor* a, const RichTextFontDescriptor* b) {
    return a == b || (a && b && a->isEqual(*b) && a->smallCapsFeature() == b->smallCapsFeature());
}

// The attribute values of a paragraph style: the platform style, its lists and its blocks (nil when it
// has none).
struct ParagraphValues {
    ns::Value paragraph;
    ns::Value lists;
    ns::Value blocks;
};

// Keeps `entry` among the last `capacity` ones, in place of the oldest once there are that many.
template <typename Entry>
void remember(std::vector<Entry>& entries, std::size_t& next, std::size_t capacity, Entry entry) {
    if (entries.size() < capacity) entries.push_back(std::move(entry));
    else entries[next] = std::move(entry);
    next = (next + 1) % capacity;
}

// Objects boxed as attribute values, and arrays of them. Boxing makes a value of its own each time; the
// cache below hands out the values it made for the last few objects and arrays instead. An entry knows
// its objects by address: its value holds them, so no other object takes an address while it is kept.
class BoxedValues {
public:
    template <typename T>
    ns::Value object(const std::shared_ptr<T>& object) {
        for (const auto& [held, value] : objects_)
            if (held == object.get()) return value;
        ns::Value value(std::static_pointer_cast<ns::Object>(object));
        remember(objects_, nextObject_, ObjectCapacity, {object.get(), value});
        return value;
    }
    template <typename T>
    ns::Value array(const std::vector<std::shared_ptr<T>>& objects) {
        const auto same = [&objects](const Addresses& held) {
            return std::equal(held.begin(), held.end(), objects.begin(), objects.end(),
                              [](const ns::Object* a, const std::shared_ptr<T>& b) { return a == b.get(); });
        };
        for (const auto& [held, value] : arrays_)
            if (same(held)) return value;
        Addresses held;
        ns::Array array;
        array.reserve(objects.size());
        for (const auto& each : objects) {
            held.push_back(each.get());
            array.push_back(object(each));
        }
        ns::Value value(std::move(array));
        remember(arrays_, nextArray_, ArrayCapacity, {std::move(held), value});
        return value;
    }

    // The platform paragraph style of `style`: the object made for the same values last time while it is
    // among the last few. The platform's paragraph styles are plain values (they compare by value), and the
    // paragraphs of one question come again, with the same values, in the next.
    ns::Value paragraph(const RichTextParagraphStyle& style) { return paragraph(style.createCTParagraphStyle()); }
    ns::Value paragraph(ct::ParagraphStyle values) {
        for (const auto& [object, value] : paragraphs_)
            if (object->style() == values) return value;
        auto object = std::make_shared<ct::ParagraphStyleObject>(std::move(values));
        ns::Value value(std::static_pointer_cast<ns::Object>(object));
        remember(paragraphs_, nextParagraph_, ParagraphCapacity, {std::move(object), value});
        return value;
    }

private:
    // Enough for the colours, lists, blocks and paragraphs of a question.
    static constexpr std::size_t ObjectCapacity = 8;
    static constexpr std::size_t ArrayCapacity = 4;
    static constexpr std::size_t ParagraphCapacity = 4;
    // Most arrays hold one list or block.
    using Addresses = ns::SmallVector<const ns::Object*, 2>;
    std::vector<std::pair<const ns::Object*, ns::Value>> objects_;
    std::size_t nextObject_ = 0;
    std::vector<std::pair<Addresses, ns::Value>> arrays_;
    std::size_t nextArray_ = 0;
    std::vector<std::pair<std::shared_ptr<const ct::ParagraphStyleObject>, ns::Value>> paragraphs_;
    std::size_t nextParagraph_ = 0;
};

template <typename T>
ns::Value objectArray(const std::vector<std::shared_ptr<T>>& objects, BoxedValues* boxed) {
    if (boxed) return boxed->array(objects);
    ns::Array array;
    array.reserve(objects.size());
    for (const auto& object : objects) array.push_back(ns::Value(std::static_pointer_cast<ns::Object>(object)));
    return ns::Value(std::move(array));
}

ParagraphValues paragraphValuesOf(const RichTextParagraphStyle& style, BoxedValues* boxed) {
    return {boxed ? boxed->paragraph(style) : ns::Value(style.NSParagraphStyle()), style.textLists ? objectArray(*style.textLists, boxed) : ns::Value(),
            style.textBlocks ? objectArray(*style.textBlocks, boxed) : ns::Value()};
}

}  // namespace

class RTHTMLElement::TextAttributesCache {
public:
    // The values of a paragraph style object, made once while the last few styles are asked for again
    // (an element and its inline children share one object). The object is held, so it does not change.
    ParagraphValues paragraphValues(const std::shared_ptr<const RichTextParagraphStyle>& style) {
        for (const auto& [held, values] : paragraphs_)
            if (held == style) return values;
        ParagraphValues values = paragraphValuesOf(*style, &boxed_);
        remember(paragraphs_, nextParagraph_, ParagraphCapacity, {style, values});
        return values;
    }
    // The snapshot of the element's text attributes: the one of an agreeing style among the last few; else
    // one made from the snapshot of a style that differs in the paragraph style alone, whose attributes
    // differ in the paragraph's values alone (the next question repeats the styles of the last one, in
    // blocks and lists of its own); else one made afresh.
    std::shared_ptr<const ns::Dictionary> attributesFor(const RTHTMLElement& element) {
        const Entry* similar = nullptr;
        // Newest first: elements of one style tend to follow each other.
        for (std::size_t n = 0; n < entries_.size(); ++n) {
            const Entry& entry = entries_[(next_ + entries_.size() - 1 - n) % entries_.size()];
            if (sameParagraphStyle(element.paragraphStyle_.get(), entry.style.paragraph.get())) {
                if (sameApartFromParagraph(element, entry.style)) return entry.attributes;
            } else if (!similar && sameColourObjects(element, entry.style) && sameApartFromParagraph(element, entry.style)) {
                similar = &entry;
            }
        }
        if (!similar) {
            auto attributes = std::make_shared<const ns::Dictionary>(element.RTHTMLElement::attributesForAttributedStringRepresentation());
            add(element.textStyle(), attributes, nullptr);
            return attributes;
        }
        ParagraphValues values = element.paragraphStyle_ ? paragraphValues(element.paragraphStyle_) : ParagraphValues();
        auto attributes = withParagraphValues(*similar->attributes, std::move(values));
        add(element.textStyle(), attributes, similar->markerAttributes);
        return attributes;
    }
    // The list marker attributes made from a snapshot, made once for every item that shares it. Those of a
    // snapshot copied for a new paragraph style are the marker attributes of the one it was copied from
    // with the same paragraph values, taken from the snapshot itself.
    std::shared_ptr<const ns::Dictionary> markerAttributes(const std::shared_ptr<const ns::Dictionary>& text,
                                                           const std::function<std::shared_ptr<const ns::Dictionary>()>& make) {
        for (Entry& entry : entries_) {
            if (entry.attributes != text) continue;
            if (!entry.markerAttributes && entry.similarMarkerAttributes) {
                const auto valueOf = [&text](std::string_view key) {
                    const ns::Value* value = text->find(key);
                    return value ? *value : ns::Value();
                };
                entry.markerAttributes = withParagraphValues(
                    *entry.similarMarkerAttributes,
                    {valueOf(ct::ParagraphStyleAttributeName), valueOf(RTTextListsAttribute), valueOf(RTTextBlocksAttribute)});
                entry.similarMarkerAttributes.reset();
            }
            if (!entry.markerAttributes) entry.markerAttributes = make();
            return entry.markerAttributes;
        }
        return make();
    }
    void add(TextStyle style, std::shared_ptr<const ns::Dictionary> attributes, std::shared_ptr<const ns::Dictionary> similarMarkerAttributes) {
        if (entries_.size() < Capacity) {
            entries_.push_back(Entry{std::move(style), std::move(attributes), nullptr, std::move(similarMarkerAttributes)});
        } else {
            // The oldest entry's place is written over member by member, without an entry made first.
            Entry& entry = entries_[next_];
            entry.style = std::move(style);
            entry.attributes = std::move(attributes);
            entry.markerAttributes.reset();
            entry.similarMarkerAttributes = std::move(similarMarkerAttributes);
        }
        next_ = (next_ + 1) % Capacity;
    }

    // Whether the element's texts would get the attributes of a style, its paragraph style aside. Plain
    // values first, then the colours (mostly the stylesheet's own objects, told apart by their addresses),
    // the font descriptor (mostly an element's own, compared by value) last.
    static bool sameApartFromParagraph(const RTHTMLElement& element, const TextStyle& style) {
        return element.letterSpacing_ == style.letterSpacing && element.backgroundStrokeWidth_ == style.backgroundStrokeWidth &&
               element.backgroundCornerRadius_ == style.backgroundCornerRadius && element.superscriptStyle_ == style.superscriptStyle &&
               element.headerLevel_ == style.headerLevel && element.underlineStyle_ == style.underlineStyle &&
               element.strikeOut_ == style.strikeOut && usesUIKitAttributes() == style.uiKitAttributes &&
               sameColour(element.textColor_.get(), style.textColor.get()) &&
               sameColour(element.backgroundColor_.get(), style.backgroundColor.get()) &&
               sameColour(element.backgroundStrokeColor().get(), style.backgroundStrokeColor.get()) && element.link_ == style.link &&
               element.linkGUID() == style.linkGUID && element.anchorName() == style.anchorName && element.shadows() == style.shadows &&
               sameFont(element.fontDescriptor_.get(), style.font.get());
    }
    // Whether the element's colours are the style's very objects. A snapshot made afresh holds the element's
    // own colours, so only then does a copy of another style's hold the same.
    static bool sameColourObjects(const RTHTMLElement& element, const TextStyle& style) {
        return element.textColor_ == style.textColor && element.backgroundColor_ == style.backgroundColor &&
               element.backgroundStrokeColor() == style.backgroundStrokeColor;
    }
    // A copy of `similar` with the paragraph values in place of its own (without them where nil): put in
    // where the copy has their keys in one pass, the rest added or removed on their own.
    static std::shared_ptr<const ns::Dictionary> withParagraphValues(const ns::Dictionary& similar, ParagraphValues values) {
        auto attributes = std::make_shared<ns::Dictionary>(similar);
        const std::array<std::pair<std::string_view, ns::Value*>, 3> own{
            {{ct::ParagraphStyleAttributeName, &values.paragraph}, {RTTextBlocksAttribute, &values.blocks}, {RTTextListsAttribute, &values.lists}}};
        std::array<bool, 3> present{}, held{};
        for (std::size_t n = 0; n < own.size(); ++n) present[n] = !own[n].second->isNil();
        for (auto& [key, value] : *attributes) {
            for (std::size_t n = 0; n < own.size(); ++n) {
                if (key.view() != own[n].first) continue;
                held[n] = true;
                if (present[n]) value = std::move(*own[n].second);
                break;
            }
        }
        for (std::size_t n = 0; n < own.size(); ++n) {
            if (held[n] && !present[n]) attributes->erase(own[n].first);
            if (!held[n] && present[n]) attributes->set(own[n].first, std::move(*own[n].second));
        }
        return attributes;
    }

    // A platform paragraph style of these values, boxed: the one made for them last time while it is among
    // the last few.
    ns::Value paragraphObject(ct::ParagraphStyle values) { return boxed_.paragraph(std::move(values)); }
    // A colour as an attribute value: the value made for it last time while it is among the last few.
    ns::Value boxed(const std::shared_ptr<ui::Color>& color) { return boxed_.object(color); }
    // The font a descriptor object matches, looked up once while it is among the last few asked for. The
    // object is held, so it does not change.
    ns::Value font(const std::shared_ptr<const RichTextFontDescriptor>& descriptor) {
        for (std::size_t n = 0; n < fonts_.size(); ++n) {
            const auto& [held, value] = fonts_[(nextFont_ + fonts_.size() - 1 - n) % fonts_.size()];
            if (held == descriptor) return value;
        }
        ns::Value value = descriptor->matchingFontObject();
        remember(fonts_, nextFont_, FontCapacity, {descriptor, value});
        return value;
    }

private:
    // Enough for the distinct styles of a question; a longer search would cost more than it saves.
    static constexpr std::size_t Capacity = 8;
    struct Entry {
        TextStyle style;
        std::shared_ptr<const ns::Dictionary> attributes;
        std::shared_ptr<const ns::Dictionary> markerAttributes;
        // Of the snapshot this one was copied from, until its own are made from them.
        std::shared_ptr<const ns::Dictionary> similarMarkerAttributes;
    };
    static constexpr std::size_t ParagraphCapacity = 4;
    std::vector<Entry> entries_;
    std::size_t next_ = 0;
    std::vector<std::pair<std::shared_ptr<const RichTextParagraphStyle>, ParagraphValues>> paragraphs_;
    std::size_t nextParagraph_ = 0;
    static constexpr std::size_t FontCapacity = 8;
    std::vector<std::pair<std::shared_ptr<const RichTextFontDescriptor>, ns::Value>> fonts_;
    std::size_t nextFont_ = 0;
    BoxedValues boxed_;
};

std::shared_ptr<RTHTMLElement::TextAttributesCache> RTHTMLElement::makeTextAttributesCache() {
    return std::make_shared<TextAttributesCache>();
}

ns::Dictionary RTHTMLElement::attributesForAttributedStringRepresentation() const {
    const bool ui = usesUIKitAttributes();
    ns::Value runDelegate;
    if (textAttachment_) runDelegate = ns::Value(RTTextAttachmentRunDelegateCreate(textAttachment_));
    ns::Value font;
    if (fontDescriptor_) {
        font = textAttributesCache_ ? textAttributesCache_->font(fontDescriptor_) : fontDescriptor_->matchingFontObject();
        if (textAttachment_ && !font.isNil()) textAttachment_->adjustVerticalAlignmentForFont(font.asObject<ui::Font>()->ctFont());
    }
    ParagraphValues paragraph;
    if (paragraphStyle_)
        paragraph = textAttributesCache_ ? textAttributesCache_->paragraphValues(paragraphStyle_) : paragraphValuesOf(*paragraphStyle_, nullptr);
    const auto box = [this](const std::shared_ptr<ui::Color>& color) {
        return textAttributesCache_ ? textAttributesCache_->boxed(color) : ns::Value(color);
    };

    // Each key is written once, in the order of the typesetting keys, so that the finished dictionary
    // needs no sorting (the view layer's keys are sorted when it is finished).
    ns::Dictionary attributes;
    attributes.reserve(12);
    const auto set = [&attributes](std::string_view key, ns::Value value) { attributes.appendUnsorted(key, std::move(value)); };
    if (textColor_) set(ui ? ui::ForegroundColorAttributeName : ct::ForegroundColorAttributeName, box(textColor_));
    if (textAttachment_) {
        set(ct::RunDelegateAttributeName, std::move(runDelegate));
        set(ui::AttachmentAttributeName, ns::Value(textAttachment_));
    }
    if (ui && backgroundColor_) set(ui::BackgroundColorAttributeName, box(backgroundColor_));
    // One font object serves both layers here; the keys coincide.
    if (!font.isNil()) set(ui ? ui::FontAttributeName : ct::FontAttributeName, std::move(font));
    if (letterSpacing_ != 0) set(ct::KernAttributeName, ns::Value(letterSpacing_));
    if (link_) set(ui::LinkAttributeName, link_->boxed());
    if (paragraphStyle_) set(ct::ParagraphStyleAttributeName, std::move(paragraph.paragraph));
    if (ui && !shadows().empty()) set(ui::ShadowAttributeName, shadowObject(shadows().front()));
    if (ui && strikeOut_) set(ui::StrikethroughStyleAttributeName, ns::Value(std::int64_t(1)));
    if (superscriptStyle_ != 0) set(ct::SuperscriptAttributeName, ns::Value(superscriptStyle_));
    if (underlineStyle_ != 0) set(ct::UnderlineStyleAttributeName, ns::Value(std::int64_t(ui ? 1 : underlineStyle_)));
    if (anchorName()) set(RTAnchorAttribute, ns::Value(*anchorName()));
    if (textAttachment_) set(RTAttachmentParagraphSpacingAttribute, ns::Value(paragraphStyle_ ? paragraphStyle_->paragraphSpacing : 0.0));
    if (!ui && backgroundColor_) set(RTBackgroundColorAttribute, box(backgroundColor_));
    if (backgroundCornerRadius_ != 0) set(RTBackgroundCornerRadiusAttribute, ns::Value(backgroundCornerRadius_));
    if (backgroundStrokeColor()) set(RTBackgroundStrokeColorAttribute, box(backgroundStrokeColor()));
    if (backgroundStrokeWidth_ != 0) set(RTBackgroundStrokeWidthAttribute, ns::Value(backgroundStrokeWidth_));
    if (link_) set(RTGUIDAttribute, linkGUID() ? ns::Value(*linkGUID()) : ns::Value());
    if (headerLevel_ != 0) set(RTHeaderLevelAttribute, ns::Value(headerLevel_));
    if (!ui && !shadows().empty()) set(RTShadowsAttribute, ns::Value(shadows()));
    if (!ui && strikeOut_) set(RTStrikethroughAttribute, ns::Value(true));
    if (!paragraph.blocks.isNil()) set(RTTextBlocksAttribute, std::move(paragraph.blocks));
    if (!paragraph.lists.isNil()) set(RTTextListsAttribute, std::move(paragraph.lists));
    attributes.finishAppending();
    return attributes;
}

RTHTMLElement::TextStyle RTHTMLElement::textStyle() const {
    return {fontDescriptor_,   paragraphStyle_, textColor_,      backgroundColor_,       backgroundStrokeColor(),
            link_,             linkGUID(),      anchorName(),    shadows(),              letterSpacing_,
            backgroundStrokeWidth_, backgroundCornerRadius_, superscriptStyle_, headerLevel_, underlineStyle_,
            strikeOut_,        usesUIKitAttributes()};
}

std::shared_ptr<const ns::Dictionary> RTHTMLElement::attributesForTextContent() const {
    if (textContentAttributes_) return textContentAttributes_;
    // An attachment is the element's own, so its attributes are never shared.
    if (textAttributesCache_ && !textAttachment_) textContentAttributes_ = textAttributesCache_->attributesFor(*this);
    else textContentAttributes_ = std::make_shared<const ns::Dictionary>(RTHTMLElement::attributesForAttributedStringRepresentation());
    return textContentAttributes_;
}

std::shared_ptr<const ns::Dictionary> RTHTMLElement::listMarkerAttributes() const {
    const std::shared_ptr<const ns::Dictionary> text = attributesForTextContent();
    const auto make = [&text] {
        ns::Dictionary attributes = paragraphAttributes(*text, 1);
        attributes.set(RTFieldAttribute, ns::Value(RTListPrefixField));
        return std::make_shared<const ns::Dictionary>(std::move(attributes));
    };
    return textAttributesCache_ ? textAttributesCache_->markerAttributes(text, make) : make();
}

void RTHTMLElement::styleDidChange() {
    textContentAttributes_.reset();
}

namespace {

// An object shows its fallback content, where it has any, as a browser shows it for an object it cannot show (a
// plug-in's film, say): the import shows no object's contents itself. The attachment stays on the element, with
// the fallback's nodes.
bool mayShowFallback(const RTHTMLElement& element) {
    return element.hasChildList() && dynamic_cast<const RTObjectTextAttachment*>(element.textAttachment().get());
}

// What an element's text begins with, as far as lines go.
enum class Beginning { Nothing, Line, Text, LineBreak };

// An element's own beginning, or nothing when it is told by its children's.
std::optional<Beginning> ownBeginning(const RTHTMLElement& element) {
    if (element.displayStyle() == RTHTMLElementDisplayStyle::None || element.didOutput()) return Beginning::Nothing;
    if (element.displayStyle() != RTHTMLElementDisplayStyle::Inline) return Beginning::Line;
    if (&element.objectClass() == &RTTextHTMLElement::classObject())
        return isIgnorableWhitespace(static_cast<const RTTextHTMLElement&>(element).text()) ? Beginning::Nothing : Beginning::Text;
    // A line break and an attachment write something of their own; any other element only its children's.
    if (&element.objectClass() == &RTBreakHTMLElement::classObject()) return Beginning::LineBreak;
    if (element.textAttachment() && !mayShowFallback(element)) return Beginning::Text;
    if (!element.hasChildList()) return Beginning::Nothing;
    return std::nullopt;
}

// What the element's text begins with: depth first to the first element that shows something, passing over empty
// ones; past some depth of elements in line the text is taken to begin in line, as the rules have it. With
// `intoBlocks`, what the text of a block begins with is that of its children (a block showing nothing still writes
// a line end), not the line the block begins.
Beginning beginningOf(const RTHTMLElement& start, bool intoBlocks) {
    constexpr std::size_t Deepest = 16;
    struct Step {
        const RTHTMLElement* element;
        std::size_t next;  // child
    };
    Step path[Deepest];  // the elements entered
    std::size_t depth = 0;
    const RTHTMLElement* element = &start;
    for (;;) {
        if (element) {
            std::optional<Beginning> own = ownBeginning(*element);
            if (own == Beginning::Line && intoBlocks && element->hasChildList()) own.reset();
            if (own && own != Beginning::Nothing) return *own;
            if (!own) {
                if (depth == Deepest) return Beginning::Text;
                path[depth++] = {element, 0};
            }
        }
        if (depth == 0) return Beginning::Nothing;
        Step& step = path[depth - 1];
        const auto children = step.element->children();
        element = nullptr;
        while (step.next < children.size() && !element) {
            const std::shared_ptr<RTHTMLParserNode>& node = children[step.next++];
            if (node->isElement()) element = static_cast<const RTHTMLElement*>(node.get());
        }
        if (element) continue;
        // (Only a block entered `intoBlocks` is not in line.)
        if (step.element->displayStyle() != RTHTMLElementDisplayStyle::Inline) return Beginning::Line;
        --depth;
    }
}

}  // namespace

bool RTHTMLElement::beginsLine() const { return beginningOf(*this, false) == Beginning::Line; }

bool RTHTMLElement::beginsWithLineBreak() const { return beginningOf(*this, true) == Beginning::LineBreak; }

void RTHTMLElement::collapseLeadingWhitespace(ct::AttributedString& text, std::uint64_t own) const {
    // Whether it begins with a br is asked only where a line feed comes first.
    const std::u16string& units = text.u16string();
    std::uint64_t first = own;
    while (first < units.size() && (units[first] == u' ' || units[first] == u'\t')) ++first;
    removeCollapsibleLeadingWhitespace(text, own, first < units.size() && units[first] == u'\n' && beginsWithLineBreak());
}

bool RTHTMLElement::needsOutput() const {
    // Child by child rather than a copy of the list: this runs for every element the builder flushes.
    if (!hasChildList()) return true;
    for (const std::shared_ptr<RTHTMLParserNode>& node : children()) {
        if (!node->isElement()) continue;
        const auto& element = static_cast<const RTHTMLElement&>(*node);
        if (element.displayStyle() != RTHTMLElementDisplayStyle::None && !element.didOutput()) return true;
    }
    return false;
}

namespace {

// Whether the element is of that class itself, not of a subclass.
template <class T>
bool isExactly(const RTHTMLElement& element) {
    return &element.objectClass() == &T::classObject();
}

// The texts of the element's visible children joined at the end of `text`, whose part from `start` on is
// the element's own so far: where two meet, the second's leading white space goes after white space, and
// a child that begins a line (a block, a table, a list item, or an inline element that begins with one) after
// inline content begins a line. Each child writes its text in place.
void appendChildrenTexts(RTHTMLElement& element, ct::AttributedString& text, std::uint64_t start) {
    const RTHTMLElement* previous = nullptr;
    // The children's texts do not change the child list, so it is walked in place.
    const auto children = element.children();
    for (std::size_t at = 0, count = children.size(); at < count; ++at) {
        if (!children[at]->isElement()) continue;
        auto* child = static_cast<RTHTMLElement*>(children[at].get());
        if (child->displayStyle() == RTHTMLElementDisplayStyle::None) continue;
        // (A text of its own, the most common child, begins no line.)
        bool afterLineBreak = false;
        if (previous && previous->displayStyle() == RTHTMLElementDisplayStyle::Inline &&
            (child->displayStyle() != RTHTMLElementDisplayStyle::Inline || (child->hasChildList() && child->beginsLine()))) {
            afterLineBreak = endLine(text, start);
        }
        previous = child;
        if (child->didOutput()) continue;
        const bool joinsWhitespace = !afterLineBreak && !child->containsAppleConvertedSpace() && endsWithIgnorableWhitespace(text, start);
        if (isExactly<RTTextHTMLElement>(*child)) {
            // A text drops the white space as it writes itself, rather than writing it to delete it.
            const auto& piece = static_cast<const RTTextHTMLElement&>(*child);
            piece.appendTo(text, piece.sharesParentStyle() ? &element : nullptr, joinsWhitespace);
            continue;
        }
        const std::uint64_t own = text.length();
        if (child->appendAttributedStringTo(text) && joinsWhitespace) child->collapseLeadingWhitespace(text, own);
    }
}

}  // namespace

std::optional<ct::AttributedString> RTHTMLElement::attributedString() {
    ct::AttributedString text;
    if (!appendAttributedStringTo(text)) return std::nullopt;
    return text;
}

bool RTHTMLElement::appendAttributedStringTo(ct::AttributedString& text) {
    if (!writesText()) return false;
    const std::uint64_t own = text.length();
    if (textAttachment_) {
        if (mayShowFallback(*this)) {
            appendChildrenTexts(*this, text, own);
            // Nothing but white space shows nothing.
            if (text.u16string().find_first_not_of(u" \n", own) == std::u16string::npos) text.deleteCharactersInRange({own, text.length() - own});
        }
        if (text.length() == own) {
            text.appendAttributedString(
                ct::AttributedString(std::u16string(1, ObjectReplacementCharacter), attributesForAttributedStringRepresentation()));
        }
    } else {
        appendChildrenTexts(*this, text, own);
    }
    if (displayStyle_ != RTHTMLElementDisplayStyle::Inline) {
        const std::u16string& units = text.u16string();
        std::uint64_t leading = 0;
        while (own + leading < units.size() && units[own + leading] == u' ') ++leading;
        if (leading > 0) text.deleteCharactersInRange({own, leading});
        std::uint64_t trailing = 0;
        while (trailing < text.length() - own && text.u16string()[text.length() - 1 - trailing] == u' ') ++trailing;
        if (trailing > 0) text.deleteCharactersInRange({text.length() - trailing, trailing});
        const bool empty = text.length() == own;
        const bool endsParagraph = !empty && text.u16string().back() == u'\n';
        const std::string_view tag = name();
        if (tag != "html" && tag != "body" && !endsParagraph) {
            if (empty) text.appendAttributedString(ct::AttributedString("\n", attributesForAttributedStringRepresentation()));
            else appendEndOfParagraph(text);
        }
    }
    if (displayStyle_ == RTHTMLElementDisplayStyle::Block && text.length() > own && isNotChildOfList() && paragraphStyle_) {
        const std::u16string_view mine = std::u16string_view(text.u16string()).substr(own);
        ns::Range paragraph = rangeOfParagraphAtIndex(mine, mine.size() - 1);
        paragraph.location += own;
        const auto platform =
            text.attributesAtIndex(paragraph.location)[ct::ParagraphStyleAttributeName].asObject<ct::ParagraphStyleObject>();
        // Raised only: a child's own larger spacing stays. Lists and blocks are not part of the platform
        // style, so the paragraph keeps its own.
        if ((platform ? platform->style().paragraphSpacing : 0.0) < paragraphStyle_->paragraphSpacing) {
            ct::ParagraphStyle raised = platform ? platform->style() : ct::ParagraphStyle();
            raised.paragraphSpacing = paragraphStyle_->paragraphSpacing;
            const ns::Value value = textAttributesCache_ ? textAttributesCache_->paragraphObject(std::move(raised))
                                                         : ns::Value(std::make_shared<ct::ParagraphStyleObject>(std::move(raised)));
            text.addAttribute(ct::ParagraphStyleAttributeName, value, paragraph);
        }
    }
    if (shouldProcessCustomHTMLAttributes_) addCustomHTMLAttributes(text, own);
    return true;
}

void RTHTMLElement::addCustomHTMLAttributes(ct::AttributedString& text, std::uint64_t from) const {
    if (text.length() == from) return;
    const auto& ignored = attributesToIgnoreForCustomAttributesAttribute();
    for (const auto& [key, value] : attributes()) {
        if (ignored.contains(key)) continue;
        ns::Value written = value;
        if (classNamesToIgnore_ && key == "class") {
            std::vector<std::string> names;
            if (value.isString()) {
                const std::string_view classes = value.asString();
                std::size_t at = 0;
                while (at < classes.size()) {
                    while (at < classes.size() && css::isSpace(classes[at])) ++at;
                    const std::size_t start = at;
                    while (at < classes.size() && !css::isSpace(classes[at])) ++at;
                    if (at > start) names.emplace_back(classes.substr(start, at - start));
                }
            } else if (const ns::Array* list = value.asArray()) {
                for (const ns::Value& name : *list) names.push_back(name.stringValue());
            }
            std::string kept;
            for (const std::string& name : names) {
                if (classNamesToIgnore_->contains(name)) continue;
                if (!kept.empty()) kept += ' ';
                kept += name;
            }
            if (kept.empty()) continue;
            written = ns::Value(kept);
        }
        addHTMLAttribute(text, key, written, {from, text.length() - from}, false);
    }
}

}  // namespace ql
