#include "app/uikit/NibParts.h"

#include <algorithm>
#include <cmath>

#include "app/uikit/ColorHex.h"
#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"

namespace ql::nib {

void registerOnce(std::string_view name, ui::Nib::Builder builder) {
    if (!ui::Nib::isRegistered(name)) ui::Nib::registerNib(std::string(name), std::move(builder));
}

double onPixels(double points) {
    const double scale = ui::Screen::mainScreen().scale();
    return std::round(points * scale) / scale;
}

Column Column::forScreen() {
    const double screenWidth = ui::Screen::mainScreen().bounds().size.width;
    const double width = std::min(screenWidth - 60, 360.0);
    return {(screenWidth - width) / 2, width};
}

std::shared_ptr<ui::View> screenView(ui::Nib::Loading& loading) {
    auto view = loading.make<ui::View>(ui::Screen::mainScreen().bounds());
    view->setBackgroundColor(ui::Color::whiteColor());
    view->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    if (auto* owner = loading.ownerAs<ui::ViewController>()) owner->setView(view);
    return view;
}

std::shared_ptr<ui::ImageView> backgroundPicture(ui::Nib::Loading& loading, ui::View& view) {
    auto picture = loading.make<ui::ImageView>(view.bounds());
    picture->setContentMode(ui::ContentMode::ScaleAspectFill);
    picture->setClipsToBounds(true);
    picture->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    view.addSubview(picture);
    return picture;
}

std::shared_ptr<ui::TextField> field(ui::Nib::Loading& loading, const cg::Rect& frame, std::string_view placeholder,
                                     bool secure) {
    auto text = loading.make<ui::TextField>(frame);
    text->setPlaceholder(std::string(placeholder));
    text->setBackgroundColor(ui::Color::colorWithWhite(1, 0.92));
    text->setFont(ui::Font::systemFontOfSize(16));
    text->setTextColor(colorWithHex(0x3A3A3A));
    text->layer()->setCornerRadius(frame.size.height / 2);
    text->layer()->setBorderWidth(1);
    text->layer()->setBorderColor(colorWithHex(0xF2B33D)->CGColor());
    // Room between the rounded edge and the text.
    auto inset = std::make_shared<ui::View>(cg::Rect{0, 0, 18, frame.size.height});
    text->setLeftView(inset);
    text->setLeftViewMode(ui::TextFieldViewMode::Always);
    text->setClearButtonMode(ui::TextFieldViewMode::WhileEditing);
    text->setSecureTextEntry(secure);
    return text;
}

std::shared_ptr<ui::Button> button(ui::Nib::Loading& loading, const cg::Rect& frame, std::string_view title,
                                   std::int64_t tag) {
    auto control = loading.make<ui::Button>(frame);
    control->setTitle(std::string(title), ui::ControlStateNormal);
    control->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    control->setTitleColor(ui::Color::colorWithWhite(1, 0.6), ui::ControlStateDisabled);
    control->titleLabel()->setFont(ui::Font::boldSystemFontOfSize(17));
    control->setTag(tag);
    return control;
}

std::shared_ptr<ui::Label> label(ui::Nib::Loading& loading, const cg::Rect& frame, std::string_view text,
                                 double fontSize) {
    auto view = loading.make<ui::Label>(frame);
    view->setText(std::string(text));
    view->setFont(ui::Font::systemFontOfSize(fontSize));
    view->setTextColor(colorWithHex(0x4A4A4A));
    return view;
}

}  // namespace ql::nib
