#pragma once
// The inspector's "Http" screens: the list of observed exchanges (newest first, refreshed on every
// "kNotifyKeyReloadHttp"), one exchange's details, and a text screen that shows a long value and copies it.

#include <memory>
#include <string>
#include <vector>

#include "debug/DuvBaseVC.h"
#include "debug/DuvHttpModel.h"
#include "platform/ui/TextView.h"

namespace ql {

class DuvHttpVC final : public DuvBaseVC, public ui::TableViewDataSource, public ui::TableViewDelegate {
    QL_OBJECT(DuvHttpVC, DuvBaseVC)
public:
    ~DuvHttpVC() override;
    void viewDidLoad() override;

    // Takes a fresh snapshot of the store and shows it; from any thread (the work moves to the main thread).
    void reloadHttp();
    // Empties the store and the list ("清空").
    void clearAction();

    const std::shared_ptr<ui::TableView>& tableView() const { return tableView_; }
    const std::vector<std::shared_ptr<DuvHttpModel>>& listData() const { return listData_; }

    std::int64_t tableViewNumberOfRowsInSection(ui::TableView&, std::int64_t section) override;
    std::shared_ptr<ui::TableViewCell> tableViewCellForRowAtIndexPath(ui::TableView&, const ns::IndexPath&) override;
    void tableViewDidSelectRowAtIndexPath(ui::TableView&, const ns::IndexPath&) override;

private:
    void reloadOnMainThread();

    std::shared_ptr<ui::TableView> tableView_;
    std::vector<std::shared_ptr<DuvHttpModel>> listData_;
};

class DuvHttpDetailVC final : public DuvBaseVC, public ui::TableViewDataSource, public ui::TableViewDelegate {
    QL_OBJECT(DuvHttpDetailVC, DuvBaseVC)
public:
    explicit DuvHttpDetailVC(std::shared_ptr<DuvHttpModel> detail) : detail_(std::move(detail)) {}
    void viewDidLoad() override;

    const std::shared_ptr<DuvHttpModel>& detail() const { return detail_; }
    const std::shared_ptr<ui::TableView>& tableView() const { return tableView_; }
    // The value shown in a row (0 "Request Url" to 7 "Response Body").
    std::string valueForRow(std::int64_t row) const;

    std::int64_t tableViewNumberOfRowsInSection(ui::TableView&, std::int64_t section) override;
    std::shared_ptr<ui::TableViewCell> tableViewCellForRowAtIndexPath(ui::TableView&, const ns::IndexPath&) override;
    void tableViewDidSelectRowAtIndexPath(ui::TableView&, const ns::IndexPath&) override;

private:
    void pushContent(const std::string& title, const std::string& content);

    std::shared_ptr<DuvHttpModel> detail_;
    std::shared_ptr<ui::TableView> tableView_;
};

class DuvContentVC final : public DuvBaseVC {
    QL_OBJECT(DuvContentVC, DuvBaseVC)
public:
    explicit DuvContentVC(std::string content) : content_(std::move(content)) {}
    void viewDidLoad() override;

    const std::string& content() const { return content_; }
    const std::shared_ptr<ui::TextView>& txt() const { return txt_; }
    // Puts the content on the general pasteboard; the view says "复制成功！" above it for 2 s.
    void copyAction();

private:
    std::string content_;
    std::shared_ptr<ui::TextView> txt_;
};

}  // namespace ql
