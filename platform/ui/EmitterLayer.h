#pragma once
// ui::EmitterCell and ui::EmitterLayer: a particle source described by its cells. There is no particle
// simulation here: while a cell's birth rate is above zero, its picture is drawn at evenly spaced points of
// the emitter's shape, which is what a screenshot of a steady emitter shows.

#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/ui/Image.h"
#include "platform/ui/Layer.h"

namespace ql::ui {

class EmitterCell : public ns::Object {
    QL_OBJECT_NAMED(EmitterCell, ns::Object, "CAEmitterCell")
public:
    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    const std::shared_ptr<Image>& contents() const { return contents_; }
    void setContents(std::shared_ptr<Image> contents) { contents_ = std::move(contents); }
    float birthRate() const { return birthRate_; }
    void setBirthRate(float rate) { birthRate_ = rate; }
    float lifetime() const { return lifetime_; }
    void setLifetime(float seconds) { lifetime_ = seconds; }
    float alphaSpeed() const { return alphaSpeed_; }
    void setAlphaSpeed(float speed) { alphaSpeed_ = speed; }
    double velocity() const { return velocity_; }
    void setVelocity(double velocity) { velocity_ = velocity; }
    double velocityRange() const { return velocityRange_; }
    void setVelocityRange(double range) { velocityRange_ = range; }

private:
    std::string name_;
    std::shared_ptr<Image> contents_;
    float birthRate_ = 0;
    float lifetime_ = 0;
    float alphaSpeed_ = 0;
    double velocity_ = 0;
    double velocityRange_ = 0;
};

enum class EmitterShape { Point, Line, Rectangle, Circle };
enum class EmitterMode { Points, Outline, Surface, Volume };

class EmitterLayer : public Layer {
    QL_OBJECT_NAMED(EmitterLayer, Layer, "CAEmitterLayer")
public:
    // At most this many pictures stand for one cell's particles in a drawing.
    static constexpr int kMaximumDrawnParticles = 12;

    EmitterShape emitterShape() const { return shape_; }
    void setEmitterShape(EmitterShape shape) { shape_ = shape; }
    EmitterMode emitterMode() const { return mode_; }
    void setEmitterMode(EmitterMode mode) { mode_ = mode; }
    cg::Point emitterPosition() const { return position_; }
    void setEmitterPosition(cg::Point position) { position_ = position; }
    cg::Size emitterSize() const { return size_; }
    void setEmitterSize(cg::Size size) { size_ = size; }
    const std::vector<std::shared_ptr<EmitterCell>>& emitterCells() const { return cells_; }
    void setEmitterCells(std::vector<std::shared_ptr<EmitterCell>> cells) { cells_ = std::move(cells); }
    std::shared_ptr<EmitterCell> cellNamed(std::string_view name) const;

protected:
    void renderContents(cg::Context& context) override;

private:
    EmitterShape shape_ = EmitterShape::Point;
    EmitterMode mode_ = EmitterMode::Volume;
    cg::Point position_{0, 0};
    cg::Size size_{0, 0};
    std::vector<std::shared_ptr<EmitterCell>> cells_;
};

}  // namespace ql::ui
