#include "ui/layout/LCViewAttribute.h"

#include <bit>
#include <cstdint>

namespace ql {

LCViewAttribute::LCViewAttribute(const std::shared_ptr<ui::View>& view, ui::LayoutAttribute layoutAttribute)
    : LCViewAttribute(view, view, layoutAttribute) {}

LCViewAttribute::LCViewAttribute(const std::shared_ptr<ui::View>& view, const std::shared_ptr<ui::View>& item,
                                 ui::LayoutAttribute layoutAttribute)
    : view_(view), item_(item), layoutAttribute_(layoutAttribute) {}

bool LCViewAttribute::isEqual(const ns::Object& other) const {
    const auto* attribute = dynamic_cast<const LCViewAttribute*>(&other);
    if (!attribute) return this == &other;
    return view() == attribute->view() && layoutAttribute_ == attribute->layoutAttribute_;
}

std::size_t LCViewAttribute::hash() const {
    const auto viewHash = static_cast<std::uint64_t>(std::hash<ui::View*>{}(view().get()));
    return static_cast<std::size_t>(std::rotr(viewHash, 32) ^ static_cast<std::uint64_t>(layoutAttribute_));
}

}  // namespace ql
