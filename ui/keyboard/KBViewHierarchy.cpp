#include "ui/keyboard/KBViewHierarchy.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "platform/ui/NavigationController.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"

namespace ql {

namespace {

const char kAskingKey = 0;
const char kDistanceKey = 0;
const char kLayoutGuideConstraintKey = 0;

// The platform's private classes, by name; a name this platform lacks matches nothing.
struct PrivateClasses {
    const ns::Class* alertSheetTextField = ns::Class::named("UIAlertSheetTextField");
    const ns::Class* alertControllerTextField = ns::Class::named("_UIAlertControllerTextField");
    const ns::Class* tableViewCellScrollView = ns::Class::named("UITableViewCellScrollView");
    const ns::Class* tableViewWrapperView = ns::Class::named("UITableViewWrapperView");
    const ns::Class* queuingScrollView = ns::Class::named("_UIQueuingScrollView");
    const ns::Class* searchBarTextField = ns::Class::named("UISearchBarTextField");
    const ns::Class* searchBar = ns::Class::named("UISearchBar");
};

const PrivateClasses& privateClasses() {
    static const PrivateClasses classes;
    return classes;
}

bool isKind(const ns::Object& object, const ns::Class* cls) { return cls && object.isKindOfClass(*cls); }

std::string format(const char* pattern, double a, double b, double c = 0, double d = 0) {
    char text[160];
    std::snprintf(text, sizeof text, pattern, a, b, c, d);
    return text;
}

}  // namespace

ui::ViewController* viewController(const ui::View& view) {
    for (ui::Responder* r = view.nextResponder(); r; r = r->nextResponder()) {
        if (auto* controller = dynamic_cast<ui::ViewController*>(r)) return controller;
    }
    return nullptr;
}

ui::ViewController* topMostController(const ui::View& view) {
    std::vector<ui::ViewController*> chain;
    if (const ui::Window* window = view.window()) {
        for (ui::ViewController* c = window->rootViewController().get(); c; c = c->presentedViewController().get()) {
            chain.push_back(c);
        }
    }
    ui::ViewController* mine = viewController(view);
    if (!mine) return nullptr;
    const auto inChain = [&](const ui::ViewController* c) {
        return std::find(chain.begin(), chain.end(), c) != chain.end();
    };
    if (inChain(mine)) return mine;
    for (ui::Responder* r = mine->nextResponder(); r; r = r->nextResponder()) {
        auto* controller = dynamic_cast<ui::ViewController*>(r);
        if (controller && inChain(controller)) return controller;
    }
    return nullptr;
}

ui::View* superviewOfClassType(const ui::View& view, const ns::Class& cls) {
    const PrivateClasses& hidden = privateClasses();
    for (ui::View* v = view.superview(); v; v = v->superview()) {
        if (v->isKindOfClass(cls) && !isKind(*v, hidden.tableViewCellScrollView) &&
            !isKind(*v, hidden.tableViewWrapperView) && !isKind(*v, hidden.queuingScrollView)) {
            return v;
        }
    }
    return nullptr;
}

bool _KBcanBecomeFirstResponder(ui::View& view) {
    _setIsAskingCanBecomeFirstResponder(view, true);
    bool can = view.canBecomeFirstResponder() && view.isUserInteractionEnabled() && !view.isHidden() &&
               view.alpha() != 0 && !isAlertViewTextField(view) && !isSearchBarTextField(view);
    if (can) {
        if (const auto* field = dynamic_cast<const ui::TextField*>(&view)) {
            can = field->isEnabled();
        } else if (const auto* text = dynamic_cast<const ui::TextView*>(&view)) {
            can = text->isEditable();
        }
    }
    _setIsAskingCanBecomeFirstResponder(view, false);
    return can;
}

KBViews responderSiblings(const ui::View& view) {
    KBViews siblings;
    if (const ui::View* parent = view.superview()) {
        for (const auto& sub : parent->subviews()) {
            if (_KBcanBecomeFirstResponder(*sub)) siblings.push_back(sub);
        }
    }
    return siblings;
}

KBViews deepResponderViews(const ui::View& view) {
    KBViews found;
    for (const auto& sub : sortedArrayByPosition(view.subviews())) {
        if (_KBcanBecomeFirstResponder(*sub)) {
            found.push_back(sub);
        } else if (!sub->subviews().empty()) {
            const KBViews inner = deepResponderViews(*sub);
            found.insert(found.end(), inner.begin(), inner.end());
        }
    }
    return found;
}

namespace {

cg::AffineTransform transformInWindow(const ui::View& view) {
    const ui::View* parent = view.superview();
    return parent ? cg::concat(view.transform(), transformInWindow(*parent)) : view.transform();
}

}  // namespace

cg::AffineTransform convertTransformToView(const ui::View& view, const ui::View* other) {
    if (!other) other = view.window();
    const cg::AffineTransform mine = transformInWindow(view);
    const cg::AffineTransform theirs = other ? transformInWindow(*other) : cg::AffineTransform::identity();
    return cg::concat(mine, cg::invert(theirs));
}

std::int64_t depth(const ui::View& view) {
    std::int64_t levels = 0;
    for (const ui::View* v = view.superview(); v; v = v->superview()) ++levels;
    return levels;
}

std::string debugHierarchy(const ui::View& view) {
    const cg::Rect f = view.frame();
    std::string text = std::string(view.className()) + ": " +
                       format("( %.0f, %.0f, %.0f, %.0f )", cg::minX(f), cg::minY(f), f.size.width, f.size.height);
    if (const auto* scroll = dynamic_cast<const ui::ScrollView*>(&view)) {
        text += "contentSize: " + format("( %.0f, %.0f )", scroll->contentSize().width, scroll->contentSize().height);
    }
    if (!cg::isIdentity(view.transform())) text += "transform: " + cg::toString(view.transform());
    return text;
}

std::string subHierarchy(const ui::View& view) {
    std::string text = "\n";
    for (std::int64_t i = 0; i < depth(view); ++i) text += "|  ";
    text += debugHierarchy(view);
    for (const auto& sub : view.subviews()) text += subHierarchy(*sub);
    return text;
}

std::string superHierarchy(const ui::View& view) {
    std::string text = view.superview() ? superHierarchy(*view.superview()) : "\n";
    for (std::int64_t i = 0; i < depth(view); ++i) text += "|  ";
    return text + debugHierarchy(view) + "\n";
}

bool isSearchBarTextField(const ui::View& view) {
    return isKind(view, privateClasses().searchBarTextField) || isKind(view, privateClasses().searchBar);
}

bool isAlertViewTextField(const ui::View& view) {
    return isKind(view, privateClasses().alertSheetTextField) || isKind(view, privateClasses().alertControllerTextField);
}

bool isAskingCanBecomeFirstResponder(const ui::View& view) { return view.associatedValue(&kAskingKey).boolValue(); }

void _setIsAskingCanBecomeFirstResponder(ui::View& view, bool asking) {
    view.setAssociatedValue(&kAskingKey, ns::Value(asking));
}

std::string _KBDescription(const ns::Object& object) {
    return "<" + std::string(object.className()) + " " + ns::addressText(&object) + ">";
}

KBViews sortedArrayByTag(const KBViews& views) {
    KBViews sorted = views;
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a->tag() < b->tag(); });
    return sorted;
}

