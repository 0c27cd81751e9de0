#include "debug/DuvCrashLogVC.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "debug/DuvCrashHelper.h"
#include "debug/DuvDebugTool.h"
#include "debug/DuvHttpVC.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Log.h"
#include "platform/text/AttributedString.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/TextTypes.h"

namespace ql {

// ---- Crashes ----

void DuvCrashVC::viewDidLoad() {
    DuvBaseVC::viewDidLoad();
    setTitle("Crash");
    navigationItem()->setLeftBarButtonItem(barButton("关闭", &DuvCrashVC::dismissViewController));
    listData_ = DuvCrashHelper::sharedInstance().crashLogs();
    tableView_ = makeTable();
    tableView_->registerClass([](const std::string& identifier) {
        auto cell = std::make_shared<DuvHttpCell>(ui::TableViewCellStyle::Default, identifier);
        cell->setAccessoryType(ui::TableViewCellAccessoryType::None);
        return cell;
    }, "crashcell");
    tableView_->setDataSource(std::static_pointer_cast<DuvCrashVC>(shared_from_this()));
    tableView_->setDelegate(std::static_pointer_cast<DuvCrashVC>(shared_from_this()));
}

std::string DuvCrashVC::textOfRecord(const ns::Dictionary& record) {
    const ns::Value& info = record["info"];
    std::string text = info["name"].stringValue() + "\n\n" + info["reason"].stringValue() + "\n\n";
    if (const ns::Array* stack = info["callStack"].asArray()) {
        for (const ns::Value& line : *stack) text += line.stringValue() + "\n\n";
    }
    return text;
}

std::int64_t DuvCrashVC::tableViewNumberOfRowsInSection(ui::TableView&, std::int64_t) {
    return static_cast<std::int64_t>(listData_.size());
}

std::shared_ptr<ui::TableViewCell> DuvCrashVC::tableViewCellForRowAtIndexPath(ui::TableView& table,
                                                                            const ns::IndexPath& path) {
    auto cell = std::static_pointer_cast<DuvHttpCell>(table.dequeueReusableCellWithIdentifier("crashcell"));
    const ns::Dictionary& record = listData_.at(static_cast<std::size_t>(path.row()));
    cell->setTitle(record["date"].stringValue(), record["type"].stringValue());
    return cell;
}

void DuvCrashVC::tableViewDidSelectRowAtIndexPath(ui::TableView& table, const ns::IndexPath& path) {
    table.deselectRowAtIndexPath(path, true);
    auto screen = std::make_shared<DuvContentVC>(textOfRecord(listData_.at(static_cast<std::size_t>(path.row()))));
    screen->setTitle("Crash日志");
    screen->setHidesBottomBarWhenPushed(true);
    if (auto* navigation = navigationController()) navigation->pushViewController(screen, true);
}

// ---- Log lines ----

DuvLogModel DuvLogModel::messageFromASLMessage(const ns::Dictionary& message) {
    DuvLogModel model;
    if (const ns::Value* time = message.find("Time")) {
        double seconds = static_cast<double>(std::strtoll(time->stringValue().c_str(), nullptr, 10));
        if (const ns::Value* nanoseconds = message.find("TimeNanoSec"))
            seconds += static_cast<double>(std::strtoll(nanoseconds->stringValue().c_str(), nullptr, 10)) / 1e9;
        model.date = ns::Date::fromTimeIntervalSince1970(seconds);
    }
    if (const ns::Value* sender = message.find("Sender")) model.sender = sender->stringValue();
    if (const ns::Value* text = message.find("Message")) model.messageText = text->stringValue();
    if (const ns::Value* id = message.find("ASLMessageID")) model.messageID = std::strtoll(id->stringValue().c_str(), nullptr, 10);
    return model;
}

std::string DuvLogModel::stringFormatFromDate(ns::Date date) {
    static std::mutex mutex;
    static ns::DateFormatter* const formatter = [] {
        auto* made = new ns::DateFormatter();
        made->setDateFormat("yyyy-MM-dd HH:mm:ss.SSS");
        return made;
    }();
    std::lock_guard lock(mutex);
    return formatter->stringFromDate(date);
}

void DuvLogVC::viewDidLoad() {
    DuvBaseVC::viewDidLoad();
    setTitle("Log");
    const std::int32_t configured = DuvDebugTool::shareInstance()->maxLogsCount();
    maxCount_ = configured == 0 ? 50 : configured;
    txt_ = std::make_shared<ui::TextView>(view()->bounds());
    txt_->setEditable(false);
    txt_->setBackgroundColor(ui::Color::blackColor());
    txt_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    view()->addSubview(txt_);
    setAdjustedScrollView(txt_);
    navigationItem()->setLeftBarButtonItem(barButton("关闭", &DuvLogVC::dismissViewController));
    navigationItem()->setRightBarButtonItem(barButton("刷新", &DuvLogVC::loadLogs));
    loadLogs();
}

std::vector<DuvLogModel> DuvLogVC::newestLogs(std::int32_t maxCount) {
    const std::vector<ns::Dictionary> messages = ns::Log::messagesOfProcess(::getpid());
    std::vector<DuvLogModel> models;
    for (auto message = messages.rbegin(); message != messages.rend(); ++message) {
        if (models.size() >= static_cast<std::size_t>(std::max(maxCount, 0))) break;
        models.push_back(DuvLogModel::messageFromASLMessage(*message));
    }
    return models;
}

void DuvLogVC::loadLogs() {
    // The background work holds no view: a screen closed meanwhile is never torn down off the main thread.
    std::weak_ptr<ui::TextView> weakText = txt_;
    const auto accent = DuvDebugTool::shareInstance()->mainColor();
    ns::DispatchQueue::global()->async([maxCount = maxCount_, weakText, accent] {
        const std::vector<DuvLogModel> models = newestLogs(maxCount);
        if (models.empty()) return;
        ct::AttributedString text;
        for (const DuvLogModel& model : models) {
            const std::string date = model.date ? DuvLogModel::stringFormatFromDate(*model.date) : std::string();
            text.appendAttributedString(ct::AttributedString(
                date + ":", ns::Dictionary{{std::string(ui::ForegroundColorAttributeName), ns::Value(accent)}}));
            text.appendAttributedString(ct::AttributedString(
                model.messageText.value_or("") + "\n\n",
                ns::Dictionary{{std::string(ui::ForegroundColorAttributeName), ns::Value(ui::Color::whiteColor())}}));
        }
        ns::DispatchQueue::main()->async([weakText, text = std::move(text)] {
            if (auto view = weakText.lock()) view->setAttributedText(text);
        });
    });
}

}  // namespace ql
