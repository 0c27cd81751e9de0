#include "app/uikit/NavigationBarHeight.h"

#include "platform/ui/NavigationBar.h"

namespace ql {

namespace {

const char kHeightKey = 0;  // "Height"

}  // namespace

void setHeight(ui::NavigationBar& bar, double height) { bar.setAssociatedValue(&kHeightKey, ns::Value(height)); }

std::optional<double> height(const ui::NavigationBar& bar) {
    const ns::Value stored = bar.associatedValue(&kHeightKey);
    if (stored.isNil()) return std::nullopt;
    return stored.doubleValue();
}

cg::Size customHeightSizeThatFits(const ui::NavigationBar& bar, cg::Size size) {
    if (auto stored = height(bar)) {
        const double width = bar.superview() ? bar.superview()->bounds().size.width : size.width;
        return {width, double(float(*stored))};
    }
    return bar.sizeThatFits(size);
}

}  // namespace ql
