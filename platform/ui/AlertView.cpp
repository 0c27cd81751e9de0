#include "platform/ui/AlertView.h"

#include <algorithm>

#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/Layer.h"
#include "platform/ui/MainThread.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"

namespace ql::ui {
namespace {

constexpr double kWidth = 270;
constexpr double kPadding = 16;
constexpr double kTop = 20;
constexpr double kFieldHeight = 28;
constexpr double kButtonHeight = 44;
// Kept clear around the alert on the smallest screen, and above the keyboard.
constexpr double kMargin = 10;

// Main thread only, like every view.
std::vector<std::shared_ptr<AlertView>>& shownAlerts() {
    static auto* alerts = new std::vector<std::shared_ptr<AlertView>>();
    return *alerts;
}

// The platform's class for an alert's text field, which keyboard managers leave alone.
class AlertTextField final : public TextField {
    QL_OBJECT_NAMED(AlertTextField, TextField, "UIAlertSheetTextField")
public:
    using TextField::TextField;
};

std::shared_ptr<Label> makeLabel(const std::shared_ptr<Font>& font) {
    auto label = std::make_shared<Label>();
    label->setFont(font);
    label->setTextAlignment(TextAlignment::Center);
    label->setNumberOfLines(0);
    return label;
}

// The part of the screen the alert is centred in: above the keyboard when it has a field to type into.
cg::Rect areaFor(bool typing) {
    cg::Rect area = Screen::mainScreen().bounds();
    if (typing) area.size.height = std::max(0.0, area.size.height - Keyboard::standardHeight());
    return area;
}

}  // namespace

AlertView::AlertView(std::string title, std::string message, std::weak_ptr<AlertViewDelegate> delegate,
                     std::optional<std::string> cancelButtonTitle, const std::vector<std::string>& otherButtonTitles)
    : View(cg::Rect{0, 0, kWidth, 120}), title_(std::move(title)), message_(std::move(message)), delegate_(std::move(delegate)) {
    if (cancelButtonTitle) {
        cancelButtonIndex_ = 0;
        buttonTitles_.push_back(std::move(*cancelButtonTitle));
    }
    for (const auto& other : otherButtonTitles) buttonTitles_.push_back(other);
}

std::int64_t AlertView::addButtonWithTitle(std::string title) {
    buttonTitles_.push_back(std::move(title));
    return numberOfButtons() - 1;
}

std::string AlertView::buttonTitleAtIndex(std::int64_t index) const {
    if (index < 0 || index >= numberOfButtons()) return {};
    return buttonTitles_[static_cast<std::size_t>(index)];
}

void AlertView::setAlertViewStyle(AlertViewStyle style) {
    style_ = style;
    if (style == AlertViewStyle::PlainTextInput && !field_) {
        field_ = std::make_shared<AlertTextField>(cg::Rect{0, 0, kWidth - 2 * kPadding, kFieldHeight});
        field_->setBorderStyle(TextBorderStyle::RoundedRect);
        field_->setFont(Font::systemFontOfSize(13));
    } else if (style == AlertViewStyle::Default) {
        field_.reset();
    }
}

std::shared_ptr<TextField> AlertView::textFieldAtIndex(std::int64_t index) const { return index == 0 ? field_ : nullptr; }

void AlertView::buildContent() {
    for (const auto& subview : subviews()) subview->removeFromSuperview();
    setBackgroundColor(Color::colorWithWhite(0.97, 1));
    layer()->setCornerRadius(12);
    setClipsToBounds(true);
    titleLabel_ = makeLabel(Font::boldSystemFontOfSize(17));
    titleLabel_->setText(title_);
    addSubview(titleLabel_);
    messageLabel_ = makeLabel(Font::systemFontOfSize(13));
    messageLabel_->setText(message_);
    addSubview(messageLabel_);
    if (field_) addSubview(field_);
    buttons_.clear();
    for (std::int64_t i = 0; i < numberOfButtons(); ++i) {
        auto button = std::make_shared<Button>(cg::Rect::zero());
        button->setTitle(buttonTitleAtIndex(i), ControlStateNormal);
        button->setTitleColor(Color::colorWithRed(0, 122.0 / 255, 1, 1), ControlStateNormal);
        button->titleLabel()->setFont(i == cancelButtonIndex_ ? Font::boldSystemFontOfSize(17) : Font::systemFontOfSize(17));
        button->setTag(i);
        button->addTarget(weak_from_this(), Action(&AlertView::buttonTapped), ControlEventTouchUpInside);
        addSubview(button);
        buttons_.push_back(std::move(button));
    }
}

AlertView::Heights AlertView::heights(double width) const {
    Heights heights;
    heights.title = title_.empty() ? 0 : titleLabel_->sizeThatFits({width, 1e6}).height;
    heights.message = messageLabel_->sizeThatFits({width, 1e6}).height;
    heights.field = field_ ? kFieldHeight + 12 : 0;
    heights.buttons = kButtonHeight * (buttons_.size() == 2 ? 1.0 : static_cast<double>(buttons_.size()));
    return heights;
}

double AlertView::Heights::total() const { return kTop + title + 4 + message + field + kPadding + buttons; }

void AlertView::layoutSubviews() {
    View::layoutSubviews();
    if (!titleLabel_) return;
    const double width = bounds().size.width - 2 * kPadding;
    const Heights wanted = heights(width);
    // The message gives way when the screen cannot hold all of it.
    const double messageHeight =
        std::clamp(wanted.message, 0.0, std::max(0.0, bounds().size.height - (wanted.total() - wanted.message)));
    double y = kTop;
    titleLabel_->setFrame({kPadding, y, width, wanted.title});
    y += wanted.title + 4;
    messageLabel_->setFrame({kPadding, y, width, messageHeight});
    y += messageHeight;
    if (field_) field_->setFrame({kPadding, y + 12, width, kFieldHeight});
    y += wanted.field + kPadding;
    const double full = bounds().size.width;
    const bool sideBySide = buttons_.size() == 2;
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        const double at = static_cast<double>(i);
        buttons_[i]->setFrame(sideBySide ? cg::Rect{full / 2 * at, y, full / 2, kButtonHeight}
                                         : cg::Rect{0, y + kButtonHeight * at, full, kButtonHeight});
    }
}

