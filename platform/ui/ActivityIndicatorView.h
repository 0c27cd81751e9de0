#pragma once
// ui::ActivityIndicatorView: the spinner. Started it shows; stopped it hides itself unless told not to.

#include <memory>

#include "platform/ui/View.h"

namespace ql::ui {

enum class ActivityIndicatorViewStyle { WhiteLarge = 0, White = 1, Gray = 2 };

class ActivityIndicatorView : public View {
    QL_OBJECT_NAMED(ActivityIndicatorView, View, "UIActivityIndicatorView")
public:
    ActivityIndicatorView() : ActivityIndicatorView(ActivityIndicatorViewStyle::White) {}
    // 37 points square for the large style, 20 otherwise.
    explicit ActivityIndicatorView(ActivityIndicatorViewStyle style);
    explicit ActivityIndicatorView(const cg::Rect& frame);

    ActivityIndicatorViewStyle activityIndicatorViewStyle() const { return style_; }
    void setActivityIndicatorViewStyle(ActivityIndicatorViewStyle style);
    // The style's colour unless set.
    std::shared_ptr<Color> color() const;
    void setColor(std::shared_ptr<Color> color);
    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setHidesWhenStopped(bool hides);

    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }

    cg::Size sizeThatFits(cg::Size size) const override;
    cg::Size intrinsicContentSize() const override { return sizeThatFits({0, 0}); }
    void drawRect(const cg::Rect& rect) override;

private:
    ActivityIndicatorViewStyle style_;
    std::shared_ptr<Color> color_;
    bool hidesWhenStopped_ = true;
    bool animating_ = false;
};

}  // namespace ql::ui
