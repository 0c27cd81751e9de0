#include "ui/layout/LinearLayoutView.h"

#include <algorithm>

#include "platform/ui/MainThread.h"

namespace ql {

std::shared_ptr<LinearLayoutItem> LinearLayoutItem::layoutItemForView(std::shared_ptr<ui::View> view) {
    return std::make_shared<LinearLayoutItem>(std::move(view));
}

LinearLayoutView::LinearLayoutView(const cg::Rect& frame) : ui::ScrollView(frame) { setAutoresizesSubviews(false); }

void LinearLayoutView::setOrientation(std::int32_t orientation) {
    orientation_ = orientation;
    setNeedsLayout();
}

double LinearLayoutView::layoutOffset() const {
    double length = 0;
    for (const auto& item : items_) {
        const cg::EdgeInsets& p = item->padding();
        const cg::Size size = item->view()->frame().size;
        length += isHorizontal() ? p.left + size.width + p.right : p.top + size.height + p.bottom;
    }
    return length;
}

void LinearLayoutView::adjustFrameSize() {
    cg::Rect f = frame();
    if (isHorizontal()) {
        f.size.width = layoutOffset();
    } else {
        f.size.height = layoutOffset();
    }
    setFrame(f);
}

void LinearLayoutView::adjustContentSize() {
    const cg::Size size = frame().size;
    const double length = layoutOffset();
    setContentSize(isHorizontal() ? cg::Size{std::max(size.width, length), size.height}
                                  : cg::Size{size.width, std::max(size.height, length)});
}

void LinearLayoutView::layoutSubviews() {
    ui::assertMainThread();
    const double width = frame().size.width;
    const double height = frame().size.height;
    double offset = 0;
    for (const auto& item : items_) {
        ui::View& view = *item->view();
        const cg::EdgeInsets& p = item->padding();
        const cg::Size size = view.frame().size;
        const bool fill = item->fillMode() == LinearLayoutItem::kFillModeStretch;
        if (isHorizontal()) {
            const double x = offset + p.left;
            double y = p.top;
            if (!fill && item->verticalAlignment() != LinearLayoutItem::kAlignmentLeading) {
                y = item->verticalAlignment() == LinearLayoutItem::kAlignmentTrailing
                        ? height - size.height - p.bottom
                        : height / 2 - (size.height + (p.bottom - p.top)) / 2;
            }
            view.setFrame({x, y, size.width, fill ? height - (p.top + p.bottom) : size.height});
            offset = x + view.frame().size.width + p.right;
        } else {
            const double y = offset + p.top;
            double x = p.left;
            if (!fill && item->horizontalAlignment() != LinearLayoutItem::kAlignmentLeading) {
                x = item->horizontalAlignment() == LinearLayoutItem::kAlignmentTrailing
                        ? width - size.width - p.right
                        : width / 2 - (size.width + (p.right - p.left)) / 2;
            }
            view.setFrame({x, y, fill ? width - (p.left + p.right) : size.width, size.height});
            offset = y + view.frame().size.height + p.bottom;
        }
    }
    if (autoAdjustFrameSize_) adjustFrameSize();
    if (autoAdjustContentSize_) adjustContentSize();
}

void LinearLayoutView::didAddSubview(ui::View*) {
    if (autoAdjustFrameSize_) adjustFrameSize();
    if (autoAdjustContentSize_) adjustContentSize();
}

std::optional<std::size_t> LinearLayoutView::indexOf(const std::shared_ptr<LinearLayoutItem>& item) const {
    if (!item) return std::nullopt;
    const auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end()) return std::nullopt;
    return static_cast<std::size_t>(it - items_.begin());
}

void LinearLayoutView::insertAt(const std::shared_ptr<LinearLayoutItem>& item, std::size_t index) {
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), item);
    addSubview(item->view());
}

void LinearLayoutView::addItem(const std::shared_ptr<LinearLayoutItem>& item) {
    if (!item || !item->view() || indexOf(item)) return;
    insertAt(item, items_.size());
}

void LinearLayoutView::removeItem(const std::shared_ptr<LinearLayoutItem>& item) {
    const auto index = indexOf(item);
    if (!index) return;
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(*index));
    if (item->view()) item->view()->removeFromSuperview();
}

void LinearLayoutView::removeAllItems() {
    items_.clear();
    for (const auto& sub : std::vector<std::shared_ptr<ui::View>>(subviews())) sub->removeFromSuperview();
}

void LinearLayoutView::insertItemBeforeItem(const std::shared_ptr<LinearLayoutItem>& item,
                                            const std::shared_ptr<LinearLayoutItem>& existing) {
    const auto at = indexOf(existing);
    if (!item || !item->view() || indexOf(item) || !at) return;
    insertAt(item, *at);
}

void LinearLayoutView::insertItemAfterItem(const std::shared_ptr<LinearLayoutItem>& item,
                                           const std::shared_ptr<LinearLayoutItem>& existing) {
    const auto at = indexOf(existing);
    if (!item || !item->view() || indexOf(item) || !at) return;
    insertAt(item, *at + 1);
}

void LinearLayoutView::insertItemAtIndex(const std::shared_ptr<LinearLayoutItem>& item, std::size_t index) {
    if (!item || !item->view() || indexOf(item) || index >= items_.size()) return;
    insertAt(item, index);
}

void LinearLayoutView::moveItemBeforeItem(const std::shared_ptr<LinearLayoutItem>& item,
                                          const std::shared_ptr<LinearLayoutItem>& existing) {
    const auto from = indexOf(item);
    if (!from || !indexOf(existing) || item == existing) return;
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(*from));
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(*indexOf(existing)), item);
    setNeedsLayout();
}

void LinearLayoutView::moveItemAfterItem(const std::shared_ptr<LinearLayoutItem>& item,
                                         const std::shared_ptr<LinearLayoutItem>& existing) {
    const auto from = indexOf(item);
    if (!from || !indexOf(existing) || item == existing) return;
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(*from));
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(*indexOf(existing) + 1), item);
    setNeedsLayout();
}

void LinearLayoutView::moveItemToIndex(const std::shared_ptr<LinearLayoutItem>& item, std::size_t index) {
    const auto from = indexOf(item);
    if (!from || index >= items_.size() || *from == index) return;
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(*from));
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), item);
    setNeedsLayout();
}

void LinearLayoutView::swapItemWithItem(const std::shared_ptr<LinearLayoutItem>& item,
                                        const std::shared_ptr<LinearLayoutItem>& other) {
    const auto a = indexOf(item);
    const auto b = indexOf(other);
    if (!a || !b || item == other) return;
    std::swap(items_[*a], items_[*b]);
    setNeedsLayout();
}

}  // namespace ql
