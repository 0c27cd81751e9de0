#pragma once
// ui::ProgressView: a thin bar filled to its progress, between 0 and 1.

#include <memory>

#include "platform/ui/View.h"

namespace ql::ui {

class Image;

enum class ProgressViewStyle { Default = 0, Bar = 1 };

class ProgressView : public View {
    QL_OBJECT_NAMED(ProgressView, View, "UIProgressView")
public:
    static constexpr double kHeight = 2;

    ProgressView() : ProgressView(ProgressViewStyle::Default) {}
    explicit ProgressView(ProgressViewStyle style);
    explicit ProgressView(const cg::Rect& frame);

    ProgressViewStyle progressViewStyle() const { return style_; }
    void setProgressViewStyle(ProgressViewStyle style);
    // Kept within 0 and 1.
    float progress() const { return progress_; }
    void setProgress(float progress, bool animated = false);
    const std::shared_ptr<Color>& progressTintColor() const { return progressTint_; }
    void setProgressTintColor(std::shared_ptr<Color> color);
    const std::shared_ptr<Color>& trackTintColor() const { return trackTint_; }
    void setTrackTintColor(std::shared_ptr<Color> color);
    const std::shared_ptr<Image>& progressImage() const { return progressImage_; }
    void setProgressImage(std::shared_ptr<Image> image);
    const std::shared_ptr<Image>& trackImage() const { return trackImage_; }
    void setTrackImage(std::shared_ptr<Image> image);

    cg::Size sizeThatFits(cg::Size size) const override;
    void drawRect(const cg::Rect& rect) override;
    void tintColorDidChange() override { setNeedsDisplay(); }

private:
    ProgressViewStyle style_ = ProgressViewStyle::Default;
    float progress_ = 0;
    std::shared_ptr<Color> progressTint_;
    std::shared_ptr<Color> trackTint_;
    std::shared_ptr<Image> progressImage_;
    std::shared_ptr<Image> trackImage_;
};

}  // namespace ql::ui
