#pragma once
// BrowserImageView: one page of the photo browser: the picture, fitted in aspect, loaded from a URL with a
// round progress indicator; a picture taller than the page scrolls vertically on a nearly black ground;
// a pinch or a double tap zooms a copy of the picture in a scroller laid over the page.

#include <memory>
#include <optional>

#include "images/browser/WaitingView.h"
#include "platform/foundation/URL.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/PinchGestureRecognizer.h"
#include "platform/ui/ScrollView.h"

namespace ql {

class BrowserImageView : public ui::ImageView, public ui::GestureRecognizerDelegate {
    QL_OBJECT_NAMED(BrowserImageView, ui::ImageView, "BrowserImageView")
    struct Key {
        explicit Key() = default;
    };

public:
    static constexpr double kDoubleTapDuration = 0.5;
    // A zoom step is refused when it would take a total already below the lower or above the upper
    // limit further out.
    static constexpr double kLowerScaleLimit = 0.5;
    static constexpr double kUpperScaleLimit = 2.0;

    // Pages are made by `make`: the pinch reports to the page, which needs an owner first.
    BrowserImageView(Key, const cg::Rect& frame);
    static std::shared_ptr<BrowserImageView> make(const cg::Rect& frame = cg::Rect::zero());

    double progress() const { return progress_; }
    void setProgress(double progress);
    bool isScaled() const { return totalScale_ != 1.0; }
    double totalScale() const { return totalScale_; }
    bool hasLoadedImage() const { return hasLoadedImage_; }
    void setHasLoadedImage(bool loaded) { hasLoadedImage_ = loaded; }
    std::shared_ptr<WaitingView> waitingView() const { return waitingView_.lock(); }
    // The long-picture scroller and the zoom layer, while they exist.
    const std::shared_ptr<ui::ScrollView>& scroll() const { return scroll_; }
    const std::shared_ptr<ui::ScrollView>& zoomingScrollView() const { return zoomingScroolView_; }
    const std::shared_ptr<ui::ImageView>& zoomingImageView() const { return zoomingImageView_; }

    void setImageWithURL(const std::optional<ns::URL>& url, std::shared_ptr<ui::Image> placeholder);
    void removeWaitingView();

    void zoomImage(ui::PinchGestureRecognizer* pinch);
    void setTotalScale(double scale);
    void zoomWithScale(double scale);
    void doubleTapToZommWithScale(double scale);
    void prepareForImageViewScaling();
    void scaleImage(double scale);
    void eliminateScale();
    void clear();

    void layoutSubviews() override;

private:
    double progress_ = 0;
    double totalScale_ = 1.0;
    bool hasLoadedImage_ = false;
    std::weak_ptr<WaitingView> waitingView_;
    std::shared_ptr<ui::ScrollView> scroll_;
    std::shared_ptr<ui::ImageView> scrollImageView_;
    std::shared_ptr<ui::ScrollView> zoomingScroolView_;
    std::shared_ptr<ui::ImageView> zoomingImageView_;
};

}  // namespace ql
