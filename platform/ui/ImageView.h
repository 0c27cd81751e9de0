#pragma once
// ui::ImageView: shows an image (or its highlighted image) placed by the content mode; a resizable image
// is drawn in nine parts. A list of animation images is played one after another on ns::Clock, as is an
// animated image set as the image.

#include <memory>
#include <vector>

#include "platform/ui/View.h"

namespace ql::ns {
class Timer;
}

namespace ql::ui {

class Image;

class ImageView : public View {
    QL_OBJECT_NAMED(ImageView, View, "UIImageView")
public:
    ImageView() : ImageView(cg::Rect::zero()) {}
    explicit ImageView(const cg::Rect& frame);
    // As large as the image.
    explicit ImageView(std::shared_ptr<Image> image, std::shared_ptr<Image> highlightedImage = nullptr);
    ~ImageView() override;

    const std::shared_ptr<Image>& image() const { return image_; }
    void setImage(std::shared_ptr<Image> image);
    const std::shared_ptr<Image>& highlightedImage() const { return highlightedImage_; }
    void setHighlightedImage(std::shared_ptr<Image> image);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);

    const std::vector<std::shared_ptr<Image>>& animationImages() const { return animationImages_; }
    void setAnimationImages(std::vector<std::shared_ptr<Image>> images);
    const std::vector<std::shared_ptr<Image>>& highlightedAnimationImages() const { return highlightedAnimationImages_; }
    void setHighlightedAnimationImages(std::vector<std::shared_ptr<Image>> images);
    // 0: a thirtieth of a second per image.
    double animationDuration() const { return animationDuration_; }
    void setAnimationDuration(double seconds) { animationDuration_ = seconds; }
    // 0: forever.
    std::int64_t animationRepeatCount() const { return animationRepeatCount_; }
    void setAnimationRepeatCount(std::int64_t count) { animationRepeatCount_ = count; }
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }

    // The image shown now: an animation frame, the highlighted image or the image.
    std::shared_ptr<Image> displayedImage() const;

    cg::Size sizeThatFits(cg::Size size) const override;
    cg::Size intrinsicContentSize() const override;
    void drawRect(const cg::Rect& rect) override;
    void didMoveToWindow() override;

protected:
    void displayLayer(Layer& layer) override;

private:
    const std::vector<std::shared_ptr<Image>>& currentFrames() const;
    void startFrames(double duration, std::int64_t repeats);
    void stopFrames();
    void showFrame();

    std::shared_ptr<Image> image_;
    std::shared_ptr<Image> highlightedImage_;
    bool highlighted_ = false;
    std::vector<std::shared_ptr<Image>> animationImages_;
    std::vector<std::shared_ptr<Image>> highlightedAnimationImages_;
    double animationDuration_ = 0;
    std::int64_t animationRepeatCount_ = 0;
    bool animating_ = false;
    // Frames being played: the animation images, or an animated image's own.
    std::vector<std::shared_ptr<Image>> playing_;
    std::size_t frame_ = 0;
    std::uint64_t framesShown_ = 0;
    std::uint64_t framesToShow_ = 0;
    std::shared_ptr<ns::Timer> timer_;
};

}  // namespace ql::ui
