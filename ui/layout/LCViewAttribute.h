#pragma once
// LCViewAttribute: one layout attribute of one view, the right-hand side of a relation in the constraint
// language. The item taking part in the platform constraint is the view itself, or a controller's layout
// guide with the controller's view as `view`.

#include <memory>

#include "platform/foundation/Object.h"
#include "platform/ui/LayoutTypes.h"
#include "platform/ui/View.h"

namespace ql {

class LCViewAttribute : public ns::Object {
    QL_OBJECT(LCViewAttribute, ns::Object)
public:
    LCViewAttribute(const std::shared_ptr<ui::View>& view, ui::LayoutAttribute layoutAttribute);
    LCViewAttribute(const std::shared_ptr<ui::View>& view, const std::shared_ptr<ui::View>& item,
                    ui::LayoutAttribute layoutAttribute);

    std::shared_ptr<ui::View> view() const { return view_.lock(); }
    std::shared_ptr<ui::View> item() const { return item_.lock(); }
    ui::LayoutAttribute layoutAttribute() const { return layoutAttribute_; }
    bool isSizeAttribute() const { return ui::isSizeAttribute(layoutAttribute_); }

    // Same view (identity) and attribute; an object of another class only equals itself.
    bool isEqual(const ns::Object& other) const override;
    std::size_t hash() const;

private:
    std::weak_ptr<ui::View> view_;
    std::weak_ptr<ui::View> item_;
    ui::LayoutAttribute layoutAttribute_;
};

}  // namespace ql
