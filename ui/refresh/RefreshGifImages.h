#pragma once
// The image animation of the gif headers and footers: images and a duration per state, shown in an image
// view made on first use and owned by the control.

#include <map>
#include <memory>
#include <vector>

#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "ui/refresh/RefreshComponent.h"

namespace ql {

class RefreshGifImages {
public:
    using Images = std::vector<std::shared_ptr<ui::Image>>;
    static constexpr double kSecondsPerImage = 0.1;

    std::shared_ptr<ui::ImageView> gifView(ui::View& host);
    const std::map<RefreshState, Images>& stateImages() const { return images_; }
    const std::map<RefreshState, double>& stateDurations() const { return durations_; }

    // No images change nothing. A first image taller than the control makes the control as tall.
    void setImages(ui::View& host, Images images, double duration, RefreshState state);
    // While idle with idle images: the frame for how far the control is pulled out.
    void showPullingFrame(ui::View& host, RefreshState state, double percent);
    // The images of the state: one shown still, more animated; false (and nothing changes) without any.
    bool play(ui::View& host, RefreshState state);
    // Fills the control; beside a title the images keep to the left half, 90 points from the middle.
    void place(ui::View& host, bool titlesHidden);

private:
    std::weak_ptr<ui::ImageView> gifView_;
    std::map<RefreshState, Images> images_;
    std::map<RefreshState, double> durations_;
};

}  // namespace ql
