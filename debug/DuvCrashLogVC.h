#pragma once
// The inspector's "Crash" and "Log" screens: the stored crash records, newest first, each opening its name,
// reason and call stack as text; and the newest lines this process logged, with their times.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "debug/DuvBaseVC.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Value.h"
#include "platform/ui/TextView.h"

namespace ql {

class DuvCrashVC final : public DuvBaseVC, public ui::TableViewDataSource, public ui::TableViewDelegate {
    QL_OBJECT(DuvCrashVC, DuvBaseVC)
public:
    void viewDidLoad() override;

    const std::vector<ns::Dictionary>& listData() const { return listData_; }
    const std::shared_ptr<ui::TableView>& tableView() const { return tableView_; }
    // What a record's row opens: name, reason, then one stack line per paragraph.
    static std::string textOfRecord(const ns::Dictionary& record);

    std::int64_t tableViewNumberOfRowsInSection(ui::TableView&, std::int64_t section) override;
    std::shared_ptr<ui::TableViewCell> tableViewCellForRowAtIndexPath(ui::TableView&, const ns::IndexPath&) override;
    void tableViewDidSelectRowAtIndexPath(ui::TableView&, const ns::IndexPath&) override;

private:
    std::shared_ptr<ui::TableView> tableView_;
    std::vector<ns::Dictionary> listData_;
};

// One logged line, read from a log message's keys.
struct DuvLogModel {
    std::optional<ns::Date> date;
    std::optional<std::string> sender;
    std::optional<std::string> messageText;
    std::int64_t messageID = 0;

    static DuvLogModel messageFromASLMessage(const ns::Dictionary& message);
    // "yyyy-MM-dd HH:mm:ss.SSS".
    static std::string stringFormatFromDate(ns::Date date);
};

class DuvLogVC final : public DuvBaseVC {
    QL_OBJECT(DuvLogVC, DuvBaseVC)
public:
    void viewDidLoad() override;

    std::int32_t maxCount() const { return maxCount_; }
    const std::shared_ptr<ui::TextView>& txt() const { return txt_; }
    // The newest lines of this process, newest first, at most maxCount.
    std::vector<DuvLogModel> logs() const { return newestLogs(maxCount_); }
    static std::vector<DuvLogModel> newestLogs(std::int32_t maxCount);
    // Reads and renders the log off the main thread ("刷新").
    void loadLogs();

private:
    std::int32_t maxCount_ = 50;
    std::shared_ptr<ui::TextView> txt_;
};

}  // namespace ql
