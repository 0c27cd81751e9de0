#pragma once
// ui::GeometryValue: a point, size, rectangle, edge insets or affine transform boxed as an object, so it
// can travel inside an ns::Value (keyboard frames in notification user info, constraint constants). It
// reports the platform's boxed-value class and type encodings.

#include <optional>
#include <string>
#include <variant>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Geometry.h"

namespace ql::ui {

class GeometryValue final : public ns::Object {
public:
    using Content = std::variant<cg::Point, cg::Size, cg::Rect, cg::EdgeInsets, cg::AffineTransform>;

    explicit GeometryValue(Content content) : content_(content) {}

    static const ns::Class& classObject();
    const ns::Class& objectClass() const override;

    static ns::Value valueWithCGPoint(cg::Point point);
    static ns::Value valueWithCGSize(cg::Size size);
    static ns::Value valueWithCGRect(const cg::Rect& rect);
    static ns::Value valueWithUIEdgeInsets(const cg::EdgeInsets& insets);
    static ns::Value valueWithCGAffineTransform(const cg::AffineTransform& transform);

    // The boxed geometry of a value, when it holds one of that kind.
    static std::optional<cg::Point> CGPointValue(const ns::Value& value);
    static std::optional<cg::Size> CGSizeValue(const ns::Value& value);
    static std::optional<cg::Rect> CGRectValue(const ns::Value& value);
    static std::optional<cg::EdgeInsets> UIEdgeInsetsValue(const ns::Value& value);
    static std::optional<cg::AffineTransform> CGAffineTransformValue(const ns::Value& value);

    const Content& content() const { return content_; }
    // The type encoding, e.g. "{CGRect={CGPoint=dd}{CGSize=dd}}".
    std::string objCType() const;
    // "NSRect: {{0, 0}, {320, 216}}" and the like.
    std::string description() const override;
    bool isEqual(const ns::Object& other) const override;

private:
    template <class T>
    static std::optional<T> unbox(const ns::Value& value);

    Content content_;
};

}  // namespace ql::ui
