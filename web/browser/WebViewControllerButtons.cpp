// WebViewController's buttons: which exist, and where they sit. A compact presentation (a narrow screen)
// spreads them along the bottom toolbar with the done button on the navigation bar; a regular one puts
// everything on the navigation bar, on the left or the right depending on whether the screen was presented.

#include <algorithm>

#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "web/browser/WebViewController.h"
#include "web/browser/WebViewControllerIcons.h"

namespace ql {

namespace {

std::shared_ptr<ui::BarButtonItem> flexibleSpace() {
    return std::make_shared<ui::BarButtonItem>(ui::BarButtonSystemItem::FlexibleSpace, std::weak_ptr<ns::Object>(), ui::Action());
}

std::shared_ptr<ui::BarButtonItem> fixedSpace() {
    auto space = std::make_shared<ui::BarButtonItem>(ui::BarButtonSystemItem::FixedSpace, std::weak_ptr<ns::Object>(), ui::Action());
    space->setWidth(WebViewController::kRegularButtonSpacing);
    return space;
}

// Each existing button followed by a fixed space.
void appendSpaced(std::vector<std::shared_ptr<ui::BarButtonItem>>& list,
                  std::initializer_list<std::shared_ptr<ui::BarButtonItem>> buttons) {
    for (const auto& button : buttons) {
        if (!button) continue;
        list.push_back(button);
        list.push_back(fixedSpace());
    }
}

}  // namespace

bool WebViewController::compactPresentation() const {
    return traitCollection().horizontalSizeClass == ui::UserInterfaceSizeClass::Compact;
}

bool WebViewController::beingPresentedModally() const {
    ui::NavigationController* navigation = navigationController();
    if (navigation && navigation->presentingViewController()) {
        const auto& stack = navigation->viewControllers();
        return !stack.empty() && stack.front().get() == this;
    }
    return presentingViewController() != nullptr;
}

bool WebViewController::onTopOfNavigationControllerStack() const {
    ui::NavigationController* navigation = navigationController();
    if (!navigation || navigation->viewControllers().empty()) return false;
    return navigation->viewControllers().front().get() != this;
}

void WebViewController::setUpNavigationButtons() {
    auto self = weak_from_this();
    const auto make = [&](std::shared_ptr<ui::Image> image, ui::Action action) {
        auto item = std::make_shared<ui::BarButtonItem>(std::move(image), ui::BarButtonItemStyle::Plain, self, std::move(action));
        item->setTintColor(buttonTintColor_);
        return item;
    };
    if (!backButton_) backButton_ = make(WebViewControllerIcon_backButtonWithAttributes(buttonThemeAttributes_), &WebViewController::backButtonTapped);
    if (!forwardButton_) {
        forwardButton_ = make(WebViewControllerIcon_forwardButtonWithAttributes(buttonThemeAttributes_), &WebViewController::forwardButtonTapped);
    }
    if (!reloadStopButton_) {
        reloadIcon_ = WebViewControllerIcon_refreshButtonWithAttributes(buttonThemeAttributes_);
        stopIcon_ = WebViewControllerIcon_stopButtonWithAttributes(buttonThemeAttributes_);
        reloadStopButton_ = make(reloadIcon_, &WebViewController::reloadStopButtonTapped);
    }
    if (!actionButton_ && showActionButton_) {
        actionButton_ = std::make_shared<ui::BarButtonItem>(ui::BarButtonSystemItem::Action, self, &WebViewController::actionButtonTapped);
        actionButton_->setTintColor(buttonTintColor_);
        actionButton_->setImageInsets({-2, 0, 2, 0});
    }
}

void WebViewController::layoutButtonsForCurrentSizeClass() {
    ui::NavigationController* navigation = navigationController();
    const bool compact = compactPresentation();
    if (navigation) navigation->setToolbarHidden(!compact || navigationButtonsHidden_, false);

    const auto& item = navigationItem();
    setToolbarItems({});
    item->setLeftBarButtonItems({});
    item->setRightBarButtonItems({});
    item->setLeftItemsSupplementBackButton(false);
    if (!applicationLeftBarButtonItems_.empty()) {
        item->setLeftBarButtonItems(applicationLeftBarButtonItems_);
        item->setLeftItemsSupplementBackButton(true);
    }
    const bool modal = beingPresentedModally();

    if (compact) {
        if (doneButton_) item->setRightBarButtonItem(doneButton_);
        if (navigationButtonsHidden_) {
            // With no toolbar, the host's buttons go on the navigation bar: beside the left ones when the
            // screen was presented, on the right when it was pushed.
            if (applicationBarButtonItems_.empty()) return;
            if (modal) {
                BarButtonItems left = item->leftBarButtonItems();
                left.insert(left.end(), applicationBarButtonItems_.begin(), applicationBarButtonItems_.end());
                item->setLeftBarButtonItems(std::move(left));
            } else {
                BarButtonItems right = item->rightBarButtonItems();
                right.insert(right.end(), applicationBarButtonItems_.begin(), applicationBarButtonItems_.end());
                item->setRightBarButtonItems(std::move(right));
            }
            return;
        }
        BarButtonItems buttons;
        for (const auto& button : {backButton_, forwardButton_, reloadStopButton_}) {
            if (button) buttons.push_back(button);
        }
        buttons.insert(buttons.end(), applicationBarButtonItems_.begin(), applicationBarButtonItems_.end());
        if (actionButton_) buttons.push_back(actionButton_);
        BarButtonItems spread;
        // Few buttons also keep space at both ends; many use the whole width.
        const bool padEnds = !buttons.empty() && buttons.size() < 5;
        if (padEnds) spread.push_back(flexibleSpace());
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            if (i > 0) spread.push_back(flexibleSpace());
            spread.push_back(buttons[i]);
        }
        if (padEnds) spread.push_back(flexibleSpace());
        setToolbarItems(std::move(spread));
        return;
    }