void AlertView::show() {
    assertMainThread();
    if (isVisible()) return;
    shownAlerts().push_back(std::static_pointer_cast<AlertView>(shared_from_this()));
    buildContent();

    const cg::Rect area = areaFor(field_ != nullptr);
    const double alertWidth = std::min(kWidth, area.size.width - 2 * kMargin);
    const double height = std::min(heights(alertWidth - 2 * kPadding).total(), std::max(0.0, area.size.height - 2 * kMargin));
    setFrame({cg::midX(area) - alertWidth / 2, cg::midY(area) - height / 2, alertWidth, height});

    window_ = std::make_shared<Window>(Screen::mainScreen().bounds());
    window_->setWindowLevel(WindowLevelAlert);
    window_->setBackgroundColor(Color::colorWithWhite(0, 0.4));
    window_->addSubview(std::static_pointer_cast<View>(shared_from_this()));
    layoutIfNeeded();
    if (field_) {
        // Typing goes to the key window's first responder.
        window_->makeKeyAndVisible();
        field_->becomeFirstResponder();
    } else {
        window_->setHidden(false);
    }
}

bool AlertView::isVisible() const {
    const auto& alerts = shownAlerts();
    return std::any_of(alerts.begin(), alerts.end(), [this](const auto& alert) { return alert.get() == this; });
}

void AlertView::buttonTapped(ns::Object* sender) {
    if (auto* button = dynamic_cast<Button*>(sender)) dismissWithClickedButtonIndex(button->tag(), true);
}

void AlertView::dismissWithClickedButtonIndex(std::int64_t buttonIndex, bool) {
    assertMainThread();
    if (buttonIndex < 0 || buttonIndex >= numberOfButtons()) return;
    // Keeps the alert alive while its delegate runs, even once it is off the list.
    auto self = std::static_pointer_cast<AlertView>(shared_from_this());
    if (auto delegate = delegate_.lock()) delegate->alertViewClickedButtonAtIndex(*this, buttonIndex);
    auto& alerts = shownAlerts();
    alerts.erase(std::remove(alerts.begin(), alerts.end(), self), alerts.end());
    if (auto window = std::move(window_)) {
        if (field_) field_->resignFirstResponder();
        window->setHidden(true);
        removeFromSuperview();
    }
}

std::vector<std::shared_ptr<AlertView>> AlertView::visibleAlerts() { return shownAlerts(); }

}  // namespace ql::ui
