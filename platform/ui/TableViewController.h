#pragma once
// ui::TableViewController: a view controller whose view is a table it serves as data source and
// delegate. It clears the table's selection each time it is about to appear, and keeps the row being
// edited above the keyboard by growing the table's bottom inset while the keyboard is up.

#include <memory>

#include "platform/ui/TableView.h"
#include "platform/ui/ViewController.h"

namespace ql::ui {

class TableViewController : public ViewController, public TableViewDataSource, public TableViewDelegate {
    QL_OBJECT_NAMED(TableViewController, ViewController, "UITableViewController")
public:
    explicit TableViewController(TableViewStyle style = TableViewStyle::Plain) : style_(style) {}
    ~TableViewController() override;

    // Loads the view when needed.
    std::shared_ptr<TableView> tableView();
    void setTableView(std::shared_ptr<TableView> tableView);
    bool clearsSelectionOnViewWillAppear() const { return clearsSelection_; }
    void setClearsSelectionOnViewWillAppear(bool clears) { clearsSelection_ = clears; }

    // Subclasses answer for their rows; the controller alone shows none.
    std::int64_t tableViewNumberOfRowsInSection(TableView&, std::int64_t) override { return 0; }
    std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(TableView&, const ns::IndexPath&) override {
        return nullptr;
    }

    void loadView() override;
    void viewWillAppear(bool animated) override;

private:
    void keyboardWillShow(const cg::Rect& keyboardFrame);
    void keyboardWillHide();

    TableViewStyle style_;
    bool clearsSelection_ = true;
    // The bottom inset the keyboard added, taken back when it goes.
    double keyboardInset_ = 0;
};

}  // namespace ql::ui
