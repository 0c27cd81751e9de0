#pragma once
// PopupBackgroundView: the dimming behind a popup card, clear at the centre and darker towards the edges;
// its alpha sets how strong it shows.

#include "platform/ui/View.h"

namespace ql {

class PopupBackgroundView : public ui::View {
    QL_OBJECT(PopupBackgroundView, ui::View)
public:
    PopupBackgroundView() : PopupBackgroundView(cg::Rect::zero()) {}
    explicit PopupBackgroundView(const cg::Rect& frame) : ui::View(frame) {}

    void drawRect(const cg::Rect& rect) override;
};

}  // namespace ql
