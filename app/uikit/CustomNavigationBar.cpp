#include "app/uikit/CustomNavigationBar.h"

#include "app/uikit/NibParts.h"

#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/Screen.h"
#include "ui/DeviceModel.h"

namespace ql {

namespace {

using ui::LayoutAttribute;
using ui::LayoutRelation;

// The design canvas the phone layout is drawn on.
constexpr double kDesignWidth = 375;
constexpr double kDesignHeight = 667;
constexpr std::uint64_t kTabletDeviceModel = 4;

std::shared_ptr<ui::LayoutConstraint> pin(const std::shared_ptr<ui::View>& view, LayoutAttribute attribute,
                                          const std::shared_ptr<ui::View>& other, LayoutAttribute otherAttribute,
                                          double constant) {
    return ui::LayoutConstraint::constraintWithItem(view, attribute, LayoutRelation::Equal, other, otherAttribute, 1,
                                                    constant);
}

std::shared_ptr<ui::LayoutConstraint> size(const std::shared_ptr<ui::View>& view, LayoutAttribute attribute,
                                           double constant) {
    return ui::LayoutConstraint::constraintWithItem(view, attribute, LayoutRelation::Equal, nullptr,
                                                    LayoutAttribute::NotAnAttribute, 1, constant);
}

std::shared_ptr<ui::Button> customButton(const char* imageName, std::int64_t tag) {
    auto button = ui::Button::buttonWithType(ui::ButtonType::Custom);
    button->setImage(ui::Image::imageNamed(imageName), ui::ControlStateNormal);
    button->setTag(tag);
    return button;
}

}  // namespace

CustomNavigationBar::CustomNavigationBar() : ui::View(cg::Rect::zero()) {}

std::shared_ptr<CustomNavigationBar> CustomNavigationBar::make() {
    auto bar = std::make_shared<CustomNavigationBar>();
    bar->build();
    return bar;
}

void CustomNavigationBar::build() {
    if (deviceModel() == kTabletDeviceModel) {
        iPadUI();
    } else {
        phoneUI();
    }
}

void CustomNavigationBar::phoneUI() {
    const cg::Size screen = ui::Screen::mainScreen().bounds().size;
    auto x = [&](double design) { return nib::onPixels(screen.width * design / kDesignWidth); };
    auto y = [&](double design) { return nib::onPixels(screen.height * design / kDesignHeight); };
    auto self = sharedFromThis();
    setBackgroundColor(ui::Color::clearColor());

    buttonBack_ = customButton("back.png", kBackTag);
    buttonBack_->setContentHorizontalAlignment(ui::ControlContentHorizontalAlignment::Left);
    buttonBack_->setTranslatesAutoresizingMaskIntoConstraints(false);
    addSubview(buttonBack_);
    addConstraints({pin(buttonBack_, LayoutAttribute::Left, self, LayoutAttribute::Left, x(11)),
                    pin(buttonBack_, LayoutAttribute::Top, self, LayoutAttribute::Top, y(42)),
                    size(buttonBack_, LayoutAttribute::Width, x(90)), size(buttonBack_, LayoutAttribute::Height, y(30))});

    auto plate = std::make_shared<ui::ImageView>(ui::Image::imageNamed("title_bg.png"));
    plate->setFrame({0, 0, 160, 47});
    plate->setTranslatesAutoresizingMaskIntoConstraints(false);
    addSubview(plate);
    addConstraints({pin(plate, LayoutAttribute::Left, self, LayoutAttribute::Left, x(78)),
                    pin(plate, LayoutAttribute::Top, self, LayoutAttribute::Top, y(32)),
                    size(plate, LayoutAttribute::Width, x(173)), size(plate, LayoutAttribute::Height, y(44))});

    auto decoration = std::make_shared<ui::ImageView>(ui::Image::imageNamed("title_air.png"));
    decoration->setTranslatesAutoresizingMaskIntoConstraints(false);
    addSubview(decoration);
    addConstraints({pin(decoration, LayoutAttribute::Left, plate, LayoutAttribute::Right, -1),
                    pin(decoration, LayoutAttribute::Top, self, LayoutAttribute::Top, y(25)),
                    pin(decoration, LayoutAttribute::Right, self, LayoutAttribute::Right, -x(21)),
                    size(decoration, LayoutAttribute::Height, y(47))});

    titleLabel_ = std::make_shared<ui::Label>();
    titleLabel_->setTextAlignment(ui::TextAlignment::Center);
    titleLabel_->setBackgroundColor(ui::Color::clearColor());
    titleLabel_->setTextColor(ui::Color::whiteColor());
    titleLabel_->setTranslatesAutoresizingMaskIntoConstraints(false);
    plate->addSubview(titleLabel_);
    addConstraints({pin(titleLabel_, LayoutAttribute::Left, self, LayoutAttribute::Left, x(99)),
                    pin(titleLabel_, LayoutAttribute::Top, self, LayoutAttribute::Top, y(32)),
                    size(titleLabel_, LayoutAttribute::Width, x(148)),
                    size(titleLabel_, LayoutAttribute::Height, y(31))});

    buttonSearch_ = customButton("serach.png", kSearchTag);
    buttonSearch_->setHidden(true);
    buttonSearch_->addTarget(weak_from_this(), &CustomNavigationBar::onButtonInTarnNavigationBar,
                             ui::ControlEventTouchUpInside);
    buttonSearch_->setTranslatesAutoresizingMaskIntoConstraints(false);
    addSubview(buttonSearch_);
    addConstraints({pin(buttonSearch_, LayoutAttribute::Right, self, LayoutAttribute::Right, x(13)),
                    pin(buttonSearch_, LayoutAttribute::CenterY, buttonBack_, LayoutAttribute::CenterY, 0),
                    size(buttonSearch_, LayoutAttribute::Width, x(77)),
                    size(buttonSearch_, LayoutAttribute::Height, y(49))});
}

void CustomNavigationBar::iPadUI() {
    // The platform is never older than 7.0, so the bar starts at the top (no status-bar offset).
    constexpr double statusOffset = 0;
    const double width = ui::Screen::mainScreen().bounds().size.width;
    setBackgroundColor(ui::Color::clearColor());
    setFrame({0, statusOffset, width, 64 - statusOffset});

    segmentView_ = std::make_shared<ui::ImageView>(ui::Image::imageNamed("indent_navigation"));
    segmentView_->setFrame({0, 36 - statusOffset, 149, 47});
    segmentView_->setUserInteractionEnabled(true);
    segmentView_->setCenter({width / 2, segmentView_->center().y});
    segmentView_->setHidden(true);
    addSubview(segmentView_);

    auto plate = std::make_shared<ui::ImageView>(ui::Image::imageNamed("title_bg.png"));
    plate->setFrame({0, 0, 160, 47});
    plate->setCenter(segmentView_->center());
    addSubview(plate);

    auto decoration = std::make_shared<ui::ImageView>(ui::Image::imageNamed("title_air.png"));
    decoration->setFrame({0, 0, 110, 50});
    decoration->setCenter({width / 2 + 160 / 2.0 + 110 / 2.0, segmentView_->center().y - 6});
    addSubview(decoration);

    titleLabel_ = std::make_shared<ui::Label>(cg::Rect{18, 0, 160 - 18, 47 - 10});
    titleLabel_->setTextAlignment(ui::TextAlignment::Center);
    titleLabel_->setBackgroundColor(ui::Color::clearColor());
    titleLabel_->setTextColor(ui::Color::whiteColor());
    titleLabel_->setFont(ui::Font::systemFontOfSize(20));
    plate->addSubview(titleLabel_);

    buttonBack_ = customButton("back.png", kBackTag);
    buttonBack_->setContentHorizontalAlignment(ui::ControlContentHorizontalAlignment::Left);
    buttonBack_->setFrame({10, 34 - statusOffset, 60, 44});
    buttonBack_->setHidden(true);
    addSubview(buttonBack_);

    buttonSearch_ = customButton("serach.png", kSearchTag);
    buttonSearch_->setFrame({width - 70, 33 - statusOffset, 66, 31});
    buttonSearch_->setHidden(true);
    buttonSearch_->addTarget(weak_from_this(), &CustomNavigationBar::onButtonInTarnNavigationBar,
                             ui::ControlEventTouchUpInside);
    addSubview(buttonSearch_);
}

void CustomNavigationBar::setNavigationTitle(const std::optional<std::string>& title) {
    if (!titleLabel_) return;
    titleLabel_->setText(title && *title != "null" ? *title : std::string());
}

void CustomNavigationBar::onButtonInTarnNavigationBar(ui::Button* sender) {
    if (!sender) return;
    auto delegate = delegate_.lock();
    if (!delegate) return;
    if (sender->tag() == kSearchTag) {
        delegate->TarnNavigationBar_onButtonSearch();
    } else if (sender->tag() == kBackTag) {
        delegate->TarnNavigationBar_onButtonBack();
    }
}

}  // namespace ql
