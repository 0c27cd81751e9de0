#pragma once
// ui::TextField: one line of editable text. A tap makes it first responder (the delegate may refuse),
// which brings the keyboard, and one while editing puts the caret where it touched; typed text goes through the delegate's consent and is announced with
// "UITextFieldTextDidChangeNotification" and the editing-changed event; the return key asks the delegate
// and sends editing-did-end-on-exit. Begin and end of editing are announced the same three ways.
//
// The line shows the start of the text, clipped at the field's edge. Only that start is laid out, to draw
// the field, place its caret and find where a touch falls: at most laidOutLength() UTF-16 units, more than
// the widest field shows of any text whose characters take room, so that a text of any length costs the
// same to show (a caret placed past that start sits at its end, beyond the edge, as it would anyway).

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Range.h"
#include "platform/text/TextLayout.h"
#include "platform/ui/Control.h"
#include "platform/ui/KeyInput.h"
#include "platform/ui/TextTypes.h"

namespace ql::ui {

class Color;
class Font;
class Image;
class TextField;

inline constexpr std::string_view TextFieldTextDidBeginEditingNotification = "UITextFieldTextDidBeginEditingNotification";
inline constexpr std::string_view TextFieldTextDidEndEditingNotification = "UITextFieldTextDidEndEditingNotification";
inline constexpr std::string_view TextFieldTextDidChangeNotification = "UITextFieldTextDidChangeNotification";

enum class TextBorderStyle { None = 0, Line = 1, Bezel = 2, RoundedRect = 3 };
enum class TextFieldViewMode { Never = 0, WhileEditing = 1, UnlessEditing = 2, Always = 3 };

// Every member is optional; the defaults are the platform's answers without a delegate.
class TextFieldDelegate {
public:
    virtual ~TextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(TextField&) { return true; }
    virtual void textFieldDidBeginEditing(TextField&) {}
    virtual bool textFieldShouldEndEditing(TextField&) { return true; }
    virtual void textFieldDidEndEditing(TextField&) {}
    // `range` in UTF-16 units of the text before the change.
    virtual bool textFieldShouldChangeCharactersInRangeReplacementString(TextField&, ns::Range, const std::string&) {
        return true;
    }
    virtual bool textFieldShouldClear(TextField&) { return true; }
    virtual bool textFieldShouldReturn(TextField&) { return true; }
};

class TextField : public Control, public KeyInput, public TextInputTraits {
    QL_OBJECT_NAMED(TextField, Control, "UITextField")
public:
    TextField() : TextField(cg::Rect::zero()) {}
    explicit TextField(const cg::Rect& frame);

    const std::string& text() const { return text_; }
    // Setting the text by code announces nothing; none is the empty text.
    void setText(std::optional<std::string> text);
    const std::optional<std::string>& placeholder() const { return placeholder_; }
    void setPlaceholder(std::optional<std::string> placeholder);
    const std::shared_ptr<Font>& font() const { return font_; }
    void setFont(std::shared_ptr<Font> font);
    const std::shared_ptr<Color>& textColor() const { return textColor_; }
    void setTextColor(std::shared_ptr<Color> color);
    TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(TextAlignment alignment);
    TextBorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(TextBorderStyle style);
    const std::shared_ptr<Image>& background() const { return background_; }
    void setBackground(std::shared_ptr<Image> image);
    const std::shared_ptr<Image>& disabledBackground() const { return disabledBackground_; }
    void setDisabledBackground(std::shared_ptr<Image> image);
    TextFieldViewMode clearButtonMode() const { return clearButtonMode_; }
    void setClearButtonMode(TextFieldViewMode mode);
    const std::shared_ptr<View>& leftView() const { return leftView_; }
    void setLeftView(std::shared_ptr<View> view);
    TextFieldViewMode leftViewMode() const { return leftViewMode_; }
    void setLeftViewMode(TextFieldViewMode mode);
    const std::shared_ptr<View>& rightView() const { return rightView_; }
    void setRightView(std::shared_ptr<View> view);
    TextFieldViewMode rightViewMode() const { return rightViewMode_; }
    void setRightViewMode(TextFieldViewMode mode);
    bool clearsOnBeginEditing() const { return clearsOnBeginEditing_; }
    void setClearsOnBeginEditing(bool clears) { clearsOnBeginEditing_ = clears; }
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSize_; }
    void setAdjustsFontSizeToFitWidth(bool adjusts) { adjustsFontSize_ = adjusts; }
    double minimumFontSize() const { return minimumFontSize_; }
    void setMinimumFontSize(double size) { minimumFontSize_ = size; }
    void setSecureTextEntry(bool secure) override;

