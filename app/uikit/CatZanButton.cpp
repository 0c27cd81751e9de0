#include "app/uikit/CatZanButton.h"

#include "platform/ui/Animation.h"
#include "platform/ui/TapGestureRecognizer.h"

namespace ql {

namespace {

constexpr double kPopDuration = 0.5;
constexpr double kPopDamping = 0.3;
constexpr double kPopVelocity = 5.0;
constexpr float kBurstBirthRate = 100;

}  // namespace

std::shared_ptr<CatZanButton> CatZanButton::make() { return make(cg::Rect{0, 0, 35, 35}); }

std::shared_ptr<CatZanButton> CatZanButton::make(const cg::Rect& frame) {
    return make(frame, ui::Image::imageNamed("book_like_d"), ui::Image::imageNamed("book_like"));
}

std::shared_ptr<CatZanButton> CatZanButton::make(const cg::Rect& frame, std::shared_ptr<ui::Image> zanImage,
                                                 std::shared_ptr<ui::Image> unZanImage) {
    auto button = std::make_shared<CatZanButton>();
    button->setFrame(frame);
    button->zanImage_ = std::move(zanImage);
    button->unZanImage_ = std::move(unZanImage);
    button->type_ = 0;
    button->initBaseLayout();
    return button;
}

void CatZanButton::initBaseLayout() {
    isZan_ = false;
    if (type_ != 0) return;
    const cg::Size size = frame().size;
    const cg::Rect whole{0, 0, size.width, size.height};

    effectLayer_ = std::make_shared<ui::EmitterLayer>();
    effectLayer_->setFrame(whole);
    layer()->addSublayer(effectLayer_);
    effectLayer_->setEmitterShape(ui::EmitterShape::Circle);
    effectLayer_->setEmitterMode(ui::EmitterMode::Outline);
    effectLayer_->setEmitterPosition({size.width / 2, size.height / 2});
    effectLayer_->setEmitterSize(size);

    effectCell_ = std::make_shared<ui::EmitterCell>();
    effectCell_->setName(std::string(kEffectCellName));
    effectCell_->setContents(ui::Image::imageNamed("EffectImage"));
    effectCell_->setAlphaSpeed(-1.0F);
    effectCell_->setLifetime(1.0F);
    effectCell_->setBirthRate(0);
    effectCell_->setVelocity(50);
    effectCell_->setVelocityRange(50);
    effectLayer_->setEmitterCells({effectCell_});

    zanImageView_ = std::make_shared<ui::ImageView>(whole);
    zanImageView_->setImage(unZanImage_);
    zanImageView_->setUserInteractionEnabled(true);
    addSubview(zanImageView_);
    zanImageView_->addGestureRecognizer(
        std::make_shared<ui::TapGestureRecognizer>(weak_from_this(), &CatZanButton::zanAnimationPlay));
}

void CatZanButton::setIsZan(bool zan) {
    isZan_ = zan;
    if (zanImageView_) zanImageView_->setImage(zan ? zanImage_ : unZanImage_);
}

void CatZanButton::zanAnimationPlay() {
    setIsZan(!isZan_);
    // The handler may let go of the button; keep it for the animation.
    auto self = std::static_pointer_cast<CatZanButton>(shared_from_this());
    if (clickHandler_) clickHandler_(*this);
    if (type_ != 0 || !zanImageView_) return;
    const cg::Size size = frame().size;
    zanImageView_->setBounds(cg::Rect::zero());
    ui::View::animateWithSpring(
        kPopDuration, 0, kPopDamping, kPopVelocity, ui::ViewAnimationOptionCurveLinear, [self, size] {
            self->zanImageView_->setBounds(cg::Rect{0, 0, size.width, size.height});
            if (!self->isZan_) return;
            auto burst = ui::Animation::animationWithKeyPath(std::string(kBurstKeyPath));
            burst->setFromValue(ns::Value(kBurstBirthRate));
            burst->setToValue(ns::Value(0.0F));
            burst->setTimingFunction(ui::TimingFunction::EaseOut);
            self->effectLayer_->addAnimation(burst, std::string(kBurstKeyPath));
        });
}

}  // namespace ql
