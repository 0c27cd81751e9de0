#pragma once
// MHBarProgressView: a progress value from 0 to 1 drawn as a rounded bar filling from the left inside a
// rounded outline. Values outside 0…1 draw as the nearest end. It redraws itself whenever one of its
// properties changes.

#include <memory>

#include "platform/graphics/Context.h"
#include "platform/ui/Color.h"
#include "platform/ui/View.h"

namespace ql {

class MHBarProgressView : public ui::View {
    QL_OBJECT(MHBarProgressView, ui::View)
public:
    // 120 × 20.
    MHBarProgressView();
    explicit MHBarProgressView(const cg::Rect& frame);

    float progress() const { return progress_; }
    void setProgress(float progress);
    const std::shared_ptr<ui::Color>& lineColor() const { return lineColor_; }
    void setLineColor(std::shared_ptr<ui::Color> color);
    const std::shared_ptr<ui::Color>& progressColor() const { return progressColor_; }
    void setProgressColor(std::shared_ptr<ui::Color> color);
    const std::shared_ptr<ui::Color>& progressRemainingColor() const { return progressRemainingColor_; }
    void setProgressRemainingColor(std::shared_ptr<ui::Color> color);

    void drawRect(const cg::Rect& rect) override;

    // The filled part for a bar of `size` at `progress`, as a path; empty when nothing is filled.
    static cg::Path filledPath(cg::Size size, float progress);

private:
    template <class T>
    void change(std::string_view key, T& field, T value);

    float progress_ = 0;
    std::shared_ptr<ui::Color> lineColor_;
    std::shared_ptr<ui::Color> progressColor_;
    std::shared_ptr<ui::Color> progressRemainingColor_;
};

}  // namespace ql
