#include "ui/refresh/RefreshGeometry.h"

namespace ql {

namespace {

template <class Change>
void changeInset(ui::ScrollView& scrollView, Change change) {
    cg::EdgeInsets inset = scrollView.contentInset();
    change(inset);
    scrollView.setContentInset(inset);
}

}  // namespace

double mm_x(const ui::View& view) { return view.frame().origin.x; }
double mm_y(const ui::View& view) { return view.frame().origin.y; }
double mm_w(const ui::View& view) { return view.frame().size.width; }
double mm_h(const ui::View& view) { return view.frame().size.height; }
cg::Size mm_size(const ui::View& view) { return view.frame().size; }
cg::Point mm_origin(const ui::View& view) { return view.frame().origin; }
void mm_setX(ui::View& view, double x) { ui::changeFrame(view, [x](cg::Rect& f) { f.origin.x = x; }); }
void mm_setY(ui::View& view, double y) { ui::changeFrame(view, [y](cg::Rect& f) { f.origin.y = y; }); }
void mm_setW(ui::View& view, double width) { ui::changeFrame(view, [width](cg::Rect& f) { f.size.width = width; }); }
void mm_setH(ui::View& view, double height) { ui::changeFrame(view, [height](cg::Rect& f) { f.size.height = height; }); }
void mm_setSize(ui::View& view, cg::Size size) { ui::changeFrame(view, [size](cg::Rect& f) { f.size = size; }); }
void mm_setOrigin(ui::View& view, cg::Point origin) { ui::changeFrame(view, [origin](cg::Rect& f) { f.origin = origin; }); }

double mm_insetT(const ui::ScrollView& scrollView) { return scrollView.contentInset().top; }
double mm_insetB(const ui::ScrollView& scrollView) { return scrollView.contentInset().bottom; }
double mm_insetL(const ui::ScrollView& scrollView) { return scrollView.contentInset().left; }
double mm_insetR(const ui::ScrollView& scrollView) { return scrollView.contentInset().right; }
double mm_offsetX(const ui::ScrollView& scrollView) { return scrollView.contentOffset().x; }
double mm_offsetY(const ui::ScrollView& scrollView) { return scrollView.contentOffset().y; }
double mm_contentW(const ui::ScrollView& scrollView) { return scrollView.contentSize().width; }
double mm_contentH(const ui::ScrollView& scrollView) { return scrollView.contentSize().height; }

void mm_setInsetT(ui::ScrollView& scrollView, double top) { changeInset(scrollView, [top](cg::EdgeInsets& i) { i.top = top; }); }
void mm_setInsetB(ui::ScrollView& scrollView, double bottom) {
    changeInset(scrollView, [bottom](cg::EdgeInsets& i) { i.bottom = bottom; });
}
void mm_setInsetL(ui::ScrollView& scrollView, double left) {
    changeInset(scrollView, [left](cg::EdgeInsets& i) { i.left = left; });
}
void mm_setInsetR(ui::ScrollView& scrollView, double right) {
    changeInset(scrollView, [right](cg::EdgeInsets& i) { i.right = right; });
}
void mm_setOffsetX(ui::ScrollView& scrollView, double x) {
    scrollView.setContentOffset({x, scrollView.contentOffset().y});
}
void mm_setOffsetY(ui::ScrollView& scrollView, double y) {
    scrollView.setContentOffset({scrollView.contentOffset().x, y});
}
void mm_setContentW(ui::ScrollView& scrollView, double width) {
    scrollView.setContentSize({width, scrollView.contentSize().height});
}
void mm_setContentH(ui::ScrollView& scrollView, double height) {
    scrollView.setContentSize({scrollView.contentSize().width, height});
}

}  // namespace ql
