#pragma once
// The toolbar that rides on top of the keyboard as a text field's or text view's input accessory view:
// KBToolbar is the bar, KBBarButtonItem the class of every item on it, KBTitleBarButtonItem a disabled
// item showing a centred title (the field's placeholder).

#include <memory>
#include <optional>
#include <string>

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/Toolbar.h"

namespace ql {

class KBToolbar : public ui::Toolbar {
    QL_OBJECT(KBToolbar, ui::Toolbar)
public:
    KBToolbar() : KBToolbar(cg::Rect::zero()) {}
    explicit KBToolbar(const cg::Rect& frame);

    // Pushed to every title item on the bar.
    const std::shared_ptr<ui::Font>& titleFont() const { return titleFont_; }
    void setTitleFont(std::shared_ptr<ui::Font> font);
    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title);
    // The bar and every item on it.
    void setTintColor(std::shared_ptr<ui::Color> color);
    // The keyboard's clicks sound while the bar shows.
    bool enableInputClicksWhenVisible() const { return true; }

    // As wide as the screen unless a width is asked for; 44 points high.
    cg::Size sizeThatFits(cg::Size size) const override;

private:
    std::shared_ptr<ui::Font> titleFont_;
    std::optional<std::string> title_;
};

class KBBarButtonItem : public ui::BarButtonItem {
    QL_OBJECT(KBBarButtonItem, ui::BarButtonItem)
public:
    using ui::BarButtonItem::BarButtonItem;
};

class KBTitleBarButtonItem : public KBBarButtonItem {
    QL_OBJECT(KBTitleBarButtonItem, KBBarButtonItem)
public:
    KBTitleBarButtonItem(const cg::Rect& frame, std::optional<std::string> title);

    void setTitle(std::optional<std::string> title);
    const std::shared_ptr<ui::Font>& font() const { return font_; }
    void setFont(std::shared_ptr<ui::Font> font);
    const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }

private:
    std::shared_ptr<ui::View> titleView_;
    std::shared_ptr<ui::Label> titleLabel_;
    std::shared_ptr<ui::Font> font_;
};

}  // namespace ql
