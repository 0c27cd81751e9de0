#pragma once
// WaitingView: the round progress indicator shown while a browser page loads its picture: a white ring
// that grows clockwise from twelve o'clock (mode 0), or a white disc whose dark sector shrinks (mode 1).
// It redraws on the main queue and takes itself away once the progress reaches 1.

#include <cstdint>

#include "platform/ui/View.h"

namespace ql {

class WaitingView : public ui::View {
    QL_OBJECT_NAMED(WaitingView, ui::View, "WaitingView")
public:
    static constexpr std::int32_t kModeRing = 0;
    static constexpr std::int32_t kModePie = 1;

    WaitingView() : WaitingView(cg::Rect::zero()) {}
    explicit WaitingView(const cg::Rect& frame);

    double progress() const { return progress_; }
    // May be called from any thread; the view changes on the main queue.
    void setProgress(double progress);
    std::int32_t mode() const { return mode_; }
    void setMode(std::int32_t mode) { mode_ = mode; }

    void drawRect(const cg::Rect& rect) override;

private:
    double progress_ = 0;
    std::int32_t mode_ = kModeRing;
};

}  // namespace ql
