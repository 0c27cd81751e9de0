#pragma once
// UTSmartPagingScrollView: a horizontally paging scroll view that asks its data source for one view per
// page, keeps only the pages at least partly on screen, and reports the current page (observable as
// "currentPageIndex"). Pages keep a 10-point margin on each side, so neighbours show a 20-point gap.

#include <cstdint>
#include <map>
#include <memory>
#include <set>

#include "platform/foundation/Range.h"
#include "platform/ui/ScrollView.h"

namespace ql {

class UTSmartPagingScrollView;

class UTSmartPagingScrollViewDatasource {
public:
    virtual ~UTSmartPagingScrollViewDatasource() = default;
    virtual std::uint64_t numberOfPagesInSmartPagingScrollView(UTSmartPagingScrollView& scrollView) = 0;
    // Must answer a view for every index below the page count.
    virtual std::shared_ptr<ui::View> viewForPageAtIndex(UTSmartPagingScrollView& scrollView, std::uint64_t index) = 0;
    virtual void didScrollToPageAtIndex(UTSmartPagingScrollView&, std::uint64_t) {}
};

class UTSmartPagingScrollView : public ui::ScrollView {
    QL_OBJECT(UTSmartPagingScrollView, ui::ScrollView)

public:
    static constexpr double kPageMargin = 10;
    static constexpr std::int64_t kPageTagBase = 1000;

    UTSmartPagingScrollView() : UTSmartPagingScrollView(cg::Rect::zero()) {}
    explicit UTSmartPagingScrollView(const cg::Rect& frame);

    std::shared_ptr<UTSmartPagingScrollViewDatasource> pageDatasource() const { return pageDatasource_.lock(); }
    void setPageDatasource(const std::shared_ptr<UTSmartPagingScrollViewDatasource>& datasource);
    std::uint64_t numberOfPages() const { return numberOfPages_; }
    std::uint64_t currentPageIndex() const { return currentPageIndex_; }
    void setCurrentPageIndex(std::uint64_t index);
    const std::set<std::shared_ptr<ui::View>>& visiblePageViews() const { return visiblePageViews_; }

    void reloadData();
    void scrollToPage(std::int64_t index, bool animated);
    // Empty without pages or without width; a page showing only its margin does not count.
    ns::Range rangeOfVisiblePages() const;
    cg::Rect frameForPageViewAtIndex(std::uint64_t index) const;
    std::shared_ptr<ui::View> viewForIndex(std::uint64_t index);

    void layoutSubviews() override;
    ns::Value valueForKey(std::string_view key) const override;

private:
    void updateCurrentPage();
    void setUpVisiblePages();

    std::weak_ptr<UTSmartPagingScrollViewDatasource> pageDatasource_;
    std::uint64_t numberOfPages_ = 0;
    std::map<std::uint64_t, std::shared_ptr<ui::View>> viewsByPage_;
    std::set<std::shared_ptr<ui::View>> visiblePageViews_;
    std::uint64_t currentPageIndex_ = 0;
};

}  // namespace ql
