#pragma once
// A hairline separator: a 1-point-wide view draws a vertical line, a 1-point-high one a horizontal line.

#include "platform/ui/View.h"

namespace ql {

class LineView : public ui::View {
    QL_OBJECT(LineView, ui::View)
public:
    LineView() : LineView(cg::Rect::zero()) {}
    explicit LineView(const cg::Rect& frame);

    void awakeFromNib() override;
    void drawRect(const cg::Rect& rect) override;
};

}  // namespace ql
