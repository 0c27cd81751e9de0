#pragma once
// Short accessors of one part of a view's frame and of a scroll view's inset, offset and content size.
// Each setter reads the whole value, replaces its part and sets the whole value back.

#include "platform/ui/ScrollView.h"

namespace ql {

double mm_x(const ui::View& view);
double mm_y(const ui::View& view);
double mm_w(const ui::View& view);
double mm_h(const ui::View& view);
cg::Size mm_size(const ui::View& view);
cg::Point mm_origin(const ui::View& view);
void mm_setX(ui::View& view, double x);
void mm_setY(ui::View& view, double y);
void mm_setW(ui::View& view, double width);
void mm_setH(ui::View& view, double height);
void mm_setSize(ui::View& view, cg::Size size);
void mm_setOrigin(ui::View& view, cg::Point origin);

double mm_insetT(const ui::ScrollView& scrollView);
double mm_insetB(const ui::ScrollView& scrollView);
double mm_insetL(const ui::ScrollView& scrollView);
double mm_insetR(const ui::ScrollView& scrollView);
double mm_offsetX(const ui::ScrollView& scrollView);
double mm_offsetY(const ui::ScrollView& scrollView);
double mm_contentW(const ui::ScrollView& scrollView);
double mm_contentH(const ui::ScrollView& scrollView);
void mm_setInsetT(ui::ScrollView& scrollView, double top);
void mm_setInsetB(ui::ScrollView& scrollView, double bottom);
void mm_setInsetL(ui::ScrollView& scrollView, double left);
void mm_setInsetR(ui::ScrollView& scrollView, double right);
void mm_setOffsetX(ui::ScrollView& scrollView, double x);
void mm_setOffsetY(ui::ScrollView& scrollView, double y);
void mm_setContentW(ui::ScrollView& scrollView, double width);
void mm_setContentH(ui::ScrollView& scrollView, double height);

}  // namespace ql
