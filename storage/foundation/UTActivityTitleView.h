#pragma once
// UTActivityTitleView: a navigation-bar title with an activity spinner in front of it. The view sizes
// itself to the title; a long title is never cut, the view just grows.

#include <memory>
#include <optional>
#include <string>

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace ql {

class UTActivityTitleView : public ui::View {
    QL_OBJECT(UTActivityTitleView, ui::View)

public:
    // Looks follow the device idiom at creation: grey spinner and slate text on a pad, white on a phone.
    UTActivityTitleView();

    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }
    const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }

    std::optional<std::string> title() const { return titleLabel_->text(); }
    void setTitle(std::optional<std::string> title);
    bool busy() const { return activityIndicator_->isAnimating(); }
    void setBusy(bool busy);

private:
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    std::shared_ptr<ui::Label> titleLabel_;
};

}  // namespace ql
