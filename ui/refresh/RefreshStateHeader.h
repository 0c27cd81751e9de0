#pragma once
// RefreshStateHeader: a header with a title per state and, below it, the time of the last finished
// refresh ("最后更新：今天 HH:mm").

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Label.h"
#include "ui/refresh/RefreshHeader.h"
#include "ui/refresh/RefreshStateTitles.h"

namespace ql {

class RefreshStateHeader : public RefreshHeader {
    QL_OBJECT(RefreshStateHeader, RefreshHeader)
public:
    // The last-updated text for a date (none when no refresh has finished yet).
    using LastUpdatedTimeText = std::function<std::string(std::optional<ns::Date>)>;

    explicit RefreshStateHeader(Passkey key) : RefreshHeader(key) {}
    static std::shared_ptr<RefreshStateHeader> headerWithRefreshingBlock(RefreshingBlock block) {
        return make<RefreshStateHeader>(std::move(block));
    }
    static std::shared_ptr<RefreshStateHeader> headerWithRefreshingTarget(std::weak_ptr<ns::Object> target,
                                                                          RefreshingAction action) {
        return make<RefreshStateHeader>(std::move(target), std::move(action));
    }

    std::shared_ptr<ui::Label> stateLabel() { return titles_.label(*this); }
    std::shared_ptr<ui::Label> lastUpdatedTimeLabel();
    void setTitle(std::optional<std::string> title, RefreshState state);
    std::optional<std::string> titleForState(RefreshState state) const { return titles_.titleForState(state); }
    const LastUpdatedTimeText& lastUpdatedTimeText() const { return lastUpdatedTimeText_; }
    void setLastUpdatedTimeText(LastUpdatedTimeText text) { lastUpdatedTimeText_ = std::move(text); }

    // Also rewrites the last-updated label from the date stored under the key.
    void setLastUpdatedTimeKey(std::string key) override;
    void setState(RefreshState state) override;

    // "最后更新：" and the date: "今天 HH:mm" today, "MM-dd HH:mm" earlier this year, "yyyy-MM-dd HH:mm"
    // before; "最后更新：无记录" without one.
    static std::string lastUpdatedText(std::optional<ns::Date> date);

protected:
    void prepare() override;
    void placeSubviews() override;

private:
    RefreshStateTitles titles_;
    std::weak_ptr<ui::Label> lastUpdatedTimeLabel_;
    LastUpdatedTimeText lastUpdatedTimeText_;
};

}  // namespace ql
