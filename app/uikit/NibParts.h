#pragma once
// The pieces the app's nib builders lay out its screens with: a column of rounded white fields and
// buttons on a full-screen picture, sized from the screen so that every device gets the same look.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/graphics/Geometry.h"
#include "platform/ui/Nib.h"

namespace ql::ui {
class Button;
class ImageView;
class Label;
class TextField;
class View;
}  // namespace ql::ui

namespace ql::nib {

// Registers the builder under the name unless a builder is registered there already (a test may have
// put its own in place).
void registerOnce(std::string_view name, ui::Nib::Builder builder);

// The points rounded to the screen's pixel grid, so that sizes scaled from the design's width still draw
// the app's edges and hairlines crisply.
double onPixels(double points);

// The column the account screens put their fields in: centred, 30 points from the edges, at most 360 wide.
struct Column {
    double x;
    double width;
    static Column forScreen();
};

// A view filling the screen, made the owner's view.
std::shared_ptr<ui::View> screenView(ui::Nib::Loading& loading);
// A picture filling the view, drawn first.
std::shared_ptr<ui::ImageView> backgroundPicture(ui::Nib::Loading& loading, ui::View& view);
std::shared_ptr<ui::TextField> field(ui::Nib::Loading& loading, const cg::Rect& frame, std::string_view placeholder,
                                     bool secure = false);
// A custom button with a white title and the tag its screen tells it apart by.
std::shared_ptr<ui::Button> button(ui::Nib::Loading& loading, const cg::Rect& frame, std::string_view title,
                                   std::int64_t tag);
std::shared_ptr<ui::Label> label(ui::Nib::Loading& loading, const cg::Rect& frame, std::string_view text,
                                 double fontSize);

}  // namespace ql::nib