    BarButtonItems left = applicationLeftBarButtonItems_.empty() ? BarButtonItems{} : item->leftBarButtonItems();
    BarButtonItems right;
    if (modal) {
        appendSpaced(left, {backButton_, forwardButton_, reloadStopButton_});
        appendSpaced(right, {doneButton_, actionButton_});
        for (const auto& application : applicationBarButtonItems_) appendSpaced(right, {application});
    } else {
        left.push_back(fixedSpace());
        appendSpaced(left, {actionButton_});
        appendSpaced(right, {reloadStopButton_, forwardButton_, backButton_});
        for (const auto& application : applicationBarButtonItems_) appendSpaced(left, {application});
    }
    item->setLeftBarButtonItems(std::move(left));
    item->setLeftItemsSupplementBackButton(true);
    item->setRightBarButtonItems(std::move(right));
}

void WebViewController::willTransitionToTraitCollection(const ui::TraitCollection& newCollection) {
    ui::ViewController::willTransitionToTraitCollection(newCollection);
    if (navigationButtonsHidden_) return;
    if (ui::NavigationController* navigation = navigationController()) {
        navigation->setToolbarHidden(newCollection.horizontalSizeClass != ui::UserInterfaceSizeClass::Compact, false);
    }
}

void WebViewController::traitCollectionDidChange(const std::optional<ui::TraitCollection>& previousCollection) {
    ui::ViewController::traitCollectionDidChange(previousCollection);
    layoutButtonsForCurrentSizeClass();
}

// ---- Setters that change the buttons ----

void WebViewController::setNavigationButtonsHidden(bool hidden) {
    if (hidden == navigationButtonsHidden_) return;
    navigationButtonsHidden_ = hidden;
    if (hidden) {
        backButton_.reset();
        forwardButton_.reset();
        reloadIcon_.reset();
        stopIcon_.reset();
        reloadStopButton_.reset();
        actionButton_.reset();
    } else {
        setUpNavigationButtons();
    }
    layoutButtonsForCurrentSizeClass();
}

void WebViewController::setButtonTintColor(std::shared_ptr<ui::Color> color) {
    if (color == buttonTintColor_) return;
    buttonTintColor_ = std::move(color);
    // Bar buttons here take a tint, so the glyphs need not be drawn again in the colour.
    for (const auto& button : {backButton_, forwardButton_, reloadStopButton_, actionButton_, doneButton_}) {
        if (button) button->setTintColor(buttonTintColor_);
    }
}

void WebViewController::setButtonBevelOpacity(double opacity) {
    if (opacity == buttonBevelOpacity_) return;
    buttonBevelOpacity_ = opacity;
    buttonThemeAttributes_[WebViewControllerButtonBevelOpacity] = ns::Value(opacity);
    if (!navigationButtonsHidden_) setUpNavigationButtons();
}

void WebViewController::setApplicationBarButtonItems(BarButtonItems items) {
    if (items == applicationBarButtonItems_) return;
    applicationBarButtonItems_ = std::move(items);
    if (presenter() && compactPresentation()) layoutButtonsForCurrentSizeClass();
}

void WebViewController::setApplicationLeftBarButtonItems(BarButtonItems items) {
    if (items == applicationLeftBarButtonItems_) return;
    applicationLeftBarButtonItems_ = std::move(items);
    refreshButtonsState();
}

void WebViewController::setLoadCompletedApplicationBarButtonItems(BarButtonItems items) {
    if (items == loadCompletedApplicationBarButtonItems_) return;
    loadCompletedApplicationBarButtonItems_ = std::move(items);
    for (const auto& item : loadCompletedApplicationBarButtonItems_) item->setEnabled(false);
    refreshButtonsState();
}

}  // namespace ql
