#pragma once
// Multi-line text entry with a grey hint while it is empty, two ways: UIPlaceHolderTextView draws its own
// hint label and follows its own text changes; addPlaceHolder puts a hint text view into any text view,
// hidden while the student edits.

#include <memory>
#include <string>

#include "platform/ui/TextView.h"

namespace ql::ui {
class Color;
class Label;
}  // namespace ql::ui

namespace ql {

class UIPlaceHolderTextView : public ui::TextView {
    QL_OBJECT(UIPlaceHolderTextView, ui::TextView)
public:
    static constexpr std::int64_t kHintTag = 999;

    // Made this way (or from a nib, which calls awakeFromNib) the view follows its own text changes.
    static std::shared_ptr<UIPlaceHolderTextView> make(const cg::Rect& frame);
    explicit UIPlaceHolderTextView(const cg::Rect& frame = cg::Rect::zero());
    ~UIPlaceHolderTextView() override;

    void awakeFromNib() override;
    void setText(std::optional<std::string> text) override;
    void drawRect(const cg::Rect& rect) override;
    // Shows the hint while the text is empty; nothing happens without a placeholder.
    void textChanged();

    const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(std::string placeholder) { placeholder_ = std::move(placeholder); }
    const std::shared_ptr<ui::Color>& placeholderColor() const { return placeholderColor_; }
    void setPlaceholderColor(std::shared_ptr<ui::Color> color) { placeholderColor_ = std::move(color); }
    const std::shared_ptr<ui::Label>& placeHolderLabel() const { return placeHolderLabel_; }

private:
    void listen();

    std::string placeholder_;
    std::shared_ptr<ui::Color> placeholderColor_;
    std::shared_ptr<ui::Label> placeHolderLabel_;
    bool listening_ = false;
};

// Adds a hint text view over the text view (once; a second call does nothing). The hint hides while the
// text view is edited and shows again when editing ends with no text. The text view's delegate becomes
// the hint's keeper.
void addPlaceHolder(ui::TextView& textView, const std::string& text);
std::shared_ptr<ui::TextView> placeHolderTextView(const ui::TextView& textView);

}  // namespace ql
