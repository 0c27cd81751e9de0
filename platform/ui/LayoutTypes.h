#pragma once
// The platform's vocabulary of constraint layout, with its values: layout attributes and relations,
// priorities, axes and the fitting sizes asked of systemLayoutSizeFittingSize.

#include <cstdint>

#include "platform/graphics/Geometry.h"

namespace ql::ui {

enum class LayoutAttribute : std::int64_t {
    NotAnAttribute = 0,
    Left = 1,
    Right = 2,
    Top = 3,
    Bottom = 4,
    Leading = 5,
    Trailing = 6,
    Width = 7,
    Height = 8,
    CenterX = 9,
    CenterY = 10,
    LastBaseline = 11,
    Baseline = LastBaseline,
    FirstBaseline = 12,
    LeftMargin = 13,
    RightMargin = 14,
    TopMargin = 15,
    BottomMargin = 16,
    LeadingMargin = 17,
    TrailingMargin = 18,
    CenterXWithinMargins = 19,
    CenterYWithinMargins = 20,
};

inline bool isSizeAttribute(LayoutAttribute attribute) {
    return attribute == LayoutAttribute::Width || attribute == LayoutAttribute::Height;
}

inline bool isHorizontalAttribute(LayoutAttribute attribute) {
    switch (attribute) {
        case LayoutAttribute::Left:
        case LayoutAttribute::Right:
        case LayoutAttribute::Leading:
        case LayoutAttribute::Trailing:
        case LayoutAttribute::Width:
        case LayoutAttribute::CenterX:
        case LayoutAttribute::LeftMargin:
        case LayoutAttribute::RightMargin:
        case LayoutAttribute::LeadingMargin:
        case LayoutAttribute::TrailingMargin:
        case LayoutAttribute::CenterXWithinMargins: return true;
        default: return false;
    }
}

enum class LayoutRelation : std::int64_t { LessThanOrEqual = -1, Equal = 0, GreaterThanOrEqual = 1 };

enum class LayoutConstraintAxis : std::int64_t { Horizontal = 0, Vertical = 1 };

// From 1 to 1000; a constraint of priority 1000 must hold, any lower one holds as far as it can.
using LayoutPriority = float;
inline constexpr LayoutPriority LayoutPriorityRequired = 1000;
inline constexpr LayoutPriority LayoutPriorityDefaultHigh = 750;
inline constexpr LayoutPriority LayoutPriorityDefaultLow = 250;
inline constexpr LayoutPriority LayoutPriorityFittingSizeLevel = 50;

// The smallest and the largest size a view's constraints allow.
inline constexpr cg::Size LayoutFittingCompressedSize{0, 0};
inline constexpr cg::Size LayoutFittingExpandedSize{10000000, 10000000};

}  // namespace ql::ui