    std::shared_ptr<TextFieldDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<TextFieldDelegate> delegate) { delegate_ = std::move(delegate); }

    bool isEditing() const { return editing_; }
    // In UTF-16 units; the caret is a range of length 0.
    ns::Range selectedRange() const { return selection_; }
    void setSelectedRange(ns::Range range);

    // The caret before the character at `position` (UTF-16 units), in the field's bounds, where the text
    // is drawn.
    cg::Rect caretRectForPosition(std::uint64_t position) const;
    // The position whose caret lies nearest to `point` (in the field's bounds).
    std::uint64_t closestPositionToPoint(cg::Point point) const;
    // How much of the text's start is laid out, in UTF-16 units: 256, and eight for each font size of the
    // field's width (a character narrower than an eighth of its font's size is rare).
    std::uint64_t laidOutLength() const;

    std::shared_ptr<View> inputView() const override { return inputView_; }
    void setInputView(std::shared_ptr<View> view) { inputView_ = std::move(view); }
    std::shared_ptr<View> inputAccessoryView() const override { return inputAccessoryView_; }
    void setInputAccessoryView(std::shared_ptr<View> view) { inputAccessoryView_ = std::move(view); }

    virtual cg::Rect borderRectForBounds(const cg::Rect& bounds) const;
    virtual cg::Rect textRectForBounds(const cg::Rect& bounds) const;
    virtual cg::Rect placeholderRectForBounds(const cg::Rect& bounds) const;
    virtual cg::Rect editingRectForBounds(const cg::Rect& bounds) const;
    virtual cg::Rect clearButtonRectForBounds(const cg::Rect& bounds) const;
    virtual cg::Rect leftViewRectForBounds(const cg::Rect& bounds) const;
    virtual cg::Rect rightViewRectForBounds(const cg::Rect& bounds) const;
    virtual void drawTextInRect(const cg::Rect& rect);
    virtual void drawPlaceholderInRect(const cg::Rect& rect);

    // KeyInput: typing goes to the selection.
    bool hasText() const override { return !text_.empty(); }
    void insertText(const std::string& text) override;
    void deleteBackward() override;

    bool canBecomeFirstResponder() const override;
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    cg::Size sizeThatFits(cg::Size size) const override;
    cg::Size intrinsicContentSize() const override;
    void layoutSubviews() override;
    void drawRect(const cg::Rect& rect) override;
    void touchesBegan(const TouchSet& touches, Event* event) override;
    void touchesEnded(const TouchSet& touches, Event* event) override;

    std::string description() const override;

protected:
    void didBecomeFirstResponder() override;
    void didResignFirstResponder() override;

private:
    bool shows(TextFieldViewMode mode) const;
    bool clearButtonShown() const;
    // Replaces `range` with `replacement` after the delegate's consent, announcing the change.
    bool replace(ns::Range range, const std::string& replacement);
    void storeText(std::string text);
    void announceChange();
    // The text as shown (dots for secure entry), as far as it is laid out.
    std::string displayedText() const;
    cg::Rect insetTextRect(const cg::Rect& bounds) const;
    // The line the text is drawn on within `rect`: the font's line height, centred.
    cg::Rect lineRectIn(const cg::Rect& rect) const;
    // The displayed text set as it is drawn on `line`.
    ct::TextLayout displayedLayout(const cg::Rect& line) const;
    // Where the text stands now: the line in the editing or the text rectangle.
    cg::Rect currentLineRect() const;

    std::string text_;
    std::uint64_t textLength_ = 0;  // text_ in UTF-16 units, kept so that typing at the end stays cheap
    cg::Point touchDown_;  // in the window, where the finger came down
    std::optional<std::string> placeholder_;
    std::shared_ptr<Font> font_;
    std::shared_ptr<Color> textColor_;
    TextAlignment alignment_ = TextAlignment::Natural;
    TextBorderStyle borderStyle_ = TextBorderStyle::None;
    std::shared_ptr<Image> background_;
    std::shared_ptr<Image> disabledBackground_;
    TextFieldViewMode clearButtonMode_ = TextFieldViewMode::Never;
    std::shared_ptr<View> leftView_;
    TextFieldViewMode leftViewMode_ = TextFieldViewMode::Never;
    std::shared_ptr<View> rightView_;
    TextFieldViewMode rightViewMode_ = TextFieldViewMode::Never;
    bool clearsOnBeginEditing_ = false;
    bool adjustsFontSize_ = false;
    double minimumFontSize_ = 0;
    std::weak_ptr<TextFieldDelegate> delegate_;
    bool editing_ = false;
    ns::Range selection_;
    std::shared_ptr<View> inputView_;
    std::shared_ptr<View> inputAccessoryView_;
};

}  // namespace ql::ui