KBViews sortedArrayByPosition(const KBViews& views) {
    KBViews sorted = views;
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
        const cg::Point p = a->frame().origin;
        const cg::Point q = b->frame().origin;
        return p.y != q.y ? p.y < q.y : p.x < q.x;
    });
    return sorted;
}

ui::ViewController* topMostController(const ui::Window& window) {
    ui::ViewController* top = window.rootViewController().get();
    while (top && top->presentedViewController()) top = top->presentedViewController().get();
    return top;
}

ui::ViewController* currentViewController(const ui::Window& window) {
    ui::ViewController* current = topMostController(window);
    while (auto* navigation = dynamic_cast<ui::NavigationController*>(current)) {
        if (!navigation->topViewController()) break;
        current = navigation->topViewController().get();
    }
    return current;
}

double keyboardDistanceFromTextField(const ui::View& view) {
    const ns::Value value = view.associatedValue(&kDistanceKey);
    if (value.isNil()) return std::numeric_limits<double>::max();
    return static_cast<double>(static_cast<float>(value.doubleValue()));
}

void setKeyboardDistanceFromTextField(ui::View& view, double distance) {
    view.setAssociatedValue(&kDistanceKey, ns::Value(static_cast<float>(std::max(0.0, distance))));
}

std::shared_ptr<ui::LayoutConstraint> KBLayoutGuideConstraint(const ui::ViewController& controller) {
    return controller.associatedValue(&kLayoutGuideConstraintKey).asObject<ui::LayoutConstraint>();
}

void setKBLayoutGuideConstraint(ui::ViewController& controller, std::shared_ptr<ui::LayoutConstraint> constraint) {
    controller.setAssociatedValue(&kLayoutGuideConstraintKey, ns::Value(std::move(constraint)));
}

}  // namespace ql
