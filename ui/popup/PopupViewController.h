#pragma once
// Popup presentation: a controller shows another controller's view as a card over a dimmed background,
// put with a full-size dismiss button into an overlay on top of the view of its topmost ancestor (so the
// card also covers navigation and tab bars). Types 1 to 8 slide the card in and out by their edges; 9
// and every other type fade it; a tap on the background dismisses it, except after a presentation with
// type 9. The presented controller hears of its appearance only through the four appearance calls, each
// with NO. Main thread only.

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "ui/popup/PopupBackgroundView.h"

namespace ql {

// Slide types: in from below (1, 2), from above (3, 4), from the left (5, 6), from the right (7, 8); out
// upwards (1, 3), downwards (2, 4), to the left (5, 7), to the right (6, 8).
inline constexpr std::int32_t PopupAnimationFadeIgnoringTaps = 9;
inline constexpr double PopupAnimationDuration = 0.35;

// The tags by which a dismissal finds the views again.
inline constexpr std::int64_t PopupSourceViewTag = 23941;
inline constexpr std::int64_t PopupViewTag = 23942;
inline constexpr std::int64_t PopupOverlayViewTag = 23945;

using PopupDismissedCallback = std::function<void()>;

// Remembers the controller, then presents its view. The callback runs once, after the views are gone.
void presentPopupViewController(ui::ViewController& presenter, std::shared_ptr<ui::ViewController> controller,
                                std::int32_t animationType, PopupDismissedCallback dismissed = {});
// A view already directly in the source view only gets its tag and mask: nothing is shown and the
// callback is not kept.
void presentPopupView(ui::ViewController& presenter, const std::shared_ptr<ui::View>& popupView,
                      std::int32_t animationType, PopupDismissedCallback dismissed = {});
// Slides out for 1 to 8, fades out for any other type.
void dismissPopupViewControllerWithanimationType(ui::ViewController& presenter, std::int32_t animationType);
// The background's action: the type it was presented with (none for 9); a sender that is no button fades.
void dismissPopupViewControllerWithanimation(ui::ViewController& presenter, ns::Object* sender);

// The view of the presenter's topmost ancestor, where popups go.
std::shared_ptr<ui::View> topView(ui::ViewController& presenter);

void slideViewIn(ui::ViewController& presenter, const std::shared_ptr<ui::View>& popupView,
                 const std::shared_ptr<ui::View>& sourceView, const std::shared_ptr<ui::View>& overlayView,
                 std::int32_t animationType);
void slideViewOut(ui::ViewController& presenter, const std::shared_ptr<ui::View>& popupView,
                  const std::shared_ptr<ui::View>& sourceView, const std::shared_ptr<ui::View>& overlayView,
                  std::int32_t animationType);
void fadeViewIn(ui::ViewController& presenter, const std::shared_ptr<ui::View>& popupView,
                const std::shared_ptr<ui::View>& sourceView, const std::shared_ptr<ui::View>& overlayView);
void fadeViewOut(ui::ViewController& presenter, const std::shared_ptr<ui::View>& popupView,
                 const std::shared_ptr<ui::View>& sourceView, const std::shared_ptr<ui::View>& overlayView);
// Moves the shown card down by `offset` points (up when negative).
void keyboardNotifi(ui::ViewController& presenter, std::int64_t offset);

std::shared_ptr<ui::ViewController> mm_popupViewController(const ui::ViewController& presenter);
void mm_setPopupViewController(ui::ViewController& presenter, std::shared_ptr<ui::ViewController> controller);
std::shared_ptr<PopupBackgroundView> mm_popupBackgroundView(const ui::ViewController& presenter);
void mm_setPopupBackgroundView(ui::ViewController& presenter, std::shared_ptr<PopupBackgroundView> view);
PopupDismissedCallback dismissedCallback(const ui::ViewController& presenter);
void setDismissedCallback(ui::ViewController& presenter, PopupDismissedCallback callback);

}  // namespace ql
