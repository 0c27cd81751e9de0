#pragma once
// ui::SegmentedControl: a row of segments, each with a title or an image, of which one may be selected.
// A tap on an enabled segment selects it and sends value-changed; a momentary control lets the selection
// go again right after.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/ui/Control.h"

namespace ql::ui {

class Image;

inline constexpr std::int64_t SegmentedControlNoSegment = -1;

class SegmentedControl : public Control {
    QL_OBJECT_NAMED(SegmentedControl, Control, "UISegmentedControl")
public:
    static constexpr double kHeight = 29;
    using Item = std::variant<std::string, std::shared_ptr<Image>>;

    SegmentedControl() : SegmentedControl(cg::Rect::zero()) {}
    explicit SegmentedControl(const cg::Rect& frame);
    // Sized to fit its items.
    explicit SegmentedControl(const std::vector<Item>& items);

    std::uint64_t numberOfSegments() const { return segments_.size(); }
    void insertSegmentWithTitle(std::optional<std::string> title, std::uint64_t index, bool animated = false);
    void insertSegmentWithImage(std::shared_ptr<Image> image, std::uint64_t index, bool animated = false);
    void removeSegmentAtIndex(std::uint64_t index, bool animated = false);
    void removeAllSegments();
    void setTitle(std::optional<std::string> title, std::uint64_t index);
    std::optional<std::string> titleForSegmentAtIndex(std::uint64_t index) const;
    void setImage(std::shared_ptr<Image> image, std::uint64_t index);
    std::shared_ptr<Image> imageForSegmentAtIndex(std::uint64_t index) const;
    // 0: an equal share of the width.
    void setWidth(double width, std::uint64_t index);
    double widthForSegmentAtIndex(std::uint64_t index) const;
    void setEnabled(bool enabled, std::uint64_t index);
    bool isEnabledForSegmentAtIndex(std::uint64_t index) const;
    using Control::setEnabled;

    // Setting it by code sends nothing.
    std::int64_t selectedSegmentIndex() const { return selected_; }
    void setSelectedSegmentIndex(std::int64_t index);
    bool isMomentary() const { return momentary_; }
    void setMomentary(bool momentary) { momentary_ = momentary; }
    bool apportionsSegmentWidthsByContent() const { return byContent_; }
    void setApportionsSegmentWidthsByContent(bool byContent);

    // The segment under a point of the control; NoSegment outside.
    std::int64_t segmentAtPoint(cg::Point point) const;
    cg::Rect rectForSegmentAtIndex(std::uint64_t index) const;

    cg::Size sizeThatFits(cg::Size size) const override;
    cg::Size intrinsicContentSize() const override { return sizeThatFits({0, 0}); }
    void drawRect(const cg::Rect& rect) override;
    void endTrackingWithTouch(Touch* touch, Event* event) override;
    void tintColorDidChange() override { setNeedsDisplay(); }

private:
    struct Segment {
        std::optional<std::string> title;
        std::shared_ptr<Image> image;
        double width = 0;
        bool enabled = true;
    };
    double contentWidth(const Segment& segment) const;
    std::vector<double> segmentWidths(double total) const;
    void changed();

    std::vector<Segment> segments_;
    std::int64_t selected_ = SegmentedControlNoSegment;
    bool momentary_ = false;
    bool byContent_ = false;
};

}  // namespace ql::ui
