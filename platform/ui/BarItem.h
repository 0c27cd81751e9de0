#pragma once
// ui::BarItem: what toolbars, navigation bars and tab bars show: a title and/or an image, enabled or
// not, with a tag. A bar keeps the view it made for an item and is told when the item changes.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Geometry.h"

namespace ql::ui {

class Image;

class BarItem : public ns::Object {
    QL_OBJECT_NAMED(BarItem, ns::Object, "UIBarItem")
public:
    BarItem() = default;

    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title);
    const std::shared_ptr<Image>& image() const { return image_; }
    void setImage(std::shared_ptr<Image> image);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    std::int64_t tag() const { return tag_; }
    void setTag(std::int64_t tag) { tag_ = tag; }
    // What a screen reader says for the item, and the words a finger finds it by when it shows a picture.
    const std::optional<std::string>& accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibilityLabel(std::optional<std::string> label);
    const cg::EdgeInsets& imageInsets() const { return imageInsets_; }
    void setImageInsets(const cg::EdgeInsets& insets);
    // The title's font (FontAttributeName) and colour (ForegroundColorAttributeName) in a control state;
    // a state without its own attributes uses the normal state's.
    void setTitleTextAttributes(ns::Dictionary attributes, unsigned state);
    ns::Dictionary titleTextAttributesForState(unsigned state) const;

    // The bar showing the item listens here.
    void setChangeHandler(std::function<void()> handler) { changed_ = std::move(handler); }

protected:
    void itemChanged() {
        if (changed_) changed_();
    }

private:
    std::optional<std::string> title_;
    std::shared_ptr<Image> image_;
    std::optional<std::string> accessibilityLabel_;
    bool enabled_ = true;
    std::int64_t tag_ = 0;
    cg::EdgeInsets imageInsets_;
    std::map<unsigned, ns::Dictionary> titleTextAttributes_;
    std::function<void()> changed_;
};

}  // namespace ql::ui
