#pragma once
// WebViewProgressView: the thin bar that shows a page's load progress, from 0 to 1. The inner bar grows
// from the left edge; at 1 it fades out and shrinks back to nothing.

#include <cstdint>
#include <memory>

#include "platform/ui/View.h"

namespace ql {

class WebViewProgressView : public ui::View {
    QL_OBJECT(WebViewProgressView, ui::View)

public:
    static constexpr double kDefaultBarAnimationDuration = 0.27f;
    static constexpr double kDefaultFadeAnimationDuration = 0.27f;
    static constexpr double kDefaultFadeOutDelay = 0.1f;

    WebViewProgressView() : WebViewProgressView(cg::Rect::zero()) {}
    explicit WebViewProgressView(const cg::Rect& frame);
    void awakeFromNib() override;

    float progress() const { return progress_; }
    void setProgress(float progress) { setProgress(progress, false); }
    void setProgress(float progress, bool animated);

    const std::shared_ptr<ui::View>& progressBarView() const { return progressBarView_; }
    void setProgressBarView(std::shared_ptr<ui::View> view) { progressBarView_ = std::move(view); }
    double barAnimationDuration() const { return barAnimationDuration_; }
    void setBarAnimationDuration(double duration) { barAnimationDuration_ = duration; }
    double fadeAnimationDuration() const { return fadeAnimationDuration_; }
    void setFadeAnimationDuration(double duration) { fadeAnimationDuration_ = duration; }
    double fadeOutDelay() const { return fadeOutDelay_; }
    void setFadeOutDelay(double delay) { fadeOutDelay_ = delay; }

private:
    void configureViews();

    float progress_ = 0;
    std::shared_ptr<ui::View> progressBarView_;
    double barAnimationDuration_ = kDefaultBarAnimationDuration;
    double fadeAnimationDuration_ = kDefaultFadeAnimationDuration;
    double fadeOutDelay_ = kDefaultFadeOutDelay;
    // Counts the values set, so that a fade-out that ends after a newer value leaves that value's bar alone.
    std::uint64_t generation_ = 0;
};

}  // namespace ql
