#pragma once
// Shorthand for the parts of a view's frame (the picker's UIView(PKPicker) category), in points and in
// the superview's coordinates. Each setter changes one part and keeps the rest: a position setter never
// changes the size.

#include "platform/graphics/Geometry.h"
#include "platform/ui/View.h"

namespace ql {

double left(const ui::View& view);
void setLeft(ui::View& view, double x);
double top(const ui::View& view);
void setTop(ui::View& view, double y);
double right(const ui::View& view);
void setRight(ui::View& view, double right);
double bottom(const ui::View& view);
void setBottom(ui::View& view, double bottom);
double centerX(const ui::View& view);
void setCenterX(ui::View& view, double x);
double centerY(const ui::View& view);
void setCenterY(ui::View& view, double y);
double width(const ui::View& view);
void setWidth(ui::View& view, double width);
double height(const ui::View& view);
void setHeight(ui::View& view, double height);
cg::Point origin(const ui::View& view);
void setOrigin(ui::View& view, cg::Point origin);
cg::Size size(const ui::View& view);
void setSize(ui::View& view, cg::Size size);

}  // namespace ql
