#include "images/picker/PKActionSheet.h"

#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"

namespace ql {

std::shared_ptr<ui::Color> PKSheet::panelColor() { return ui::Color::colorWithRed(223 / 255.0, 226 / 255.0, 236 / 255.0, 1); }

void PKSheet::addButtons(ui::View& panel, double h, const std::string& cancel, const std::vector<std::string>& titles,
                         const std::weak_ptr<ns::Object>& target, const ui::Action& action) {
    const double width = panel.bounds().size.width;
    const auto makeButton = [&](double y, const std::string& title, std::int64_t tag) {
        auto button = std::make_shared<ui::Button>(cg::Rect{0, y, width, kButtonHeight}, ui::ButtonType::System);
        button->setBackgroundColor(ui::Color::whiteColor());
        button->setTitle(title, ui::ControlStateNormal);
        button->setTitleColor(ui::Color::blackColor(), ui::ControlStateNormal);
        button->setTag(tag);
        button->addTarget(target, action, ui::ControlEventTouchUpInside);
        panel.addSubview(button);
    };
    makeButton(h - kButtonHeight, cancel, kCancelTag);
    const double n = static_cast<double>(titles.size());
    for (std::size_t i = 0; i < titles.size(); ++i) {
        const double y = static_cast<double>(i) * kButtonPitch + (h - kButtonHeight) - (n * kButtonPitch + 7);
        makeButton(y, titles[i], kCancelTag + 1 + static_cast<std::int64_t>(i));
    }
}

PKActionSheet::PKActionSheet(Key, std::string cancel, std::vector<std::string> titles, std::optional<std::string> attachTitle)
    : ui::View(cg::Rect::zero()), cancelStr_(std::move(cancel)), titles_(std::move(titles)), attachTitle_(std::move(attachTitle)) {}

std::shared_ptr<PKActionSheet> PKActionSheet::make(std::string cancel, std::vector<std::string> titles,
                                                   std::optional<std::string> attachTitle) {
    auto sheet = std::make_shared<PKActionSheet>(Key{}, std::move(cancel), std::move(titles), std::move(attachTitle));
    sheet->loadUI();
    return sheet;
}

bool PKActionSheet::isBlankString(const std::optional<std::string>& text) {
    return !text || ns::stringByTrimmingCharactersInSet(*text, ns::CharacterSet::whitespaceCharacterSet()).empty();
}

void PKActionSheet::loadUI() {
    const cg::Size screen = ui::Screen::mainScreen().bounds().size;
    const double W = screen.width, H = screen.height;
    setFrame({0, 0, W, H});
    setBackgroundColor(ui::Color::clearColor());
    const bool captioned = !isBlankString(attachTitle_);
    // Single precision, as the panel's height has always been worked out.
    float panelHeight = static_cast<float>(titles_.size()) * PKSheet::kButtonPitch + PKSheet::kCancelArea;
    if (captioned) panelHeight += static_cast<float>(kCaptionHeight);
    const double h = panelHeight;
    auto panel = std::make_shared<ui::View>(cg::Rect{0, H, W, h});
    panel->setBackgroundColor(PKSheet::panelColor());
    addSubview(panel);
    buttomView_ = panel;
    auto self = std::static_pointer_cast<PKActionSheet>(shared_from_this());
    PKSheet::addButtons(*panel, h, cancelStr_, titles_, self, ui::Action(&PKActionSheet::SelectedButtons));
    if (captioned) {
        auto caption = std::make_shared<ui::Label>(cg::Rect{0, 0, W, kCaptionHeight});
        caption->setBackgroundColor(ui::Color::whiteColor());
        caption->setFont(ui::Font::systemFontOfSize(12));
        caption->setTextColor(ui::Color::grayColor());
        caption->setTextAlignment(ui::TextAlignment::Center);
        caption->setText(attachTitle_);
        panel->addSubview(caption);
    }
    std::weak_ptr<PKActionSheet> weak = self;
    ui::View::animateWithSpring(
        PKSheet::kShowDuration, 0, PKSheet::kDamping, 0, ui::ViewAnimationOptionAllowUserInteraction,
        [self, panel, W, H, h] {
            self->setBackgroundColor(ui::Color::colorWithRed(0, 0, 0, 0.4));
            panel->setFrame({0, H - h, W, h + PKSheet::kOvershoot});
        },
        [weak, panel, W, H, h](bool) {
            panel->setFrame({0, H - h, W, h});
            auto sheet = weak.lock();
            if (!sheet) return;
            // Taps on the background count only once the sheet is fully shown.
            auto tap = std::make_shared<ui::TapGestureRecognizer>(sheet, ui::Action(&PKActionSheet::dismiss));
            tap->setDelegate(std::weak_ptr<ui::GestureRecognizerDelegate>(sheet));
            sheet->addGestureRecognizer(tap);
        });
}

void PKActionSheet::DismissBlock(std::function<void(bool finished)> block) {
    const cg::Size screen = ui::Screen::mainScreen().bounds().size;
    auto self = std::static_pointer_cast<PKActionSheet>(shared_from_this());
    auto panel = ButtomView();
    ui::View::animateWithSpring(
        PKSheet::kHideDuration, 0, PKSheet::kDamping, 0, ui::ViewAnimationOptionLayoutSubviews,
        [self, panel, screen] {
            self->setBackgroundColor(ui::Color::colorWithRed(0, 0, 0, 0));
            if (panel) panel->setFrame({0, screen.height, screen.width, panel->frame().size.height});
        },
        [self, block = std::move(block)](bool finished) {
            if (block) block(finished);
            self->removeFromSuperview();
        });
}

void PKActionSheet::SelectedButtons(ui::Button* button) {
    if (!button) return;
    const std::int64_t number = button->tag() - PKSheet::kCancelTag;
    std::weak_ptr<PKActionSheet> weak = std::static_pointer_cast<PKActionSheet>(shared_from_this());
    DismissBlock([weak, number](bool) {
        auto sheet = weak.lock();
        if (sheet && sheet->buttonIndex_) sheet->buttonIndex_(number);
    });
}

void PKActionSheet::dismiss(ui::TapGestureRecognizer* tap) {
    auto panel = ButtomView();
    if (!tap || !panel) return;
    const cg::Point point = tap->locationInView(panel.get());
    if (!cg::rectContainsPoint(frame(), point)) DismissBlock({});
    else ns::Log::write("tap");
}

void PKActionSheet::ChangeTitleColor(std::shared_ptr<ui::Color> color, std::int64_t index) {
    auto panel = ButtomView();
    if (!panel) return;
    if (auto* button = dynamic_cast<ui::Button*>(panel->viewWithTag(index + PKSheet::kCancelTag))) {
        button->setTitleColor(std::move(color), ui::ControlStateNormal);
    }
}

}  // namespace ql
