#pragma once
// The browser's toolbar glyphs (back, forward, refresh, stop, action), drawn in code so the browser needs
// no image files. Each takes an attributes dictionary with the glyph's fill colour and bevel strength.
// There are two looks: the flat look of the newer platform (black glyphs, attributes ignored) and the
// earlier embossed look (solid glyphs in the attribute colour with a one-point bevel); the platform's
// foundation version chooses, and callers may name a look outright. Every call draws afresh.

#include <memory>
#include <string_view>

#include "platform/foundation/Value.h"
#include "platform/ui/Color.h"
#include "platform/ui/Image.h"

namespace ql {

inline constexpr std::string_view WebViewControllerButtonFillColor = "WebViewControllerButtonFillColor";
inline constexpr std::string_view WebViewControllerButtonBevelOpacity = "WebViewControllerButtonBevelOpacity";

enum class WebViewControllerIconLook { Flat, Embossed };

// The look of the platform the app runs on.
WebViewControllerIconLook WebViewControllerIconLookOfPlatform();

std::shared_ptr<ui::Image> WebViewControllerIcon_backButtonWithAttributes(
    const ns::Dictionary& attributes, WebViewControllerIconLook look = WebViewControllerIconLookOfPlatform());
std::shared_ptr<ui::Image> WebViewControllerIcon_forwardButtonWithAttributes(
    const ns::Dictionary& attributes, WebViewControllerIconLook look = WebViewControllerIconLookOfPlatform());
std::shared_ptr<ui::Image> WebViewControllerIcon_refreshButtonWithAttributes(
    const ns::Dictionary& attributes, WebViewControllerIconLook look = WebViewControllerIconLookOfPlatform());
std::shared_ptr<ui::Image> WebViewControllerIcon_stopButtonWithAttributes(
    const ns::Dictionary& attributes, WebViewControllerIconLook look = WebViewControllerIconLookOfPlatform());
std::shared_ptr<ui::Image> WebViewControllerIcon_actionButtonWithAttributes(
    const ns::Dictionary& attributes, WebViewControllerIconLook look = WebViewControllerIconLookOfPlatform());

// The attribute colour, else the device's default: dark grey 0.35 on a pad, white on a phone.
std::shared_ptr<ui::Color> fillColorFromAttributes(const ns::Dictionary& attributes);
// The attribute bevel opacity, else the device's default: 0.9 on a pad, 0.5 on a phone.
double bevelOpacityFromAttributes(const ns::Dictionary& attributes);
// Prepares the current graphics context so that the next fill paints the bevel: a light fill colour gets
// a black shadow above it (and the glyph moves down one point), any other a white shadow below.
void drawBevelFromFillColor(const ui::Color& fillColor, double opacity);

}  // namespace ql
