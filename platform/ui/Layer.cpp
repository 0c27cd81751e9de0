#include "platform/ui/Layer.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Timer.h"
#include "platform/ui/DisplayCycle.h"

namespace ql::ui {

Layer::~Layer() {
    for (auto& sub : sublayers_) sub->superlayer_ = nullptr;
    // Animations still running end unfinished with their layer.
    auto animations = std::move(animations_);
    for (auto& [key, animation] : animations) animation->stop(false);
}

void Layer::setBounds(const cg::Rect& bounds) {
    const bool resized = bounds.size != bounds_.size;
    bounds_ = bounds;
    if (resized && needsDisplayOnBoundsChange_) setNeedsDisplay();
}

void Layer::setPosition(cg::Point position) { position_ = position; }

void Layer::setAnchorPoint(cg::Point anchor) { anchorPoint_ = anchor; }

void Layer::setAffineTransform(const cg::AffineTransform& transform) { transform_ = transform; }

cg::AffineTransform Layer::transformToSuperlayer() const {
    const double ax = bounds_.origin.x + anchorPoint_.x * bounds_.size.width;
    const double ay = bounds_.origin.y + anchorPoint_.y * bounds_.size.height;
    return cg::concat(cg::concat(cg::AffineTransform::makeTranslation(-ax, -ay), transform_),
                      cg::AffineTransform::makeTranslation(position_.x, position_.y));
}

cg::AffineTransform Layer::transformToRoot() const {
    cg::AffineTransform t = transformToSuperlayer();
    for (const Layer* l = superlayer_; l; l = l->superlayer_) t = cg::concat(t, l->transformToSuperlayer());
    return t;
}

cg::Rect Layer::frame() const { return cg::applyToRect(transformToSuperlayer(), bounds_); }

void Layer::setFrame(const cg::Rect& frame) {
    const cg::Rect f = cg::rectStandardize(frame);
    cg::Size size = f.size;
    if (!cg::isIdentity(transform_) && cg::isInvertible(transform_)) {
        const cg::Size s = cg::applyToSize(cg::invert(transform_), f.size);
        size = {std::fabs(s.width), std::fabs(s.height)};
    }
    setBounds({bounds_.origin, size});
    // The frame's centre is where the transformed centre of the bounds lands.
    const cg::Point offset = cg::applyToPoint(
        {transform_.a, transform_.b, transform_.c, transform_.d, 0, 0},
        {(0.5 - anchorPoint_.x) * size.width, (0.5 - anchorPoint_.y) * size.height});
    setPosition({cg::midX(f) - offset.x, cg::midY(f) - offset.y});
}

void Layer::setNeedsDisplay() {
    needsDisplay_ = true;
    DisplayCycle::schedule();
}

void Layer::displayIfNeeded() {
    if (!needsDisplay_) return;
    needsDisplay_ = false;
    display();
}

// ---- The tree ----

void Layer::detachSublayer(Layer* layer) {
    auto it = std::find_if(sublayers_.begin(), sublayers_.end(), [&](const auto& l) { return l.get() == layer; });
    if (it != sublayers_.end()) sublayers_.erase(it);
    layer->superlayer_ = nullptr;
}

void Layer::dropDetachedSublayers() {
    std::erase_if(sublayers_, [](const auto& layer) { return layer->superlayer_ == nullptr; });
}

void Layer::insertAt(const std::shared_ptr<Layer>& layerArgument, std::size_t index) {
    // A copy: the argument may be an element of a sublayer list that changes below.
    const std::shared_ptr<Layer> layer = layerArgument;
    if (!layer) return;
    for (const Layer* l = this; l; l = l->superlayer_) {
        if (l == layer.get()) throw ns::Exception(ns::InvalidArgumentException, "a layer cannot contain itself");
    }
    if (layer->superlayer_) {
        Layer* old = layer->superlayer_;
        auto it = std::find(old->sublayers_.begin(), old->sublayers_.end(), layer);
        if (old == this && it != sublayers_.end() && static_cast<std::size_t>(it - sublayers_.begin()) < index) --index;
        old->detachSublayer(layer.get());
    }
    index = std::min(index, sublayers_.size());
    sublayers_.insert(sublayers_.begin() + static_cast<std::ptrdiff_t>(index), layer);
    layer->superlayer_ = this;
}

void Layer::addSublayer(const std::shared_ptr<Layer>& layer) { insertAt(layer, sublayers_.size()); }

void Layer::insertSublayer(const std::shared_ptr<Layer>& layer, std::size_t index) { insertAt(layer, index); }

void Layer::insertSublayerBelow(const std::shared_ptr<Layer>& layer, const Layer* sibling) {
    auto it = std::find_if(sublayers_.begin(), sublayers_.end(), [&](const auto& l) { return l.get() == sibling; });
    insertAt(layer, it == sublayers_.end() ? 0 : static_cast<std::size_t>(it - sublayers_.begin()));
}

void Layer::insertSublayerAbove(const std::shared_ptr<Layer>& layer, const Layer* sibling) {
    auto it = std::find_if(sublayers_.begin(), sublayers_.end(), [&](const auto& l) { return l.get() == sibling; });
    insertAt(layer, it == sublayers_.end() ? sublayers_.size() : static_cast<std::size_t>(it - sublayers_.begin()) + 1);
}

void Layer::replaceSublayer(const Layer* old, const std::shared_ptr<Layer>& replacement) {
    auto it = std::find_if(sublayers_.begin(), sublayers_.end(), [&](const auto& l) { return l.get() == old; });
    if (it == sublayers_.end()) return;
    const auto index = static_cast<std::size_t>(it - sublayers_.begin());
    auto removed = *it;
    detachSublayer(removed.get());
    insertAt(replacement, index);
}

void Layer::removeFromSuperlayer() {
    if (!superlayer_) return;
    auto keep = std::static_pointer_cast<Layer>(shared_from_this());
    superlayer_->detachSublayer(this);
}

// ---- Coordinates ----

cg::Point Layer::convertPointToLayer(cg::Point point, const Layer* layer) const {
    const cg::Point root = cg::applyToPoint(transformToRoot(), point);
    return layer ? cg::applyToPoint(cg::invert(layer->transformToRoot()), root) : root;
}

cg::Point Layer::convertPointFromLayer(cg::Point point, const Layer* layer) const {
    const cg::Point root = layer ? cg::applyToPoint(layer->transformToRoot(), point) : point;
    return cg::applyToPoint(cg::invert(transformToRoot()), root);
}

cg::Rect Layer::convertRectToLayer(const cg::Rect& rect, const Layer* layer) const {
    cg::AffineTransform t = transformToRoot();
    if (layer) t = cg::concat(t, cg::invert(layer->transformToRoot()));
    return cg::applyToRect(t, rect);
}

cg::Rect Layer::convertRectFromLayer(const cg::Rect& rect, const Layer* layer) const {
    cg::AffineTransform t = layer ? layer->transformToRoot() : cg::AffineTransform::identity();
    t = cg::concat(t, cg::invert(transformToRoot()));
    return cg::applyToRect(t, rect);
}

bool Layer::containsPoint(cg::Point point) const { return cg::rectContainsPoint(bounds_, point); }

// ---- Animations ----

void Layer::addAnimation(const std::shared_ptr<Animation>& animation, const std::string& key) {
    if (!animation) return;
    const std::string slot = key.empty() ? "animation-" + ns::addressText(animation.get()) : key;
    removeAnimationForKey(slot);
    if (animation->beginTime() == 0) animation->setBeginTime(ns::Clock::now());
    animations_[slot] = animation;
    animationOrder_.push_back(slot);
    animation->start();
    const double active = animation->activeDuration();
    if (std::isinf(active)) return;
    const double remaining = std::max(0.0, animation->beginTime() + active - ns::Clock::now());
    std::weak_ptr<Layer> weakSelf = std::static_pointer_cast<Layer>(shared_from_this());
    auto timer = ns::Timer::timer(remaining, false, [weakSelf, slot, animation](ns::Timer&) {
        if (auto self = weakSelf.lock()) self->animationTimeIsOver(slot, animation);
    });
    ns::RunLoop::main()->addTimer(timer, ns::RunLoopCommonModes);
}

void Layer::animationTimeIsOver(const std::string& key, const std::shared_ptr<Animation>& animation) {
    auto it = animations_.find(key);
    if (it == animations_.end() || it->second != animation) return;
    if (animation->isRemovedOnCompletion()) {
        animations_.erase(it);
        animationOrder_.erase(std::find(animationOrder_.begin(), animationOrder_.end(), key));
    }
    animation->stop(true);
}

std::shared_ptr<Animation> Layer::animationForKey(const std::string& key) const {
    auto it = animations_.find(key);
    return it == animations_.end() ? nullptr : it->second;
}

std::vector<std::string> Layer::animationKeys() const { return animationOrder_; }

void Layer::removeAnimationForKey(const std::string& key) {
    auto it = animations_.find(key);
    if (it == animations_.end()) return;
    auto animation = it->second;
    animations_.erase(it);
    animationOrder_.erase(std::find(animationOrder_.begin(), animationOrder_.end(), key));
    // The platform reports a removed animation on a later turn, never inside the call that removed it.
    ns::RunLoop::main()->performBlock([animation] { animation->stop(false); });
}

void Layer::removeAllAnimations() {
    for (const auto& key : std::vector<std::string>(animationOrder_)) removeAnimationForKey(key);
}

}  // namespace ql::ui
