#pragma once
// ui::PageControl: a row of dots, one per page, the current one marked. A tap on the left or right half
// moves one page back or on and sends value-changed.

#include <cstdint>
#include <memory>

#include "platform/ui/Control.h"

namespace ql::ui {

class PageControl : public Control {
    QL_OBJECT_NAMED(PageControl, Control, "UIPageControl")
public:
    static constexpr double kDotDiameter = 7;
    static constexpr double kDotSpacing = 9;
    static constexpr double kHeight = 37;

    PageControl() : PageControl(cg::Rect::zero()) {}
    explicit PageControl(const cg::Rect& frame);

    std::int64_t numberOfPages() const { return pages_; }
    void setNumberOfPages(std::int64_t pages);
    // Kept within the pages.
    std::int64_t currentPage() const { return current_; }
    void setCurrentPage(std::int64_t page);
    bool hidesForSinglePage() const { return hidesForSinglePage_; }
    void setHidesForSinglePage(bool hides);
    // With deferral a tap changes the page but the dots wait for updateCurrentPageDisplay.
    bool defersCurrentPageDisplay() const { return defers_; }
    void setDefersCurrentPageDisplay(bool defers) { defers_ = defers; }
    void updateCurrentPageDisplay();
    const std::shared_ptr<Color>& pageIndicatorTintColor() const { return pageTint_; }
    void setPageIndicatorTintColor(std::shared_ptr<Color> color);
    const std::shared_ptr<Color>& currentPageIndicatorTintColor() const { return currentTint_; }
    void setCurrentPageIndicatorTintColor(std::shared_ptr<Color> color);

    cg::Size sizeForNumberOfPages(std::int64_t pages) const;
    cg::Size sizeThatFits(cg::Size size) const override;
    void drawRect(const cg::Rect& rect) override;
    void endTrackingWithTouch(Touch* touch, Event* event) override;

private:
    std::int64_t pages_ = 0;
    std::int64_t current_ = 0;
    std::int64_t shown_ = 0;
    bool hidesForSinglePage_ = false;
    bool defers_ = false;
    std::shared_ptr<Color> pageTint_;
    std::shared_ptr<Color> currentTint_;
};

}  // namespace ql::ui
