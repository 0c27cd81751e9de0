#include "platform/ui/GeometryValue.h"

#include <memory>

namespace ql::ui {

const ns::Class& GeometryValue::classObject() {
    static const ns::Class& cls = [] () -> const ns::Class& {
        auto* c = new ns::Class("NSConcreteValue", ns::Class::named("NSValue"));
        ns::Class::registerClass(*c);
        return *c;
    }();
    return cls;
}

const ns::Class& GeometryValue::objectClass() const { return classObject(); }

ns::Value GeometryValue::valueWithCGPoint(cg::Point point) { return ns::Value(std::make_shared<GeometryValue>(point)); }
ns::Value GeometryValue::valueWithCGSize(cg::Size size) { return ns::Value(std::make_shared<GeometryValue>(size)); }
ns::Value GeometryValue::valueWithCGRect(const cg::Rect& rect) { return ns::Value(std::make_shared<GeometryValue>(rect)); }
ns::Value GeometryValue::valueWithUIEdgeInsets(const cg::EdgeInsets& insets) {
    return ns::Value(std::make_shared<GeometryValue>(insets));
}
ns::Value GeometryValue::valueWithCGAffineTransform(const cg::AffineTransform& transform) {
    return ns::Value(std::make_shared<GeometryValue>(transform));
}

template <class T>
std::optional<T> GeometryValue::unbox(const ns::Value& value) {
    auto boxed = value.asObject<GeometryValue>();
    if (!boxed) return std::nullopt;
    if (const T* t = std::get_if<T>(&boxed->content_)) return *t;
    return std::nullopt;
}

std::optional<cg::Point> GeometryValue::CGPointValue(const ns::Value& value) { return unbox<cg::Point>(value); }
std::optional<cg::Size> GeometryValue::CGSizeValue(const ns::Value& value) { return unbox<cg::Size>(value); }
std::optional<cg::Rect> GeometryValue::CGRectValue(const ns::Value& value) { return unbox<cg::Rect>(value); }
std::optional<cg::EdgeInsets> GeometryValue::UIEdgeInsetsValue(const ns::Value& value) {
    return unbox<cg::EdgeInsets>(value);
}
std::optional<cg::AffineTransform> GeometryValue::CGAffineTransformValue(const ns::Value& value) {
    return unbox<cg::AffineTransform>(value);
}

std::string GeometryValue::objCType() const {
    struct Visitor {
        std::string operator()(const cg::Point&) const { return "{CGPoint=dd}"; }
        std::string operator()(const cg::Size&) const { return "{CGSize=dd}"; }
        std::string operator()(const cg::Rect&) const { return "{CGRect={CGPoint=dd}{CGSize=dd}}"; }
        std::string operator()(const cg::EdgeInsets&) const { return "{UIEdgeInsets=dddd}"; }
        std::string operator()(const cg::AffineTransform&) const { return "{CGAffineTransform=dddddd}"; }
    };
    return std::visit(Visitor{}, content_);
}

std::string GeometryValue::description() const {
    struct Visitor {
        std::string operator()(const cg::Point& p) const { return "NSPoint: " + cg::toString(p); }
        std::string operator()(const cg::Size& s) const { return "NSSize: " + cg::toString(s); }
        std::string operator()(const cg::Rect& r) const { return "NSRect: " + cg::toString(r); }
        std::string operator()(const cg::EdgeInsets& e) const { return "UIEdgeInsets: " + cg::toString(e); }
        std::string operator()(const cg::AffineTransform& t) const { return "CGAffineTransform: " + cg::toString(t); }
    };
    return std::visit(Visitor{}, content_);
}

bool GeometryValue::isEqual(const ns::Object& other) const {
    const auto* o = dynamic_cast<const GeometryValue*>(&other);
    return o && o->content_ == content_;
}

}  // namespace ql::ui
