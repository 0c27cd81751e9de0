#pragma once
// The like toggle of the comment lists: a picture that flips between liked and not liked on a tap, pops back
// from nothing with a spring and, on becoming liked, bursts particles around its rim. Type 0 animates; any
// other type is a plain toggle.

#include <functional>
#include <memory>

#include "platform/ui/Control.h"
#include "platform/ui/EmitterLayer.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"

namespace ql {

class CatZanButton : public ui::Control {
    QL_OBJECT(CatZanButton, ui::Control)
public:
    using ClickHandler = std::function<void(CatZanButton&)>;
    // The emitter cell's name and the key path of the burst, as the layer knows them.
    static constexpr std::string_view kEffectCellName = "zanShape";
    static constexpr std::string_view kBurstKeyPath = "emitterCells.zanShape.birthRate";

    // The tap recogniser targets the button, so buttons are made only through these, once owned.
    static std::shared_ptr<CatZanButton> make();  // 35 × 35, "book_like_d" / "book_like"
    static std::shared_ptr<CatZanButton> make(const cg::Rect& frame);
    static std::shared_ptr<CatZanButton> make(const cg::Rect& frame, std::shared_ptr<ui::Image> zanImage,
                                              std::shared_ptr<ui::Image> unZanImage);

    bool isZan() const { return isZan_; }
    // Shows the state's picture at once, without animation or handler.
    void setIsZan(bool zan);
    int64_t type() const { return type_; }
    void setType(int64_t type) { type_ = type; }
    void setClickHandler(ClickHandler handler) { clickHandler_ = std::move(handler); }

    std::shared_ptr<ui::ImageView> zanImageView() const { return zanImageView_; }
    std::shared_ptr<ui::EmitterLayer> effectLayer() const { return effectLayer_; }
    std::shared_ptr<ui::EmitterCell> effectCell() const { return effectCell_; }

    // The tap's action: flip, tell the handler, then (type 0) pop and, when now liked, burst.
    void zanAnimationPlay();

    CatZanButton() = default;

private:
    void initBaseLayout();

    std::shared_ptr<ui::ImageView> zanImageView_;
    std::shared_ptr<ui::EmitterLayer> effectLayer_;
    std::shared_ptr<ui::EmitterCell> effectCell_;
    std::shared_ptr<ui::Image> zanImage_;
    std::shared_ptr<ui::Image> unZanImage_;
    bool isZan_ = false;
    int64_t type_ = 0;
    ClickHandler clickHandler_;
};

}  // namespace ql
