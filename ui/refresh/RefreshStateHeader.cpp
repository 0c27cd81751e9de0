#include "ui/refresh/RefreshStateHeader.h"

#include "platform/foundation/Calendar.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/UserDefaults.h"
#include "ui/refresh/RefreshGeometry.h"
#include "ui/refresh/RefreshLabel.h"

namespace ql {

std::shared_ptr<ui::Label> RefreshStateHeader::lastUpdatedTimeLabel() {
    auto label = lastUpdatedTimeLabel_.lock();
    if (!label) {
        label = refreshLabel();
        lastUpdatedTimeLabel_ = label;
        addSubview(label);
    }
    return label;
}

void RefreshStateHeader::setTitle(std::optional<std::string> title, RefreshState state) {
    titles_.setTitle(*this, std::move(title), state, this->state());
}

std::string RefreshStateHeader::lastUpdatedText(std::optional<ns::Date> date) {
    if (!date) return "最后更新：无记录";
    const ns::Calendar calendar = ns::Calendar::currentCalendar();
    const std::uint64_t units = ns::CalendarUnitYear | ns::CalendarUnitMonth | ns::CalendarUnitDay;
    const ns::DateComponents then = calendar.components(units, *date);
    const ns::DateComponents today = calendar.components(units, ns::Date::now());
    ns::DateFormatter formatter;
    if (then.year == today.year && then.month == today.month && then.day == today.day) {
        formatter.setDateFormat("今天 HH:mm");
    } else if (then.year == today.year) {
        formatter.setDateFormat("MM-dd HH:mm");
    } else {
        formatter.setDateFormat("yyyy-MM-dd HH:mm");
    }
    return "最后更新：" + formatter.stringFromDate(*date);
}

void RefreshStateHeader::setLastUpdatedTimeKey(std::string key) {
    RefreshHeader::setLastUpdatedTimeKey(std::move(key));
    const std::optional<ns::Date> date = lastUpdatedTime();
    if (lastUpdatedTimeText_) {
        lastUpdatedTimeLabel()->setText(lastUpdatedTimeText_(date));
    } else {
        lastUpdatedTimeLabel()->setText(lastUpdatedText(date));
    }
}

void RefreshStateHeader::prepare() {
    RefreshHeader::prepare();
    setTitle("下拉可以刷新", RefreshStateIdle);
    setTitle("松开立即刷新", RefreshStatePulling);
    setTitle("正在刷新数据中...", RefreshStateRefreshing);
}

void RefreshStateHeader::placeSubviews() {
    RefreshHeader::placeSubviews();
    auto state = stateLabel();
    if (state->isHidden()) return;
    auto updated = lastUpdatedTimeLabel();
    if (updated->isHidden()) {
        state->setFrame(bounds());
        return;
    }
    const double width = mm_w(*this);
    const double height = mm_h(*this);
    state->setFrame({0, 0, width, height * 0.5});
    updated->setFrame({0, mm_h(*state), width, height - mm_h(*state)});
}

void RefreshStateHeader::setState(RefreshState state) {
    if (state == this->state()) return;
    RefreshHeader::setState(state);
    stateLabel()->setText(titleForState(state).value_or(""));
    setLastUpdatedTimeKey(lastUpdatedTimeKey());
}

}  // namespace ql
