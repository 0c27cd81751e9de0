#include "images/picker/PKPickerFrame.h"

namespace ql {

double left(const ui::View& view) { return view.frame().origin.x; }
void setLeft(ui::View& view, double x) { ui::changeFrame(view, [x](cg::Rect& f) { f.origin.x = x; }); }
double top(const ui::View& view) { return view.frame().origin.y; }
void setTop(ui::View& view, double y) { ui::changeFrame(view, [y](cg::Rect& f) { f.origin.y = y; }); }
double right(const ui::View& view) { return view.frame().origin.x + view.frame().size.width; }
void setRight(ui::View& view, double r) { ui::changeFrame(view, [r](cg::Rect& f) { f.origin.x = r - f.size.width; }); }
double bottom(const ui::View& view) { return view.frame().origin.y + view.frame().size.height; }
void setBottom(ui::View& view, double b) { ui::changeFrame(view, [b](cg::Rect& f) { f.origin.y = b - f.size.height; }); }
double centerX(const ui::View& view) { return view.center().x; }
void setCenterX(ui::View& view, double x) { view.setCenter({x, view.center().y}); }
double centerY(const ui::View& view) { return view.center().y; }
void setCenterY(ui::View& view, double y) { view.setCenter({view.center().x, y}); }
double width(const ui::View& view) { return view.frame().size.width; }
void setWidth(ui::View& view, double w) { ui::changeFrame(view, [w](cg::Rect& f) { f.size.width = w; }); }
double height(const ui::View& view) { return view.frame().size.height; }
void setHeight(ui::View& view, double h) { ui::changeFrame(view, [h](cg::Rect& f) { f.size.height = h; }); }
cg::Point origin(const ui::View& view) { return view.frame().origin; }
void setOrigin(ui::View& view, cg::Point o) { ui::changeFrame(view, [o](cg::Rect& f) { f.origin = o; }); }
cg::Size size(const ui::View& view) { return view.frame().size; }
void setSize(ui::View& view, cg::Size s) { ui::changeFrame(view, [s](cg::Rect& f) { f.size = s; }); }

}  // namespace ql
