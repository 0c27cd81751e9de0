#pragma once
// RefreshAutoStateFooter: an auto footer with a title per state that also loads more when its title is
// tapped.

#include <memory>
#include <optional>
#include <string>

#include "ui/refresh/RefreshAutoFooter.h"
#include "ui/refresh/RefreshStateTitles.h"

namespace ql {

class RefreshAutoStateFooter : public RefreshAutoFooter {
    QL_OBJECT(RefreshAutoStateFooter, RefreshAutoFooter)
public:
    explicit RefreshAutoStateFooter(Passkey key) : RefreshAutoFooter(key) {}
    static std::shared_ptr<RefreshAutoStateFooter> footerWithRefreshingBlock(RefreshingBlock block) {
        return make<RefreshAutoStateFooter>(std::move(block));
    }
    static std::shared_ptr<RefreshAutoStateFooter> footerWithRefreshingTarget(std::weak_ptr<ns::Object> target,
                                                                              RefreshingAction action) {
        return make<RefreshAutoStateFooter>(std::move(target), std::move(action));
    }

    std::shared_ptr<ui::Label> stateLabel() { return titles_.label(*this); }
    void setTitle(std::optional<std::string> title, RefreshState state);
    std::optional<std::string> titleForState(RefreshState state) const { return titles_.titleForState(state); }
    // No title while refreshing.
    bool refreshingTitleHidden() const { return refreshingTitleHidden_; }
    void setRefreshingTitleHidden(bool hidden) { refreshingTitleHidden_ = hidden; }
    // The title's tap: loads more while idle.
    void stateLabelClick();

    void setState(RefreshState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;

private:
    RefreshStateTitles titles_;
    bool refreshingTitleHidden_ = false;
};

}  // namespace ql
