#pragma once
// DuvBaseVC: the base of every inspector screen, with the inspector's bar buttons and table style; and
// DuvHttpCell, the two-line row (a title in the accent colour over a grey value) its lists share.

#include <memory>
#include <string>

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/ViewController.h"

namespace ql {

class DuvBaseVC : public ui::ViewController {
    QL_OBJECT(DuvBaseVC, ui::ViewController)
public:
    DuvBaseVC() = default;
    // Logs "<class> dealloc".
    ~DuvBaseVC() override;

    // The screen's scroller keeps its content clear of the bars.
    void viewDidLayoutSubviews() override;

protected:
    // A 44-point plain button titled in the accent colour at 13 points, as a bar item.
    std::shared_ptr<ui::BarButtonItem> barButton(const std::string& title, ui::Action action);
    // One grouped section filling the view, clear, 55-point rows, hairline headers and footers.
    std::shared_ptr<ui::TableView> makeTable();
    // Closes the inspector (every tab root's "关闭").
    void dismissViewController();
    // Pops this screen ("Back").
    void backAction();
    // The scroller whose insets follow the bars.
    void setAdjustedScrollView(std::shared_ptr<ui::ScrollView> scrollView) { adjustedScrollView_ = std::move(scrollView); }

private:
    std::shared_ptr<ui::ScrollView> adjustedScrollView_;
};

class DuvHttpCell final : public ui::TableViewCell {
    QL_OBJECT(DuvHttpCell, ui::TableViewCell)
public:
    DuvHttpCell(ui::TableViewCellStyle style, std::string reuseIdentifier);

    void setTitle(const std::string& title, const std::string& value);
    // The texts end where the content view does, before the disclosure indicator.
    void layoutSubviews() override;
    const std::shared_ptr<ui::Label>& lblTitle() const { return lblTitle_; }
    const std::shared_ptr<ui::Label>& lblValue() const { return lblValue_; }

private:
    std::shared_ptr<ui::Label> lblTitle_;
    std::shared_ptr<ui::Label> lblValue_;
};

}  // namespace ql
