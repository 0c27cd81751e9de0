#pragma once
// RefreshBackStateFooter: a back footer with a title per state across its whole width.

#include <memory>
#include <optional>
#include <string>

#include "ui/refresh/RefreshBackFooter.h"
#include "ui/refresh/RefreshStateTitles.h"

namespace ql {

class RefreshBackStateFooter : public RefreshBackFooter {
    QL_OBJECT(RefreshBackStateFooter, RefreshBackFooter)
public:
    explicit RefreshBackStateFooter(Passkey key) : RefreshBackFooter(key) {}
    static std::shared_ptr<RefreshBackStateFooter> footerWithRefreshingBlock(RefreshingBlock block) {
        return make<RefreshBackStateFooter>(std::move(block));
    }
    static std::shared_ptr<RefreshBackStateFooter> footerWithRefreshingTarget(std::weak_ptr<ns::Object> target,
                                                                              RefreshingAction action) {
        return make<RefreshBackStateFooter>(std::move(target), std::move(action));
    }

    std::shared_ptr<ui::Label> stateLabel() { return titles_.label(*this); }
    void setTitle(std::optional<std::string> title, RefreshState state);
    std::optional<std::string> titleForState(RefreshState state) const { return titles_.titleForState(state); }

    void setState(RefreshState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;

private:
    RefreshStateTitles titles_;
};

}  // namespace ql
