#include "platform/ui/VisualEffectView.h"

#include "platform/graphics/Context.h"
#include "platform/ui/Layer.h"

namespace ql::ui {

namespace {

// Between its background and its contents, the layer blurs what has been drawn inside its bounds.
class BlurLayer final : public Layer {
public:
    explicit BlurLayer(std::shared_ptr<BlurEffect> effect) : effect_(std::move(effect)) {}

protected:
    void renderContents(cg::Context& context) override {
        if (effect_) {
            // The radius spans about two standard deviations of the Gaussian, as a shadow's blur does.
            context.blurDrawnPixels(bounds(), BlurEffect::kLightBlurRadius / 2, BlurEffect::kLightSaturation,
                                    cg::Color::gray(1, BlurEffect::kLightVeilAlpha));
        }
        Layer::renderContents(context);
    }

private:
    std::shared_ptr<BlurEffect> effect_;
};

}  // namespace

VisualEffectView::VisualEffectView(std::shared_ptr<VisualEffect> effect, const cg::Rect& frame)
    : View(frame, std::make_shared<BlurLayer>(std::dynamic_pointer_cast<BlurEffect>(effect))), effect_(std::move(effect)) {}

}  // namespace ql::ui
