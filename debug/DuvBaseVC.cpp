#include "debug/DuvBaseVC.h"

#include <algorithm>

#include "debug/DuvDebugTool.h"
#include "debug/DuvDebugVC.h"
#include "platform/foundation/Log.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"

namespace ql {

DuvBaseVC::~DuvBaseVC() { ns::Log::write(std::string(ownClassName()) + " dealloc"); }

void DuvBaseVC::viewDidLayoutSubviews() {
    ui::ViewController::viewDidLayoutSubviews();
    if (adjustedScrollView_) adjustScrollViewInsets(*adjustedScrollView_);
}

std::shared_ptr<ui::BarButtonItem> DuvBaseVC::barButton(const std::string& title, ui::Action action) {
    auto button = ui::Button::buttonWithType(ui::ButtonType::Custom);
    button->setFrame({0, 0, 44, 44});
    button->titleLabel()->setFont(ui::Font::systemFontOfSize(13));
    button->setTitle(title, ui::ControlStateNormal);
    button->setTitleColor(DuvDebugTool::shareInstance()->mainColor(), ui::ControlStateNormal);
    button->addTarget(weak_from_this(), std::move(action), ui::ControlEventTouchUpInside);
    return std::make_shared<ui::BarButtonItem>(button);
}

std::shared_ptr<ui::TableView> DuvBaseVC::makeTable() {
    auto table = std::make_shared<ui::TableView>(view()->bounds(), ui::TableViewStyle::Grouped);
    table->setBackgroundColor(ui::Color::clearColor());
    table->setSeparatorStyle(ui::TableViewCellSeparatorStyle::SingleLine);
    table->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    table->setRowHeight(55);
    table->setSectionHeaderHeight(0.1);
    table->setSectionFooterHeight(0.1);
    view()->addSubview(table);
    setAdjustedScrollView(table);
    return table;
}

void DuvBaseVC::dismissViewController() {
    // The inspector is this screen's tab container: closing it through the tool keeps the status button in step.
    for (ui::ViewController* controller = parentViewController(); controller;
         controller = controller->parentViewController()) {
        if (auto* inspector = dynamic_cast<DuvDebugVC*>(controller)) {
            DuvDebugTool::shareInstance()->inspectorDidClose(*inspector);
            break;
        }
    }
    dismissViewControllerAnimated(true);
}

void DuvBaseVC::backAction() {
    if (auto* navigation = navigationController()) navigation->popViewControllerAnimated(true);
}

DuvHttpCell::DuvHttpCell(ui::TableViewCellStyle style, std::string reuseIdentifier)
    : ui::TableViewCell(style, std::move(reuseIdentifier)) {
    setAccessoryType(ui::TableViewCellAccessoryType::DisclosureIndicator);
    const double width = ui::Screen::mainScreen().bounds().size.width - 40;
    lblTitle_ = std::make_shared<ui::Label>(cg::Rect{20, 10, width, 20});
    lblTitle_->setTextColor(DuvDebugTool::shareInstance()->mainColor());
    lblTitle_->setFont(ui::Font::fontWithName("Helvetica-Bold", 19));
    lblValue_ = std::make_shared<ui::Label>(cg::Rect{20, 35, width, 16});
    lblValue_->setTextColor(ui::Color::lightGrayColor());
    lblValue_->setFont(ui::Font::systemFontOfSize(12));
    // In the content view, which takes the row's touches and moves aside for the accessory.
    contentView()->addSubview(lblTitle_);
    contentView()->addSubview(lblValue_);
}

void DuvHttpCell::layoutSubviews() {
    ui::TableViewCell::layoutSubviews();
    const double width = std::max(0.0, contentView()->bounds().size.width - 20);
    for (const auto& label : {lblTitle_, lblValue_}) {
        cg::Rect frame = label->frame();
        frame.size.width = width;
        label->setFrame(frame);
    }
}

void DuvHttpCell::setTitle(const std::string& title, const std::string& value) {
    lblTitle_->setText(title);
    lblValue_->setText(value);
}

}  // namespace ql
