#pragma once
// LCLayoutConstraint: the platform constraint that the constraint language makes, carrying the debug key
// of the declaration that made it. Only constraints of this class are updated in place.

#include "platform/foundation/Value.h"
#include "platform/ui/LayoutConstraint.h"

namespace ql {

class LCLayoutConstraint : public ui::LayoutConstraint {
    QL_OBJECT_NAMED(LCLayoutConstraint, ui::LayoutConstraint, "LCLayoutConstraint")
public:
    using ui::LayoutConstraint::LayoutConstraint;

    const ns::Value& lc_key() const { return key_; }
    void setLc_key(ns::Value key) { key_ = std::move(key); }

private:
    ns::Value key_;
};

}  // namespace ql
