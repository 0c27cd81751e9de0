#pragma once
// Finding one's way around a view tree for the keyboard manager and the return-key handler: the
// controller owning a view and the top-most presented one, the nearest enclosing view of a class, the
// views that can take focus in a Previous/Next group and their orders, the platform's alert and
// search-bar text fields, short debug texts, and two values kept with views and controllers (a per-view
// keyboard distance and a layout-guide constraint).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Class.h"
#include "platform/graphics/Geometry.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace ql {

using KBViews = std::vector<std::shared_ptr<ui::View>>;

// ---- Views ----
// The first controller along the view's responder chain (after the view itself).
ui::ViewController* viewController(const ui::View& view);
// The controller among the window's root-and-presented chain that holds the view.
ui::ViewController* topMostController(const ui::View& view);
// The nearest superview of the class (or a subclass) that is not one of the platform's private scroll
// views inside tables and paging views.
ui::View* superviewOfClassType(const ui::View& view, const ns::Class& cls);
// Whether the view can take focus in a Previous/Next group.
bool _KBcanBecomeFirstResponder(ui::View& view);
// The focusable subviews of the view's superview (the view included), in subview order.
KBViews responderSiblings(const ui::View& view);
// Every focusable view inside the view, by position at each level; focusable views are not searched.
KBViews deepResponderViews(const ui::View& view);
// The view's transform relative to `other` (null: the view's window).
cg::AffineTransform convertTransformToView(const ui::View& view, const ui::View* other);
std::int64_t depth(const ui::View& view);
std::string subHierarchy(const ui::View& view);
std::string superHierarchy(const ui::View& view);
std::string debugHierarchy(const ui::View& view);
bool isSearchBarTextField(const ui::View& view);
bool isAlertViewTextField(const ui::View& view);
bool isAskingCanBecomeFirstResponder(const ui::View& view);
void _setIsAskingCanBecomeFirstResponder(ui::View& view, bool asking);

// "<Class 0x…>".
std::string _KBDescription(const ns::Object& object);

// ---- Lists ----
// Stable sorts: ascending tag; by frame origin, y first, then x (each in its own superview's coordinates).
KBViews sortedArrayByTag(const KBViews& views);
KBViews sortedArrayByPosition(const KBViews& views);

// ---- Windows ----
// The root controller followed through its presented controllers to the last one.
ui::ViewController* topMostController(const ui::Window& window);
// From topMostController, down through navigation controllers' top controllers.
ui::ViewController* currentViewController(const ui::Window& window);

// ---- Kept values ----
// Largest finite double without a value of the view's own (read: use the manager's distance).
double keyboardDistanceFromTextField(const ui::View& view);
// Stores max(0, distance) as a 32-bit float.
void setKeyboardDistanceFromTextField(ui::View& view, double distance);
std::shared_ptr<ui::LayoutConstraint> KBLayoutGuideConstraint(const ui::ViewController& controller);
void setKBLayoutGuideConstraint(ui::ViewController& controller, std::shared_ptr<ui::LayoutConstraint> constraint);

}  // namespace ql
