#pragma once
// WaitingView: the round progress indicator shown while a browser page loads its picture: a white ring
// that grows clockwise from twelve o'clock.
// It redraws on the main queue and takes itself away once the progress reaches 1.


#include "platform/ui/View.h"

namespace ql {

class WaitingView : public ui::View {
    QL_OBJECT_NAMED(WaitingView, ui::View, "WaitingView")
public:
    WaitingView() : WaitingView(cg::Rect::zero()) {}
    explicit WaitingView(const cg::Rect& frame);

    double progress() const { return progress_; }
    // May be called from any thread; the view changes on the main queue.
    void setProgress(double progress);

    void drawRect(const cg::Rect& rect) override;

private:
    double progress_ = 0;
};

}  // namespace ql
