#include "platform/ui/AlertView.h"

#include <algorithm>

#include "platform/ui/MainThread.h"

namespace ql::ui {
namespace {

// Main thread only, like every view.
std::vector<std::shared_ptr<AlertView>>& shownAlerts() {
    static auto* alerts = new std::vector<std::shared_ptr<AlertView>>();
    return *alerts;
}

}  // namespace

AlertView::AlertView(std::string title, std::string message, std::weak_ptr<AlertViewDelegate> delegate,
                     std::optional<std::string> cancelButtonTitle, const std::vector<std::string>& otherButtonTitles)
    : View(cg::Rect{0, 0, 270, 120}), title_(std::move(title)), message_(std::move(message)), delegate_(std::move(delegate)) {
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

void AlertView::show() {
    assertMainThread();
    if (isVisible()) return;
    shownAlerts().push_back(std::static_pointer_cast<AlertView>(shared_from_this()));
}

bool AlertView::isVisible() const {
    const auto& alerts = shownAlerts();
    return std::any_of(alerts.begin(), alerts.end(), [this](const auto& alert) { return alert.get() == this; });
}

void AlertView::dismissWithClickedButtonIndex(std::int64_t buttonIndex, bool) {
    assertMainThread();
    if (buttonIndex < 0 || buttonIndex >= numberOfButtons()) return;
    // Keeps the alert alive while its delegate runs, even once it is off the list.
    auto self = std::static_pointer_cast<AlertView>(shared_from_this());
    if (auto delegate = delegate_.lock()) delegate->alertViewClickedButtonAtIndex(*this, buttonIndex);
    auto& alerts = shownAlerts();
    alerts.erase(std::remove(alerts.begin(), alerts.end(), self), alerts.end());
}

std::vector<std::shared_ptr<AlertView>> AlertView::visibleAlerts() { return shownAlerts(); }

}  // namespace ql::ui
