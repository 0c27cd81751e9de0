#pragma once
// The platform's small enumerations and option bits of views and their animations, with its values.

namespace ql::ui {

enum class ContentMode {
    ScaleToFill = 0,
    ScaleAspectFit = 1,
    ScaleAspectFill = 2,
    Redraw = 3,
    Center = 4,
    Top = 5,
    Bottom = 6,
    Left = 7,
    Right = 8,
    TopLeft = 9,
    TopRight = 10,
    BottomLeft = 11,
    BottomRight = 12,
};

enum ViewAutoresizing : unsigned {
    ViewAutoresizingNone = 0,
    ViewAutoresizingFlexibleLeftMargin = 1u << 0,
    ViewAutoresizingFlexibleWidth = 1u << 1,
    ViewAutoresizingFlexibleRightMargin = 1u << 2,
    ViewAutoresizingFlexibleTopMargin = 1u << 3,
    ViewAutoresizingFlexibleHeight = 1u << 4,
    ViewAutoresizingFlexibleBottomMargin = 1u << 5,
};

// How a view's tint shows: as set, or dimmed (while an alert is up); automatic follows the superview.
enum class ViewTintAdjustmentMode { Automatic = 0, Normal = 1, Dimmed = 2 };

enum class ViewAnimationCurve { EaseInOut = 0, EaseIn = 1, EaseOut = 2, Linear = 3 };

enum ViewAnimationOptions : unsigned {
    ViewAnimationOptionLayoutSubviews = 1u << 0,
    ViewAnimationOptionAllowUserInteraction = 1u << 1,
    ViewAnimationOptionBeginFromCurrentState = 1u << 2,
    ViewAnimationOptionRepeat = 1u << 3,
    ViewAnimationOptionAutoreverse = 1u << 4,
    ViewAnimationOptionOverrideInheritedDuration = 1u << 5,
    ViewAnimationOptionOverrideInheritedCurve = 1u << 6,
    ViewAnimationOptionAllowAnimatedContent = 1u << 7,
    ViewAnimationOptionShowHideTransitionViews = 1u << 8,
    ViewAnimationOptionOverrideInheritedOptions = 1u << 9,
    ViewAnimationOptionCurveEaseInOut = 0u << 16,
    ViewAnimationOptionCurveEaseIn = 1u << 16,
    ViewAnimationOptionCurveEaseOut = 2u << 16,
    ViewAnimationOptionCurveLinear = 3u << 16,
    ViewAnimationOptionTransitionNone = 0u << 20,
    ViewAnimationOptionTransitionFlipFromLeft = 1u << 20,
    ViewAnimationOptionTransitionFlipFromRight = 2u << 20,
    ViewAnimationOptionTransitionCurlUp = 3u << 20,
    ViewAnimationOptionTransitionCurlDown = 4u << 20,
    ViewAnimationOptionTransitionCrossDissolve = 5u << 20,
    ViewAnimationOptionTransitionFlipFromTop = 6u << 20,
    ViewAnimationOptionTransitionFlipFromBottom = 7u << 20,
};

// The curve bits of an options value (the keyboard's own curve, 7, included).
constexpr unsigned animationCurveOfOptions(unsigned options) { return (options >> 16) & 0xF; }

}  // namespace ql::ui
