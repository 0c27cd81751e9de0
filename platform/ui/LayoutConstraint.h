#pragma once
// ui::LayoutConstraint: one linear relation between layout attributes of views,
// item1.attribute1 (relation) multiplier · item2.attribute2 + constant, or between one view's attribute
// and a constant. A constraint is active while a view holds it (addConstraint, or activation, which picks
// the nearest common ancestor of its items); the layout passes of that view's tree then solve it together
// with the views' intrinsic sizes and the frames of views that are placed by their frames.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/ui/LayoutTypes.h"

namespace ql::ui {

class LayoutEngine;
class View;

class LayoutConstraint : public ns::Object {
    QL_OBJECT_NAMED(LayoutConstraint, ns::Object, "NSLayoutConstraint")
public:
    // Raises "NSInvalidArgumentException" where the platform refuses the pair: a missing first item or
    // attribute, a second item without an attribute, attributes of different axes, a location related to
    // a size, leading or trailing related to left or right, or a multiplier or constant that is not a
    // finite number. A location without a second item is read in its superview's coordinates. Items are
    // held weakly.
    LayoutConstraint(const std::shared_ptr<View>& item1, LayoutAttribute attribute1, LayoutRelation relation,
                     const std::shared_ptr<View>& item2, LayoutAttribute attribute2, double multiplier,
                     double constant);
    ~LayoutConstraint() override;

    // Made as T, a LayoutConstraint or a subclass that keeps this constructor.
    template <class T = LayoutConstraint>
    static std::shared_ptr<T> constraintWithItem(const std::shared_ptr<View>& item1, LayoutAttribute attribute1,
                                                 LayoutRelation relation, const std::shared_ptr<View>& item2,
                                                 LayoutAttribute attribute2, double multiplier, double constant) {
        return std::make_shared<T>(item1, attribute1, relation, item2, attribute2, multiplier, constant);
    }

    // Activation adds each constraint to the nearest common ancestor of its items (a view counts as its own
    // ancestor) and raises "NSGenericException" when they have none; deactivation removes each from the
    // view that holds it.
    static void activateConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);
    static void deactivateConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);

    std::shared_ptr<View> firstItem() const { return firstItem_.lock(); }
    LayoutAttribute firstAttribute() const { return firstAttribute_; }
    LayoutRelation relation() const { return relation_; }
    std::shared_ptr<View> secondItem() const { return secondItem_.lock(); }
    LayoutAttribute secondAttribute() const { return secondAttribute_; }
    double multiplier() const { return multiplier_; }

    // A change of an active constraint re-solves its tree at once, from the current solution, and asks for
    // layout where frames change.
    double constant() const { return constant_; }
    void setConstant(double constant);

    // From 1 to 1000 ("NSInvalidArgumentException" otherwise). An active constraint cannot move between
    // required and optional ("NSInternalInconsistencyException").
    LayoutPriority priority() const { return priority_; }
    void setPriority(LayoutPriority priority);

    bool isActive() const { return holder_ != nullptr; }
    void setActive(bool active);

    const std::optional<std::string>& identifier() const { return identifier_; }
    void setIdentifier(std::optional<std::string> identifier) { identifier_ = std::move(identifier); }

    // "<NSLayoutConstraint:0x… 'name' UILabel:0x….leading == 0.5*UIView:0x….width + 20 @750>". A
    // replacement set with setDescriptionOverride speaks for every constraint, subclasses and the log of
    // unsatisfiable constraints included; an empty function restores the platform's text.
    std::string description() const override;
    using DescriptionOverride = std::function<std::string(const LayoutConstraint&)>;
    static void setDescriptionOverride(DescriptionOverride override);

protected:
    // For the constraints that layout makes itself, which may relate a location to a size.
    struct Unchecked {};
    LayoutConstraint(Unchecked, const std::shared_ptr<View>& item1, LayoutAttribute attribute1,
                     LayoutRelation relation, const std::shared_ptr<View>& item2, LayoutAttribute attribute2,
                     double multiplier, double constant, LayoutPriority priority);

private:
    friend class View;
    friend class LayoutEngine;
    friend struct ViewLayoutState;

    void heldBy(View* holder);
    // How many constraints views hold now, in the whole program: layout passes have nothing to solve while
    // there are none.
    static std::size_t activeCount() { return activeCount_; }

    std::weak_ptr<View> firstItem_;
    std::weak_ptr<View> secondItem_;
    LayoutAttribute firstAttribute_;
    LayoutAttribute secondAttribute_;
    LayoutRelation relation_;
    double multiplier_;
    double constant_;
    LayoutPriority priority_ = LayoutPriorityRequired;
    std::optional<std::string> identifier_;
    // The view holding the constraint, and the layout engine solving it, if any.
    View* holder_ = nullptr;
    LayoutEngine* engine_ = nullptr;
    // Told once that its items are not inside the view that holds it.
    bool reportedUnprepared_ = false;

    inline static std::size_t activeCount_ = 0;
};

}  // namespace ql::ui
