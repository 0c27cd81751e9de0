#pragma once
// ui::BlurEffect and ui::VisualEffectView: a view that shows what lies beneath it blurred, its colours made
// stronger and lightened under a white veil: the light blur style, the one style there is here. The view's
// own background is drawn first and its subviews sharp on top, as any view's; the effect works on what is
// drawn before the view inside the same composited group, its background included, so an opaque
// background leaves its own colour, lightened, to show. Screenshots draw the effect.

#include <memory>

#include "platform/ui/View.h"

namespace ql::ui {

enum class BlurEffectStyle { Light = 1 };

class VisualEffect : public ns::Object {
    QL_OBJECT_NAMED(VisualEffect, ns::Object, "UIVisualEffect")
};

class BlurEffect final : public VisualEffect {
    QL_OBJECT_NAMED(BlurEffect, VisualEffect, "UIBlurEffect")
public:
    // The light style: the blur's radius in points, how much stronger colours become, and the veil's
    // whiteness and opacity.
    static constexpr double kLightBlurRadius = 30;
    static constexpr double kLightSaturation = 1.8;
    static constexpr double kLightVeilAlpha = 0.3;

    explicit BlurEffect(BlurEffectStyle style = BlurEffectStyle::Light) : style_(style) {}
    static std::shared_ptr<BlurEffect> effectWithStyle(BlurEffectStyle style) { return std::make_shared<BlurEffect>(style); }
    BlurEffectStyle style() const { return style_; }

private:
    BlurEffectStyle style_;
};

class VisualEffectView : public View {
    QL_OBJECT_NAMED(VisualEffectView, View, "UIVisualEffectView")
public:
    explicit VisualEffectView(std::shared_ptr<VisualEffect> effect, const cg::Rect& frame = {});
    const std::shared_ptr<VisualEffect>& effect() const { return effect_; }

private:
    std::shared_ptr<VisualEffect> effect_;
};

}  // namespace ql::ui
