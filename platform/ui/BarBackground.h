#pragma once
// ui::BarBackground: how the navigation bar, the toolbar and the tab bar paint themselves behind their
// items: a background image, or a fill after the bar's style, translucency and tint colour; then a shadow
// image, or a hairline, along the edge the bar shares with the content. ui::BarImages keeps a bar's
// images for the positions or metrics it tells apart.

#include <map>
#include <memory>
#include <utility>

#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"
#include "platform/ui/BarTypes.h"

namespace ql::ui {

class Color;
class Image;

struct BarBackground {
    enum class Edge { Top, Bottom };

    BarStyle style = BarStyle::Default;
    bool translucent = true;
    std::shared_ptr<Color> tintColor;

    // `image` and `shadow` may be null.
    void draw(cg::Context& context, const cg::Rect& bounds, const Image* image, const Image* shadow,
              Edge shadowEdge) const;
};

template <class Key>
class BarImages {
public:
    // Null when none is set for the key.
    std::shared_ptr<Image> imageFor(const Key& key) const {
        auto it = images_.find(key);
        return it == images_.end() ? nullptr : it->second;
    }
    // A null image forgets the key's.
    void setImage(std::shared_ptr<Image> image, const Key& key) {
        if (image) images_[key] = std::move(image);
        else images_.erase(key);
    }

private:
    std::map<Key, std::shared_ptr<Image>> images_;
};

}  // namespace ql::ui
