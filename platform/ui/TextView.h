#pragma once
// ui::TextView: editable (or read-only) text of many lines, wrapped in its width within the text
// container insets, scrolled by its content offset. Editing follows the text field's road: the delegate's
// consent, the "UITextViewTextDid…Notification" announcements, the keyboard while first responder; the
// return key inserts a line break.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Range.h"
#include "platform/foundation/URL.h"
#include "platform/text/AttributedString.h"
#include "platform/ui/KeyInput.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextTypes.h"
#include "platform/ui/TextViewLayout.h"

namespace ql::ui {

class Color;
class Font;
class TextView;

inline constexpr std::string_view TextViewTextDidBeginEditingNotification = "UITextViewTextDidBeginEditingNotification";
inline constexpr std::string_view TextViewTextDidEndEditingNotification = "UITextViewTextDidEndEditingNotification";
inline constexpr std::string_view TextViewTextDidChangeNotification = "UITextViewTextDidChangeNotification";

// Every member is optional; the defaults are the platform's answers without a delegate. A text view's
// delegate is its scroll view delegate as well.
class TextViewDelegate : public ScrollViewDelegate {
public:
    virtual bool textViewShouldBeginEditing(TextView&) { return true; }
    virtual bool textViewShouldEndEditing(TextView&) { return true; }
    virtual void textViewDidBeginEditing(TextView&) {}
    virtual void textViewDidEndEditing(TextView&) {}
    // `range` in UTF-16 units of the text before the change.
    virtual bool textViewShouldChangeTextInRangeReplacementText(TextView&, ns::Range, const std::string&) { return true; }
    virtual void textViewDidChange(TextView&) {}
    virtual void textViewDidChangeSelection(TextView&) {}
    virtual bool textViewShouldInteractWithURLInRange(TextView&, const ns::URL&, ns::Range) { return true; }
    virtual bool textViewShouldInteractWithTextAttachmentInRange(TextView&, ns::Object&, ns::Range) { return true; }
};

class TextView : public ScrollView, public KeyInput, public TextInputTraits {
    QL_OBJECT_NAMED(TextView, ScrollView, "UITextView")
public:
    // The room the text keeps from the container's sides on each line.
    static constexpr double kLineFragmentPadding = 5;

    TextView() : TextView(cg::Rect::zero()) {}
    explicit TextView(const cg::Rect& frame);

    const std::string& text() const { return text_; }
    // Setting the text by code announces nothing; none is the empty text.
    virtual void setText(std::optional<std::string> text);
    // Styled text: its runs' fonts and colours (the view's own where a run has none). Setting it sets the
    // plain text too; setting the plain text or typing drops the styles.
    const std::optional<ct::AttributedString>& attributedText() const { return attributedText_; }
    void setAttributedText(std::optional<ct::AttributedString> text);
    const std::shared_ptr<Font>& font() const { return font_; }
    virtual void setFont(std::shared_ptr<Font> font);
    const std::shared_ptr<Color>& textColor() const { return textColor_; }
    void setTextColor(std::shared_ptr<Color> color);
    TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(TextAlignment alignment);
    bool isEditable() const { return editable_; }
    void setEditable(bool editable);
    bool isSelectable() const { return selectable_; }
    void setSelectable(bool selectable) { selectable_ = selectable; }
    const cg::EdgeInsets& textContainerInset() const { return textContainerInset_; }
    void setTextContainerInset(const cg::EdgeInsets& inset);
    // In UTF-16 units; the caret is a range of length 0.
    ns::Range selectedRange() const { return selection_; }
    void setSelectedRange(ns::Range range);

    // Scrolls (the content size being the text's height within the insets) until the range's end shows.
    void scrollRangeToVisible(ns::Range range);

    std::shared_ptr<TextViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<TextViewDelegate> delegate);

    bool isEditing() const { return editing_; }
    std::shared_ptr<View> inputView() const override { return inputView_; }
    void setInputView(std::shared_ptr<View> view) { inputView_ = std::move(view); }
    std::shared_ptr<View> inputAccessoryView() const override { return inputAccessoryView_; }
    void setInputAccessoryView(std::shared_ptr<View> view) { inputAccessoryView_ = std::move(view); }

    // The caret before the character at `position` (UTF-16 units), in the view's content coordinates.
    cg::Rect caretRectForPosition(std::uint64_t position) const;
    // The position whose caret lies nearest to `point` (content coordinates).
    std::uint64_t closestPositionToPoint(cg::Point point) const;

    // KeyInput.
    bool hasText() const override { return !text_.empty(); }
    void insertText(const std::string& text) override;
    void deleteBackward() override;

    bool canBecomeFirstResponder() const override { return editable_; }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    void setBounds(const cg::Rect& bounds) override;
    void layoutSubviews() override;
    cg::Size sizeThatFits(cg::Size size) const override;
    void drawRect(const cg::Rect& rect) override;
    // The text view keeps its touches; a tap begins editing, and one while editing puts the caret where
    // it touched.
    void touchesBegan(const TouchSet&, Event*) override {}
    void touchesMoved(const TouchSet&, Event*) override {}
    void touchesEnded(const TouchSet& touches, Event* event) override;
    void touchesCancelled(const TouchSet&, Event*) override {}

protected:
    void didBecomeFirstResponder() override;
    void didResignFirstResponder() override;

private:
    bool replace(ns::Range range, const std::string& replacement);
    double textWidth(double viewWidth) const;
    // Where the text's top left stands in content coordinates.
    cg::Point textOrigin() const;
    // The content size follows the text.
    void textChanged();
    // The plain text's layout within the width the view's `viewWidth` leaves it, laid out anew when the
    // text was set, its style changed or the width differs from the last one asked for.
    TextViewLayout& plainLayout(double viewWidth) const;

    std::string text_;
    std::optional<ct::AttributedString> attributedText_;
    std::shared_ptr<Font> font_;
    std::shared_ptr<Color> textColor_;
    TextAlignment alignment_ = TextAlignment::Natural;
    bool editable_ = true;
    bool selectable_ = true;
    cg::EdgeInsets textContainerInset_{8, 0, 8, 0};
    ns::Range selection_;
    std::weak_ptr<TextViewDelegate> delegate_;
    bool editing_ = false;
    std::shared_ptr<View> inputView_;
    std::shared_ptr<View> inputAccessoryView_;
    mutable TextViewLayout layout_;
    mutable bool layoutCurrent_ = false;
};

}  // namespace ql::ui
