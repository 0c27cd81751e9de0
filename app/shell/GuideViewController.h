#pragma once
// The first-run guide: three full-screen pictures to swipe through; the last one's button leads to the
// sign-in screen and records that the guide was seen, so it never shows again.

#include <cstdint>
#include <memory>
#include <string>

#include "app/uikit/BasicVC.h"
#include "platform/ui/ScrollView.h"

namespace ql::ui {
class PageControl;
}

namespace ql {

inline constexpr std::string_view EnterAppTitle = "进入App";

class GuideViewController : public BasicVC, public ui::ScrollViewDelegate {
    QL_OBJECT(GuideViewController, BasicVC)
public:
    static constexpr std::int64_t kPageCount = 3;

    void viewDidLoad() override;
    // "guide_iphone6_2.png" and the like: the picture of page `index` (0 to 2) for the current device.
    std::string getGuideImageNameWithIndex(std::int64_t index) const;
    void scrollViewDidEndDecelerating(ui::ScrollView& scrollView) override;
    void pushTheTabbarController();

    const std::shared_ptr<ui::ScrollView>& guideScrollView() const { return guideScrollView_; }
    const std::shared_ptr<ui::PageControl>& pageCtr() const { return pageCtr_; }

private:
    std::shared_ptr<ui::ScrollView> guideScrollView_;
    std::shared_ptr<ui::PageControl> pageCtr_;
};

}  // namespace ql
