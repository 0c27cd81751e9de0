#include "platform/ui/ActionSheet.h"

#include <algorithm>

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/MainThread.h"

namespace ql::ui {
namespace {

// Main thread only, like every view.
std::vector<std::shared_ptr<ActionSheet>>& shownSheets() {
    static auto* sheets = new std::vector<std::shared_ptr<ActionSheet>>();
    return *sheets;
}

}  // namespace

ActionSheet::ActionSheet(std::optional<std::string> title, std::weak_ptr<ActionSheetDelegate> delegate,
                         std::optional<std::string> cancelButtonTitle, std::optional<std::string> destructiveButtonTitle,
                         const std::vector<std::string>& otherButtonTitles)
    : View(cg::Rect{0, 0, 320, 0}), title_(std::move(title)), delegate_(std::move(delegate)) {
    if (destructiveButtonTitle) destructiveButtonIndex_ = addButtonWithTitle(std::move(*destructiveButtonTitle));
    for (const auto& other : otherButtonTitles) addButtonWithTitle(other);
    if (cancelButtonTitle) cancelButtonIndex_ = addButtonWithTitle(std::move(*cancelButtonTitle));
}

std::int64_t ActionSheet::addButtonWithTitle(std::string title) {
    buttonTitles_.push_back(std::move(title));
    return numberOfButtons() - 1;
}

std::string ActionSheet::buttonTitleAtIndex(std::int64_t index) const {
    if (index < 0 || index >= numberOfButtons()) return {};
    return buttonTitles_[static_cast<std::size_t>(index)];
}

void ActionSheet::showInView(const std::shared_ptr<View>& view) {
    shownIn_ = view;
    shownFrom_.reset();
    show();
}

void ActionSheet::showFromBarButtonItem(const std::shared_ptr<BarButtonItem>& item, bool) {
    shownFrom_ = item;
    shownIn_.reset();
    show();
}

void ActionSheet::show() {
    assertMainThread();
    if (isVisible()) return;
    shownSheets().push_back(std::static_pointer_cast<ActionSheet>(shared_from_this()));
}

bool ActionSheet::isVisible() const {
    const auto& sheets = shownSheets();
    return std::any_of(sheets.begin(), sheets.end(), [this](const auto& sheet) { return sheet.get() == this; });
}

void ActionSheet::dismissWithClickedButtonIndex(std::int64_t buttonIndex, bool) {
    assertMainThread();
    if (buttonIndex < 0 || buttonIndex >= numberOfButtons()) return;
    // Keeps the sheet alive while its delegate runs, even once it is off the list.
    auto self = std::static_pointer_cast<ActionSheet>(shared_from_this());
    if (auto delegate = delegate_.lock()) delegate->actionSheetClickedButtonAtIndex(*this, buttonIndex);
    auto& sheets = shownSheets();
    sheets.erase(std::remove(sheets.begin(), sheets.end(), self), sheets.end());
}

std::vector<std::shared_ptr<ActionSheet>> ActionSheet::visibleSheets() { return shownSheets(); }

}  // namespace ql::ui
