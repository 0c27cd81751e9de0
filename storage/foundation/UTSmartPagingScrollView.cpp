#include "storage/foundation/UTSmartPagingScrollView.h"

#include <cmath>

namespace ql {

UTSmartPagingScrollView::UTSmartPagingScrollView(const cg::Rect& frame) : ui::ScrollView(frame) {
    setPagingEnabled(true);
    setShowsHorizontalScrollIndicator(false);
    setShowsVerticalScrollIndicator(false);
}

void UTSmartPagingScrollView::setPageDatasource(const std::shared_ptr<UTSmartPagingScrollViewDatasource>& datasource) {
    if (datasource == pageDatasource_.lock()) return;
    pageDatasource_ = datasource;
    reloadData();
}

void UTSmartPagingScrollView::setCurrentPageIndex(std::uint64_t index) {
    if (index == currentPageIndex_) return;
    willChangeValueForKey("currentPageIndex");
    currentPageIndex_ = index;
    didChangeValueForKey("currentPageIndex");
    scrollToPage(static_cast<std::int64_t>(index), false);
}

void UTSmartPagingScrollView::reloadData() {
    auto datasource = pageDatasource_.lock();
    if (!datasource) return;
    for (const auto& view : visiblePageViews_) view->removeFromSuperview();
    visiblePageViews_.clear();
    viewsByPage_.clear();
    numberOfPages_ = datasource->numberOfPagesInSmartPagingScrollView(*this);
    if (numberOfPages_ > 0 && currentPageIndex_ > numberOfPages_ - 1) {
        willChangeValueForKey("currentPageIndex");
        currentPageIndex_ = numberOfPages_ - 1;
        didChangeValueForKey("currentPageIndex");
    }
    setNeedsLayout();
}

void UTSmartPagingScrollView::scrollToPage(std::int64_t index, bool animated) {
    const double width = frame().size.width;
    scrollRectToVisible({static_cast<double>(index) * width, 0, width, frame().size.height}, animated);
}

cg::Rect UTSmartPagingScrollView::frameForPageViewAtIndex(std::uint64_t index) const {
    const cg::Rect& b = bounds();
    return {static_cast<double>(index) * b.size.width + kPageMargin, b.origin.y, b.size.width - 2 * kPageMargin,
            b.size.height};
}

ns::Range UTSmartPagingScrollView::rangeOfVisiblePages() const {
    const double width = bounds().size.width;
    if (numberOfPages_ == 0 || width <= 0) return {0, 0};
    const double f = contentOffset().x / width;
    const double lowest = std::floor(f);
    auto first = static_cast<std::int64_t>(lowest > 0 ? lowest : 0);
    auto last = std::min(static_cast<std::int64_t>(std::ceil(f)), static_cast<std::int64_t>(numberOfPages_) - 1);
    if (last >= 0 && !cg::rectIntersectsRect(frameForPageViewAtIndex(static_cast<std::uint64_t>(last)), bounds())) --last;
    if (!cg::rectIntersectsRect(frameForPageViewAtIndex(static_cast<std::uint64_t>(first)), bounds())) ++first;
    if (last < first) return {static_cast<std::uint64_t>(first), 0};
    return {static_cast<std::uint64_t>(first), static_cast<std::uint64_t>(last - first + 1)};
}

std::shared_ptr<ui::View> UTSmartPagingScrollView::viewForIndex(std::uint64_t index) {
    auto found = viewsByPage_.find(index);
    if (found != viewsByPage_.end()) return found->second;
    auto datasource = pageDatasource_.lock();
    if (!datasource) return nullptr;
    auto view = datasource->viewForPageAtIndex(*this, index);
    if (view) viewsByPage_[index] = view;
    return view;
}

void UTSmartPagingScrollView::updateCurrentPage() {
    const double width = frame().size.width;
    if (width <= 0) return;
    const double page = std::round(contentOffset().x / width);
    if (page < 0) return;
    const auto index = static_cast<std::uint64_t>(page);
    if (index == currentPageIndex_) return;
    willChangeValueForKey("currentPageIndex");
    currentPageIndex_ = index;
    if (auto datasource = pageDatasource_.lock()) datasource->didScrollToPageAtIndex(*this, index);
    didChangeValueForKey("currentPageIndex");
}

void UTSmartPagingScrollView::layoutSubviews() {
    ui::ScrollView::layoutSubviews();
    if (numberOfPages_ == 0) return;
    if (isDragging()) updateCurrentPage();
    const cg::Size wanted{bounds().size.width * static_cast<double>(numberOfPages_), bounds().size.height};
    if (contentSize() != wanted) {
        setContentSize(wanted);
        scrollToPage(static_cast<std::int64_t>(currentPageIndex_), false);
    }
    setUpVisiblePages();
}

void UTSmartPagingScrollView::setUpVisiblePages() {
    const ns::Range range = rangeOfVisiblePages();
    std::set<std::shared_ptr<ui::View>> visible;
    for (std::uint64_t index = range.location; index < range.location + range.length; ++index) {
        auto view = viewForIndex(index);
        if (!view) continue;
        view->setTag(static_cast<std::int64_t>(index) + kPageTagBase);
        if (view->superview() != this) insertSubview(view, 0);
        const cg::Rect frame = frameForPageViewAtIndex(index);
        if (view->frame() != frame) view->setFrame(frame);
        visible.insert(view);
    }
    for (const auto& view : visiblePageViews_) {
        if (visible.count(view)) continue;
        view->removeFromSuperview();
        viewsByPage_.erase(static_cast<std::uint64_t>(view->tag() - kPageTagBase));
    }
    visiblePageViews_ = std::move(visible);
}

ns::Value UTSmartPagingScrollView::valueForKey(std::string_view key) const {
    if (key == "currentPageIndex") return currentPageIndex_;
    return ui::ScrollView::valueForKey(key);
}

}  // namespace ql
