#pragma once
// LinearLayoutView: a scroll view that places its items one after another along one axis (top to
// bottom, or left to right), each with its own padding, cross-axis alignment and fill mode, and can grow
// its frame or its scrollable content to the length of the run. LinearLayoutItem is one entry: the view
// to place and how to place it. The view owns its items; an item owns its view and its user info.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/foundation/Value.h"
#include "platform/ui/ScrollView.h"

namespace ql {

class LinearLayoutItem : public ns::Object {
    QL_OBJECT(LinearLayoutItem, ns::Object)
public:
    // Stretches the view across the cross axis, less the padding there.
    static constexpr std::int32_t kFillModeStretch = 1;
    // Alignments: 0 leading (left, top), 1 trailing (right, bottom), anything else centred.
    static constexpr std::int32_t kAlignmentLeading = 0;
    static constexpr std::int32_t kAlignmentTrailing = 1;
    static constexpr std::int32_t kAlignmentCenter = 2;

    LinearLayoutItem() = default;
    explicit LinearLayoutItem(std::shared_ptr<ui::View> view) : view_(std::move(view)) {}
    static std::shared_ptr<LinearLayoutItem> layoutItemForView(std::shared_ptr<ui::View> view);

    const std::shared_ptr<ui::View>& view() const { return view_; }
    void setView(std::shared_ptr<ui::View> view) { view_ = std::move(view); }
    std::int32_t fillMode() const { return fillMode_; }
    void setFillMode(std::int32_t mode) { fillMode_ = mode; }
    // In vertical runs.
    std::int32_t horizontalAlignment() const { return horizontalAlignment_; }
    void setHorizontalAlignment(std::int32_t alignment) { horizontalAlignment_ = alignment; }
    // In horizontal runs.
    std::int32_t verticalAlignment() const { return verticalAlignment_; }
    void setVerticalAlignment(std::int32_t alignment) { verticalAlignment_ = alignment; }
    const cg::EdgeInsets& padding() const { return padding_; }
    void setPadding(const cg::EdgeInsets& padding) { padding_ = padding; }
    const ns::Dictionary& userInfo() const { return userInfo_; }
    void setUserInfo(ns::Dictionary userInfo) { userInfo_ = std::move(userInfo); }
    std::int64_t tag() const { return tag_; }
    void setTag(std::int64_t tag) { tag_ = tag; }

private:
    std::shared_ptr<ui::View> view_;
    std::int32_t fillMode_ = 0;
    std::int32_t horizontalAlignment_ = kAlignmentLeading;
    std::int32_t verticalAlignment_ = kAlignmentLeading;
    cg::EdgeInsets padding_;
    ns::Dictionary userInfo_;
    std::int64_t tag_ = 0;
};

class LinearLayoutView : public ui::ScrollView {
    QL_OBJECT(LinearLayoutView, ui::ScrollView)
public:
    static constexpr std::int32_t kOrientationVertical = 0;
    static constexpr std::int32_t kOrientationHorizontal = 1;

    LinearLayoutView() : LinearLayoutView(cg::Rect::zero()) {}
    explicit LinearLayoutView(const cg::Rect& frame);

    const std::vector<std::shared_ptr<LinearLayoutItem>>& items() const { return items_; }
    // Any value but horizontal lays out vertically. Asks for layout.
    std::int32_t orientation() const { return orientation_; }
    void setOrientation(std::int32_t orientation);
    // The length of the run: each item's leading padding, size along the axis and trailing padding.
    double layoutOffset() const;
    // After each layout pass and each added subview: the frame's length along the axis becomes the run's.
    bool autoAdjustFrameSize() const { return autoAdjustFrameSize_; }
    void setAutoAdjustFrameSize(bool adjust) { autoAdjustFrameSize_ = adjust; }
    // After each layout pass and each added subview: the content covers the run, and at least the view.
    bool autoAdjustContentSize() const { return autoAdjustContentSize_; }
    void setAutoAdjustContentSize(bool adjust) { autoAdjustContentSize_ = adjust; }
    void adjustFrameSize();
    void adjustContentSize();

    // Every refused call does nothing. Items are compared by identity; an item without a view is refused.
    void addItem(const std::shared_ptr<LinearLayoutItem>& item);
    void removeItem(const std::shared_ptr<LinearLayoutItem>& item);
    // Also removes subviews that were added without an item.
    void removeAllItems();
    void insertItemBeforeItem(const std::shared_ptr<LinearLayoutItem>& item,
                              const std::shared_ptr<LinearLayoutItem>& existing);
    void insertItemAfterItem(const std::shared_ptr<LinearLayoutItem>& item,
                             const std::shared_ptr<LinearLayoutItem>& existing);
    // An index at or past the count is refused (appending is addItem).
    void insertItemAtIndex(const std::shared_ptr<LinearLayoutItem>& item, std::size_t index);
    void moveItemBeforeItem(const std::shared_ptr<LinearLayoutItem>& item,
                            const std::shared_ptr<LinearLayoutItem>& existing);
    void moveItemAfterItem(const std::shared_ptr<LinearLayoutItem>& item,
                           const std::shared_ptr<LinearLayoutItem>& existing);
    void moveItemToIndex(const std::shared_ptr<LinearLayoutItem>& item, std::size_t index);
    void swapItemWithItem(const std::shared_ptr<LinearLayoutItem>& item, const std::shared_ptr<LinearLayoutItem>& other);

    void layoutSubviews() override;
    void didAddSubview(ui::View* subview) override;

private:
    std::optional<std::size_t> indexOf(const std::shared_ptr<LinearLayoutItem>& item) const;
    bool isHorizontal() const { return orientation_ == kOrientationHorizontal; }
    void insertAt(const std::shared_ptr<LinearLayoutItem>& item, std::size_t index);

    std::vector<std::shared_ptr<LinearLayoutItem>> items_;
    std::int32_t orientation_ = kOrientationVertical;
    bool autoAdjustFrameSize_ = false;
    bool autoAdjustContentSize_ = true;
};

}  // namespace ql
