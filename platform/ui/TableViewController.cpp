#include "platform/ui/TableViewController.h"

#include <algorithm>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/GeometryValue.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace ql::ui {

TableViewController::~TableViewController() { ns::NotificationCenter::defaultCenter().removeObserver(this); }

std::shared_ptr<TableView> TableViewController::tableView() { return std::dynamic_pointer_cast<TableView>(view()); }

void TableViewController::setTableView(std::shared_ptr<TableView> tableView) { setView(std::move(tableView)); }

void TableViewController::loadView() {
    auto table = std::make_shared<TableView>(Screen::mainScreen().bounds(), style_);
    table->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    auto self = std::static_pointer_cast<TableViewController>(shared_from_this());
    table->setDataSource(std::static_pointer_cast<TableViewDataSource>(self));
    table->setDelegate(std::static_pointer_cast<TableViewDelegate>(self));
    setView(table);
    auto& center = ns::NotificationCenter::defaultCenter();
    center.addObserver(weak_from_this(), [this](const ns::Notification& note) {
        const auto end = GeometryValue::CGRectValue(note.userInfo()[KeyboardFrameEndUserInfoKey]);
        if (end) keyboardWillShow(*end);
    }, KeyboardWillShowNotification);
    center.addObserver(weak_from_this(), [this](const ns::Notification&) { keyboardWillHide(); },
                       KeyboardWillHideNotification);
}

void TableViewController::viewWillAppear(bool animated) {
    if (!clearsSelection_) return;
    auto table = tableView();
    if (!table) return;
    for (const auto& path : table->indexPathsForSelectedRows()) table->deselectRowAtIndexPath(path, animated);
}

void TableViewController::keyboardWillShow(const cg::Rect& keyboardFrame) {
    auto table = std::dynamic_pointer_cast<TableView>(viewIfLoaded());
    Window* window = table ? table->window() : nullptr;
    if (!window) return;
    const cg::Rect inWindow = window->convertRectFromWindow(keyboardFrame, nullptr);
    const cg::Rect keyboard = table->convertRectFromView(inWindow, nullptr);
    const double covered = std::max(0.0, cg::maxY(table->bounds()) - cg::minY(keyboard));
    cg::EdgeInsets insets = table->contentInset();
    insets.bottom += covered - keyboardInset_;
    keyboardInset_ = covered;
    table->setContentInset(insets);
    // The row being edited comes into view above the keyboard.
    auto* editing = dynamic_cast<View*>(window->firstResponder());
    if (!editing || !editing->isDescendantOfView(table.get())) return;
    View* row = editing;
    while (row->superview() != table.get() && !dynamic_cast<TableViewCell*>(row)) row = row->superview();
    table->scrollRectToVisible(row->frame(), true);
}

void TableViewController::keyboardWillHide() {
    auto table = std::dynamic_pointer_cast<TableView>(viewIfLoaded());
    if (!table || keyboardInset_ == 0) return;
    cg::EdgeInsets insets = table->contentInset();
    insets.bottom -= keyboardInset_;
    keyboardInset_ = 0;
    table->setContentInset(insets);
}

}  // namespace ql::ui
