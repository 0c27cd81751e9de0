#pragma once
// KBTextView: a text view that shows a grey placeholder while its text is empty.

#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Label.h"
#include "platform/ui/TextView.h"

namespace ql {

class KBTextView : public ui::TextView {
    QL_OBJECT(KBTextView, ui::TextView)
public:
    using ui::TextView::TextView;
    ~KBTextView() override;

    const std::optional<std::string>& placeholder() const { return placeholder_; }
    // The first placeholder makes the label and starts following the view's own text changes.
    void setPlaceholder(std::optional<std::string> placeholder);
    const std::shared_ptr<ui::Label>& placeHolderLabel() const { return placeHolderLabel_; }
    // Shows the placeholder exactly while the text is empty.
    void refreshPlaceholder();

    void setText(std::optional<std::string> text) override;
    void setFont(std::shared_ptr<ui::Font> font) override;
    void layoutSubviews() override;

private:
    std::optional<std::string> placeholder_;
    std::shared_ptr<ui::Label> placeHolderLabel_;
};

}  // namespace ql
