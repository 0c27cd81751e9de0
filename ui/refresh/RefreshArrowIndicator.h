#pragma once
// The arrow and the spinner of the normal header and the normal back footer: the arrow image from
// "Refresh.bundle", the spinner of the chosen style; both made on first use, owned by their control and
// placed in its middle, 100 points to the left while a state title shows beside them.

#include <memory>

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/ImageView.h"

namespace ql {

class RefreshArrowIndicator {
public:
    // The arrow points up: half a turn, short of it by a hair so that it turns back the same way.
    static constexpr double kUpAngle = 0.000001 - 3.14159265358979323846;

    std::shared_ptr<ui::ImageView> arrowView(ui::View& host);
    std::shared_ptr<ui::ActivityIndicatorView> loadingView(ui::View& host);
    ui::ActivityIndicatorViewStyle activityIndicatorViewStyle() const { return style_; }
    // The next use makes a new spinner of the style.
    void setActivityIndicatorViewStyle(ui::ActivityIndicatorViewStyle style);
    void place(ui::View& host, bool titleShown);

private:
    std::weak_ptr<ui::ImageView> arrow_;
    std::weak_ptr<ui::ActivityIndicatorView> loading_;
    ui::ActivityIndicatorViewStyle style_ = ui::ActivityIndicatorViewStyle::Gray;
};

}  // namespace ql
