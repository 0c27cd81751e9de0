#pragma once
// RichTextParagraphStyle: how the rich text import sets a paragraph. Besides what the platform's
// paragraph style holds (indents, spacing, line heights, alignment, writing direction, tab stops) it
// knows the lists and the blocks that enclose the paragraph, outermost first. It converts to and from
// the platform's paragraph style and writes itself as CSS.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/ParagraphStyleObject.h"
#include "richtext/RTCSSListStyle.h"
#include "richtext/RTTextBlock.h"

namespace ql {

// A list of a paragraph style that the style's copies share until one of them changes it: a style is
// copied for every block and item inside the one that made its lists and blocks, and the copies seldom
// change them. It reads like an optional vector; changes go through mutableList(), which copies a list
// that another style shares first.
template <class T>
class RichTextSharedList {
public:
    using List = std::vector<T>;

    RichTextSharedList() = default;
    RichTextSharedList(List list) : list_(std::make_shared<List>(std::move(list))) {}

    explicit operator bool() const { return list_ != nullptr; }
    bool has_value() const { return list_ != nullptr; }
    const List& operator*() const { return *list_; }
    const List* operator->() const { return list_.get(); }
    void reset() { list_.reset(); }
    // The list to change, made empty when there is none.
    List& mutableList() {
        if (!list_) list_ = std::make_shared<List>();
        else if (list_.use_count() > 1) list_ = std::make_shared<List>(*list_);
        // Every list is made changeable (above and by the constructor); no other style holds this one.
        return const_cast<List&>(*list_);
    }
    // As optional vectors compare: both absent, or both present with equal elements.
    friend bool operator==(const RichTextSharedList& a, const RichTextSharedList& b) {
        if (a.list_ == b.list_) return true;
        return a.list_ && b.list_ && *a.list_ == *b.list_;
    }

private:
    std::shared_ptr<const List> list_;
};

class RichTextParagraphStyle final : public ns::Object {
    QL_OBJECT(RichTextParagraphStyle, ns::Object)
public:
    using TabStops = std::vector<ct::TextTab>;
    using TextLists = std::vector<std::shared_ptr<RTCSSListStyle>>;
    using TextBlocks = std::vector<std::shared_ptr<RTTextBlock>>;

    // Natural alignment and direction, tab stops every 36 points, everything else 0.
    RichTextParagraphStyle() = default;

    static std::shared_ptr<RichTextParagraphStyle> defaultParagraphStyle();
    // Every setting of the platform style; no tab stops when it has none.
    static std::shared_ptr<RichTextParagraphStyle> paragraphStyleWithCTParagraphStyle(const ct::ParagraphStyle& style);
    // Null stands for the platform's default paragraph style (whose tab interval is 0).
    static std::shared_ptr<RichTextParagraphStyle> paragraphStyleWithNSParagraphStyle(const ct::ParagraphStyleObject* style);

    // The platform style; lists and blocks are not part of it.
    ct::ParagraphStyle createCTParagraphStyle() const;
    std::shared_ptr<ct::ParagraphStyleObject> NSParagraphStyle() const;

    // An alignment past natural makes no tab stop and leaves the style as it was.
    void addTabStopAtPosition(double position, std::uint8_t alignment);
    // The declarations of alignment, line height, direction and margins ("text-align:center;…"); nothing
    // when all of them are at their defaults.
    std::optional<std::string> cssStyleRepresentation() const;

    // Lists, blocks and tab stops are compared only when the receiver has them, so a style without lists
    // matches one with lists but not the other way round. Lists compare as objects (the same list).
    bool isEqual(const ns::Object& other) const override;
    // Agrees with isEqual: only what every comparison looks at goes into it.
    std::size_t hash() const;
    std::shared_ptr<ns::Object> copy() const override;

    double firstLineHeadIndent = 0;
    double headIndent = 0;
    // The platform's sense: a right margin of m points is −m.
    double tailIndent = 0;
    double defaultTabInterval = 36;
    double paragraphSpacingBefore = 0;
    double paragraphSpacing = 0;
    double lineHeightMultiple = 0;
    double minimumLineHeight = 0;
    double maximumLineHeight = 0;
    ct::TextAlignment alignment = ct::TextAlignment::Natural;
    ct::WritingDirection baseWritingDirection = ct::WritingDirection::Natural;
    std::optional<TabStops> tabStops;
    RichTextSharedList<std::shared_ptr<RTCSSListStyle>> textLists;
    RichTextSharedList<std::shared_ptr<RTTextBlock>> textBlocks;
};

}  // namespace ql
