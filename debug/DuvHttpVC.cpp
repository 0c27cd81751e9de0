#include "debug/DuvHttpVC.h"

#include <cstdlib>

#include "debug/DuvDebugTool.h"
#include "debug/DuvHttpDatasource.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Thread.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Color.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Pasteboard.h"

namespace ql {

namespace {

// The stamp's leading number, as seconds since 1970.
std::string dateTextOfStamp(const std::optional<std::string>& stamp) {
    if (!stamp) return {};
    ns::DateFormatter formatter;
    formatter.setDateFormat("yyyy-MM-dd HH:mm:ss");
    return formatter.stringFromDate(ns::Date::fromTimeIntervalSince1970(std::strtod(stamp->c_str(), nullptr)));
}

}  // namespace

// ---- The list ----

DuvHttpVC::~DuvHttpVC() { ns::NotificationCenter::defaultCenter().removeObserver(this); }

void DuvHttpVC::viewDidLoad() {
    DuvBaseVC::viewDidLoad();
    setTitle("Http");
    navigationItem()->setLeftBarButtonItem(barButton("关闭", &DuvHttpVC::dismissViewController));
    navigationItem()->setRightBarButtonItem(barButton("清空", &DuvHttpVC::clearAction));
    tableView_ = makeTable();
    tableView_->registerClass([](const std::string& identifier) {
        return std::make_shared<DuvHttpCell>(ui::TableViewCellStyle::Default, identifier);
    }, "httpcell");
    tableView_->setDataSource(std::static_pointer_cast<DuvHttpVC>(shared_from_this()));
    tableView_->setDelegate(std::static_pointer_cast<DuvHttpVC>(shared_from_this()));
    reloadHttp();
    ns::NotificationCenter::defaultCenter().addObserver(
        weak_from_this(), [this](const ns::Notification&) { reloadHttp(); }, kNotifyKeyReloadHttp);
}

void DuvHttpVC::reloadHttp() {
    if (ns::Thread::isMainThread()) {
        reloadOnMainThread();
        return;
    }
    std::weak_ptr<DuvHttpVC> weak = std::static_pointer_cast<DuvHttpVC>(shared_from_this());
    ns::DispatchQueue::main()->async([weak] {
        if (auto screen = weak.lock()) screen->reloadOnMainThread();
    });
}

void DuvHttpVC::reloadOnMainThread() {
    listData_ = DuvHttpDatasource::shareInstance().httpArray();
    if (tableView_) tableView_->reloadData();
}

void DuvHttpVC::clearAction() {
    DuvHttpDatasource::shareInstance().clear();
    listData_.clear();
    tableView_->reloadData();
}

std::int64_t DuvHttpVC::tableViewNumberOfRowsInSection(ui::TableView&, std::int64_t) {
    return static_cast<std::int64_t>(listData_.size());
}

std::shared_ptr<ui::TableViewCell> DuvHttpVC::tableViewCellForRowAtIndexPath(ui::TableView& table,
                                                                           const ns::IndexPath& path) {
    auto cell = std::static_pointer_cast<DuvHttpCell>(table.dequeueReusableCellWithIdentifier("httpcell"));
    const auto& model = listData_.at(static_cast<std::size_t>(path.row()));
    cell->setTitle(model->url ? model->url->host().value_or("") : "", model->url ? model->url->path() : "");
    return cell;
}

void DuvHttpVC::tableViewDidSelectRowAtIndexPath(ui::TableView& table, const ns::IndexPath& path) {
    table.deselectRowAtIndexPath(path, true);
    auto detail = std::make_shared<DuvHttpDetailVC>(listData_.at(static_cast<std::size_t>(path.row())));
    detail->setHidesBottomBarWhenPushed(true);
    if (auto* navigation = navigationController()) navigation->pushViewController(detail, true);
}

// ---- One exchange ----

namespace {

constexpr const char* kDetailTitles[] = {"Request Url", "Method",         "Status Code",  "Mime Type",
                                         "Start Time",  "Total Duration", "Request Body", "Response Body"};
constexpr std::int64_t kRequestBodyRow = 6;
constexpr std::int64_t kResponseBodyRow = 7;

bool hasText(const std::optional<std::string>& text) { return text && !text->empty(); }

}  // namespace

void DuvHttpDetailVC::viewDidLoad() {
    DuvBaseVC::viewDidLoad();
    setTitle("详情");
    view()->setBackgroundColor(ui::Color::whiteColor());
    navigationItem()->setLeftBarButtonItem(barButton("Back", &DuvHttpDetailVC::backAction));
    tableView_ = makeTable();
    tableView_->registerClass([](const std::string& identifier) {
        auto cell = std::make_shared<DuvHttpCell>(ui::TableViewCellStyle::Default, identifier);
        cell->setAccessoryType(ui::TableViewCellAccessoryType::None);
        return cell;
    }, "httpdetailcell");
    tableView_->setDataSource(std::static_pointer_cast<DuvHttpDetailVC>(shared_from_this()));
    tableView_->setDelegate(std::static_pointer_cast<DuvHttpDetailVC>(shared_from_this()));
}

std::string DuvHttpDetailVC::valueForRow(std::int64_t row) const {
    switch (row) {
    case 0: return detail_->url ? detail_->url->absoluteString() : "";
    case 1: return detail_->method.value_or("");
    case 2: return detail_->statusCode.value_or("");
    case 3: return detail_->mineType.value_or("");
    case 4: return dateTextOfStamp(detail_->startTime);
    case 5: return detail_->totalDuration.value_or("");
    case kRequestBodyRow: return hasText(detail_->requestBody) ? "Tap to view" : "Empty";
    case kResponseBodyRow: return hasText(detail_->responseBody) ? "Tap to view" : "Empty";
    default: return {};
    }
}

std::int64_t DuvHttpDetailVC::tableViewNumberOfRowsInSection(ui::TableView&, std::int64_t) { return 8; }

std::shared_ptr<ui::TableViewCell> DuvHttpDetailVC::tableViewCellForRowAtIndexPath(ui::TableView& table,
                                                                                 const ns::IndexPath& path) {
    auto cell = std::static_pointer_cast<DuvHttpCell>(table.dequeueReusableCellWithIdentifier("httpdetailcell"));
    const std::int64_t row = path.row();
    cell->setTitle(kDetailTitles[row], valueForRow(row));
    const bool opens = row == 0 || (row == kRequestBodyRow && hasText(detail_->requestBody)) ||
                       (row == kResponseBodyRow && hasText(detail_->responseBody));
    cell->setAccessoryType(opens ? ui::TableViewCellAccessoryType::DisclosureIndicator
                                 : ui::TableViewCellAccessoryType::None);
    return cell;
}

void DuvHttpDetailVC::tableViewDidSelectRowAtIndexPath(ui::TableView& table, const ns::IndexPath& path) {
    table.deselectRowAtIndexPath(path, true);
    switch (path.row()) {
    case 0: pushContent("接口地址", valueForRow(0)); break;
    case kRequestBodyRow:
        if (hasText(detail_->requestBody)) pushContent("请求数据", *detail_->requestBody);
        break;
    case kResponseBodyRow:
        if (hasText(detail_->responseBody)) pushContent("返回数据", *detail_->responseBody);
        break;
    default: break;
    }
}

void DuvHttpDetailVC::pushContent(const std::string& title, const std::string& content) {
    auto screen = std::make_shared<DuvContentVC>(content);
    screen->setTitle(title);
    screen->setHidesBottomBarWhenPushed(true);
    if (auto* navigation = navigationController()) navigation->pushViewController(screen, true);
}

// ---- A long value ----

void DuvContentVC::viewDidLoad() {
    DuvBaseVC::viewDidLoad();
    navigationItem()->setLeftBarButtonItem(barButton("Back", &DuvContentVC::backAction));
    navigationItem()->setRightBarButtonItem(barButton("Copy", &DuvContentVC::copyAction));
    txt_ = std::make_shared<ui::TextView>(view()->bounds());
    txt_->setEditable(false);
    txt_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    txt_->setText(content_);
    view()->addSubview(txt_);
    setAdjustedScrollView(txt_);
}

void DuvContentVC::copyAction() {
    ui::Pasteboard::generalPasteboard()->setString(content_);
    txt_->setText("复制成功！\n\n" + content_);
    std::weak_ptr<DuvContentVC> weak = std::static_pointer_cast<DuvContentVC>(shared_from_this());
    ns::DispatchQueue::main()->after(2.0, [weak] {
        if (auto screen = weak.lock(); screen && screen->txt_) screen->txt_->setText(screen->content_);
    });
}

}  // namespace ql
