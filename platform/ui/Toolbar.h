#pragma once
// ui::Toolbar: a bar of bar button items laid out from left to right: fixed spaces keep their width,
// flexible spaces share what is left, buttons and custom views take their own width.

#include <memory>
#include <utility>
#include <vector>

#include "platform/ui/BarBackground.h"
#include "platform/ui/BarTypes.h"
#include "platform/ui/View.h"

namespace ql::ui {

class BarButtonItem;
class Image;

class Toolbar : public View {
    QL_OBJECT_NAMED(Toolbar, View, "UIToolbar")
public:
    static constexpr double kHeight = 44;
    static constexpr double kEdgeMargin = 16;
    static constexpr double kItemSpacing = 8;

    Toolbar() : Toolbar(cg::Rect::zero()) {}
    explicit Toolbar(const cg::Rect& frame);
    ~Toolbar() override;

    const std::vector<std::shared_ptr<BarButtonItem>>& items() const { return items_; }
    void setItems(std::vector<std::shared_ptr<BarButtonItem>> items, bool animated = false);

    BarStyle barStyle() const { return background_.style; }
    void setBarStyle(BarStyle style);
    bool isTranslucent() const { return background_.translucent; }
    void setTranslucent(bool translucent);
    const std::shared_ptr<Color>& barTintColor() const { return background_.tintColor; }
    void setBarTintColor(std::shared_ptr<Color> color);
    std::shared_ptr<Image> backgroundImageForToolbarPosition(BarPosition position, BarMetrics metrics) const;
    void setBackgroundImage(std::shared_ptr<Image> image, BarPosition position, BarMetrics metrics);
    std::shared_ptr<Image> shadowImageForToolbarPosition(BarPosition position) const;
    void setShadowImage(std::shared_ptr<Image> image, BarPosition position);

    // The view showing each item (none for spaces), in the items' order.
    std::vector<std::shared_ptr<View>> itemViews() const;

    // The width as it is (or as asked), the bar's height.
    cg::Size sizeThatFits(cg::Size size) const override;
    void layoutSubviews() override;
    void drawRect(const cg::Rect& rect) override;
    void tintColorDidChange() override;

private:
    void rebuild();
    // Takes up to `excess` points off the widths of item views that may change width; returns how many.
    double narrowFlexibleViews(double excess);
    void itemChanged();

    std::vector<std::shared_ptr<BarButtonItem>> items_;
    std::vector<std::shared_ptr<View>> views_;
    bool needsRebuild_ = true;
    BarBackground background_;
    BarImages<std::pair<BarPosition, BarMetrics>> backgrounds_;
    BarImages<BarPosition> shadows_;
};

}  // namespace ql::ui
