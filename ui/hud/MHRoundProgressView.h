#pragma once
// MHRoundProgressView: a progress value from 0 to 1 drawn as a pie filling clockwise from the top or,
// when annular, as a ring. It redraws itself whenever one of its properties changes.

#include <memory>

#include "platform/ui/Color.h"
#include "platform/ui/View.h"

namespace ql {

class MHRoundProgressView : public ui::View {
    QL_OBJECT(MHRoundProgressView, ui::View)
public:
    // 37 × 37.
    MHRoundProgressView();
    explicit MHRoundProgressView(const cg::Rect& frame);

    float progress() const { return progress_; }
    void setProgress(float progress);
    bool isAnnular() const { return annular_; }
    void setAnnular(bool annular);
    const std::shared_ptr<ui::Color>& progressTintColor() const { return progressTintColor_; }
    void setProgressTintColor(std::shared_ptr<ui::Color> color);
    const std::shared_ptr<ui::Color>& backgroundTintColor() const { return backgroundTintColor_; }
    void setBackgroundTintColor(std::shared_ptr<ui::Color> color);

    void drawRect(const cg::Rect& rect) override;

private:
    template <class T>
    void change(std::string_view key, T& field, T value);

    bool annular_ = false;
    float progress_ = 0;
    std::shared_ptr<ui::Color> progressTintColor_;
    std::shared_ptr<ui::Color> backgroundTintColor_;
};

}  // namespace ql
