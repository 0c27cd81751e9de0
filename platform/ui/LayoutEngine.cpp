#include "platform/ui/LayoutEngine.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/foundation/Log.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace ql::ui {

namespace {

// A constraint layout makes itself, which may relate a location to a size. Not a class of the runtime's:
// the ones below register under the platform's names.
class SystemLayoutConstraint : public LayoutConstraint {
public:
    SystemLayoutConstraint(const std::shared_ptr<View>& item1, LayoutAttribute attribute1, LayoutRelation relation,
                           const std::shared_ptr<View>& item2, LayoutAttribute attribute2, double multiplier,
                           double constant, LayoutPriority priority)
        : LayoutConstraint(Unchecked{}, item1, attribute1, relation, item2, attribute2, multiplier, constant,
                           priority) {}
};

// The constraints that stand for a frame-placed view's frame and for a view's intrinsic size report
// themselves under the platform's class names, so that logs read as the platform's do.
class AutoresizingMaskLayoutConstraint final : public SystemLayoutConstraint {
    QL_OBJECT_NAMED(AutoresizingMaskLayoutConstraint, LayoutConstraint, "NSAutoresizingMaskLayoutConstraint")
public:
    using SystemLayoutConstraint::SystemLayoutConstraint;
};

class ContentSizeLayoutConstraint final : public SystemLayoutConstraint {
    QL_OBJECT_NAMED(ContentSizeLayoutConstraint, LayoutConstraint, "NSContentSizeLayoutConstraint")
public:
    using SystemLayoutConstraint::SystemLayoutConstraint;
};

template <class T>
std::shared_ptr<LayoutConstraint> make(const std::shared_ptr<View>& item1, LayoutAttribute attribute1,
                                       LayoutRelation relation, const std::shared_ptr<View>& item2,
                                       LayoutAttribute attribute2, double multiplier, double constant,
                                       LayoutPriority priority) {
    return std::make_shared<T>(item1, attribute1, relation, item2, attribute2, multiplier, constant, priority);
}

std::shared_ptr<View> sharedView(View* view) {
    return view ? std::static_pointer_cast<View>(view->weak_from_this().lock()) : nullptr;
}

// Priorities become strengths that grow fourfold every hundred points: a preference of 750 outweighs one
// of 250 a thousand times, so that in practice higher priorities win, while priorities a point apart
// still trade nearly one for one.
double strengthOf(LayoutPriority priority) {
    return priority >= LayoutPriorityRequired ? solver::kRequired : std::pow(10.0, 6.0 * priority / 1000.0);
}

solver::Relation relationOf(LayoutRelation relation) {
    switch (relation) {
        case LayoutRelation::LessThanOrEqual: return solver::Relation::LessThanOrEqual;
        case LayoutRelation::GreaterThanOrEqual: return solver::Relation::GreaterThanOrEqual;
        case LayoutRelation::Equal: break;
    }
    return solver::Relation::Equal;
}

// Solved values within a millionth of a 64th of a point are taken as that, so that whole and half points
// come out exact.
double snapped(double value) {
    const double rounded = std::round(value * 64) / 64;
    return std::abs(rounded - value) < 1e-6 ? rounded : value;
}

// Where a view is now, as constraint layout places it: by centre and bounds size.
cg::Rect placedFrame(const View& view) {
    const cg::Size size = view.bounds().size;
    const cg::Point center = view.center();
    return {center.x - size.width / 2, center.y - size.height / 2, size.width, size.height};
}

// Compared as layout would set the view, by bounds size and centre: a frame read back from the centre
// need not be the solved one to the last bit (off the pixel grid it seldom is), and asking for layout on
// that difference would ask again after every pass.
bool isPlacedAt(const View& view, const cg::Rect& frame) {
    return view.bounds().size == frame.size && view.center() == LayoutEngine::centerOf(frame);
}

void addVariable(solver::Expression& expression, solver::Variable variable, double coefficient) {
    if (variable.isValid()) expression.add(variable, coefficient);
}

}  // namespace

// ---- The state of a view ----

ViewLayoutState::ViewLayoutState() = default;

ViewLayoutState::~ViewLayoutState() {
    for (const auto& constraint : constraints) constraint->heldBy(nullptr);
}

// ---- The engine ----

LayoutEngine::LayoutEngine(View& root) : LayoutEngine(root, Purpose::Layout) {}

LayoutEngine::LayoutEngine(View& root, Purpose purpose) : root_(&root), purpose_(purpose) {}

LayoutEngine::~LayoutEngine() {
    for (auto& entry : entries_) {
        if (entry.second.constraint->engine_ == this) entry.second.constraint->engine_ = nullptr;
    }
}

View* LayoutEngine::nearestCommonAncestor(View* a, const View* b) {
    for (View* view = a; view; view = view->superview()) {
        if (b->isDescendantOfView(view)) return view;
    }
    return nullptr;
}

double LayoutEngine::valueOf(solver::Variable variable) const {
    return variable.isValid() ? solver_.value(variable) : 0.0;
}

LayoutEngine::Item* LayoutEngine::find(const View* view) {
    auto it = items_.find(view);
    return it == items_.end() ? nullptr : &it->second;
}

const LayoutEngine::Item* LayoutEngine::find(const View* view) const {
    auto it = items_.find(view);
    return it == items_.end() ? nullptr : &it->second;
}

void LayoutEngine::update() {
    ++stamp_;
    order_.clear();
    std::vector<Wanted> wanted;
    gather(*root_, wanted);
    // A view's place is stated relative to its superview, so the superviews of all views taking part
    // take part too, up to the top.
    for (std::size_t i = 0; i < order_.size(); ++i) {
        View* view = order_[i]->view;
        if (view != root_) touch(*view->superview());
    }
    std::erase_if(items_, [&](const auto& item) { return item.second.stamp != stamp_; });
    inUse_ = purpose_ == Purpose::Fitting || !wanted.empty() ||
             std::any_of(order_.begin(), order_.end(),
                         [&](const Item* item) { return item->byConstraints && item->view != root_; });
    if (!inUse_) return;

    std::vector<Wanted> all;
    for (Item* item : order_) {
        if (item->byConstraints) {
            for (auto& slot : item->frame) slot.reset();
            stateContent(*item);
        } else {
            for (auto& slot : item->content) slot.reset();
            stateFrame(*item);
        }
        for (const auto& slot : item->frame) {
            if (slot) all.push_back({slot.get(), std::nullopt});
        }
        for (const auto& slot : item->content) {
            if (slot) all.push_back({slot.get(), std::nullopt});
        }
    }
    if (purpose_ == Purpose::Fitting) {
        keep(fitting_[0], &LayoutEngine::makeFitting, *root_, LayoutAttribute::Width, LayoutRelation::Equal, nullptr,
             LayoutAttribute::NotAnAttribute, 1, target_.width, fittingPriority_[0]);
        keep(fitting_[1], &LayoutEngine::makeFitting, *root_, LayoutAttribute::Height, LayoutRelation::Equal, nullptr,
             LayoutAttribute::NotAnAttribute, 1, target_.height, fittingPriority_[1]);
        all.push_back({fitting_[0].get(), std::nullopt});
        all.push_back({fitting_[1].get(), std::nullopt});
    }
    all.insert(all.end(), wanted.begin(), wanted.end());
    reconcile(all);
    settleWrappingText();
    if (purpose_ == Purpose::Layout) askForLayoutWhereFramesChange();
}

void LayoutEngine::gather(View& view, std::vector<Wanted>& wanted) {
    ViewLayoutState* state = view.layoutState_.get();
    // A former top view that joined this tree no longer needs an engine of its own.
    if (purpose_ == Purpose::Layout && state && &view != root_ && state->engine) state->engine.reset();
    if (!view.translatesAutoresizingMaskIntoConstraints() || (purpose_ == Purpose::Fitting && &view == root_)) {
        touch(view).byConstraints = true;
    }
    if (state) {
        for (const auto& constraint : state->constraints) {
            const auto first = constraint->firstItem();
            const auto second = constraint->secondItem();
            if (!first) continue;
            if (!first->isDescendantOfView(&view) || (second && !second->isDescendantOfView(&view))) {
                if (!constraint->reportedUnprepared_) {
                    constraint->reportedUnprepared_ = true;
                    ns::Log::write("The view hierarchy is not prepared for the constraint: " +
                                   constraint->description() +
                                   "\n\tWhen added to a view, the constraint's items must be descendants of that view "
                                   "(or the view itself).");
                }
                continue;
            }
            const Item* firstItem = &touch(*first);
            const Item* secondItem = second ? &touch(*second) : nullptr;
            wanted.push_back({constraint.get(), Operands{firstItem, secondItem}});
        }
    }
    for (const auto& sub : view.subviews()) gather(*sub, wanted);
}

LayoutEngine::Item& LayoutEngine::touch(View& view) {
    auto [it, inserted] = items_.try_emplace(&view);
    Item& item = it->second;
    // An entry left by a view that has gone, at the address of a new one, starts over.
    if (inserted || (item.owned && item.weak.expired())) {
        item = Item{};
        item.view = &view;
        item.weak = sharedView(&view);
        item.owned = !item.weak.expired();
        if (&view != root_) {
            item.left = solver_.makeVariable();
            item.top = solver_.makeVariable();
        }
        item.width = solver_.makeVariable();
        item.height = solver_.makeVariable();
    }
    if (item.stamp != stamp_) {
        item.stamp = stamp_;
        item.byConstraints = false;
        order_.push_back(&item);
    }
    return item;
}

// ---- The constraints the engine states ----

std::shared_ptr<LayoutConstraint> LayoutEngine::makeFitting(const std::shared_ptr<View>& item,
                                                            LayoutAttribute attribute, LayoutRelation relation,
                                                            const std::shared_ptr<View>& item2,
                                                            LayoutAttribute attribute2, double multiplier,
                                                            double constant, LayoutPriority priority) {
    return std::shared_ptr<LayoutConstraint>(new LayoutConstraint(LayoutConstraint::Unchecked{}, item, attribute,
                                                                  relation, item2, attribute2, multiplier, constant,
                                                                  priority));
}

// Keeps the same constraint object while only its constant changes, so that the solver moves it instead
// of replacing it.
void LayoutEngine::keep(std::shared_ptr<LayoutConstraint>& slot, Maker make, View& item, LayoutAttribute attribute,
                        LayoutRelation relation, View* item2, LayoutAttribute attribute2, double multiplier,
                        double constant, LayoutPriority priority) {
    if (slot && slot->firstAttribute_ == attribute && slot->relation_ == relation &&
        slot->secondItem_.lock().get() == item2 && slot->secondAttribute_ == attribute2 &&
        slot->multiplier_ == multiplier && slot->priority_ == priority) {
        slot->constant_ = constant;
        return;
    }
    slot = make(sharedView(&item), attribute, relation, sharedView(item2), attribute2, multiplier, constant, priority);
}

// A frame-placed view keeps its frame, and follows its superview's size as its autoresizing mask says:
// each flexible part of an axis takes a share of a size change in proportion to its length, which makes
// every edge a linear function of the superview's size.
void LayoutEngine::stateFrame(Item& item) {
    View& view = *item.view;
    if (&view == root_) {
        const cg::Size size = view.bounds().size;
        keep(item.frame[2], &make<AutoresizingMaskLayoutConstraint>, view, LayoutAttribute::Width,
             LayoutRelation::Equal, nullptr, LayoutAttribute::NotAnAttribute, 1, size.width, LayoutPriorityRequired);
        keep(item.frame[3], &make<AutoresizingMaskLayoutConstraint>, view, LayoutAttribute::Height,
             LayoutRelation::Equal, nullptr, LayoutAttribute::NotAnAttribute, 1, size.height, LayoutPriorityRequired);
        return;
    }
    View& superview = *view.superview();
    const cg::Rect frame = placedFrame(view);
    const cg::Size superSize = superview.bounds().size;
    const unsigned mask = superview.autoresizesSubviews() ? view.autoresizingMask() : 0;
    auto axis = [&](std::shared_ptr<LayoutConstraint>& originSlot, std::shared_ptr<LayoutConstraint>& lengthSlot,
                    LayoutAttribute originAttribute, LayoutAttribute lengthAttribute, double origin, double length,
                    double superLength, bool flexLeading, bool flexLength, bool flexTrailing) {
        const int flexible = int(flexLeading) + int(flexLength) + int(flexTrailing);
        const double trailing = superLength - origin - length;
        const double total = (flexLeading ? origin : 0) + (flexLength ? length : 0) + (flexTrailing ? trailing : 0);
        auto share = [&](bool flex, double part) {
            if (!flex) return 0.0;
            return total != 0 ? part / total : 1.0 / flexible;
        };
        auto state = [&](std::shared_ptr<LayoutConstraint>& slot, LayoutAttribute attribute, double value,
                         double share) {
            keep(slot, &make<AutoresizingMaskLayoutConstraint>, view, attribute, LayoutRelation::Equal,
                 share != 0 ? &superview : nullptr, share != 0 ? lengthAttribute : LayoutAttribute::NotAnAttribute,
                 share != 0 ? share : 1, value - share * superLength, LayoutPriorityRequired);
        };
        state(originSlot, originAttribute, origin, share(flexLeading, origin));
        state(lengthSlot, lengthAttribute, length, share(flexLength, length));
    };
    axis(item.frame[0], item.frame[2], LayoutAttribute::Left, LayoutAttribute::Width, frame.origin.x,
         frame.size.width, superSize.width, mask & ViewAutoresizingFlexibleLeftMargin,
         mask & ViewAutoresizingFlexibleWidth, mask & ViewAutoresizingFlexibleRightMargin);
    axis(item.frame[1], item.frame[3], LayoutAttribute::Top, LayoutAttribute::Height, frame.origin.y,
         frame.size.height, superSize.height, mask & ViewAutoresizingFlexibleTopMargin,
         mask & ViewAutoresizingFlexibleHeight, mask & ViewAutoresizingFlexibleBottomMargin);
}

// Hugging keeps a view from growing beyond its intrinsic size, compression resistance from shrinking
// below it, each per axis with its own priority.
void LayoutEngine::stateContent(Item& item) {
    View& view = *item.view;
    const auto* label = dynamic_cast<const Label*>(&view);
    item.wraps = label && label->numberOfLines() != 1 && label->preferredMaxLayoutWidth() == 0;
    const cg::Size size = contentSize(item);
    const ViewLayoutState& state = view.layoutState();
    for (int axis = 0; axis < 2; ++axis) {
        const double value = axis == 0 ? size.width : size.height;
        auto& hug = item.content[2 * axis];
        auto& resist = item.content[2 * axis + 1];
        if (value < 0) {
            hug.reset();
            resist.reset();
            continue;
        }
        const auto attribute = axis == 0 ? LayoutAttribute::Width : LayoutAttribute::Height;
        keep(hug, &make<ContentSizeLayoutConstraint>, view, attribute, LayoutRelation::LessThanOrEqual, nullptr,
             LayoutAttribute::NotAnAttribute, 1, value, state.hugging[axis]);
        keep(resist, &make<ContentSizeLayoutConstraint>, view, attribute, LayoutRelation::GreaterThanOrEqual, nullptr,
             LayoutAttribute::NotAnAttribute, 1, value, state.compressionResistance[axis]);
    }
}

// Text that wraps has no height of its own until it has a width: once a solution gives the label one, its
// intrinsic size becomes the text's size wrapped at that width.
cg::Size LayoutEngine::contentSize(Item& item) {
    View& view = *item.view;
    ViewLayoutState& state = view.layoutState();
    if (item.wraps) {
        const double width = valueOf(item.width);
        if (width > 0) {
            if (!state.wrappedSize || state.wrappedSize->first != width) {
                cg::Size size = static_cast<const Label&>(view).sizeThatFits({width, 0});
                size.width = std::min(size.width, width);
                state.wrappedSize = {width, size};
            }
            return state.wrappedSize->second;
        }
    }
    if (!state.intrinsicSize) state.intrinsicSize = view.intrinsicContentSize();
    return *state.intrinsicSize;
}

void LayoutEngine::settleWrappingText() {
    for (int round = 0; round < 3; ++round) {
        bool changed = false;
        for (Item* item : order_) {
            if (!item->wraps || !item->byConstraints || (item->owned && item->weak.expired())) continue;
            const cg::Size size = contentSize(*item);
            for (int slot = 0; slot < 4; ++slot) {
                auto& constraint = item->content[slot];
                const double value = slot < 2 ? size.width : size.height;
                if (!constraint || constraint->constant_ == value) continue;
                constraint->constant_ = value;
                restate(entries_.at(constraint.get()), false);
                changed = true;
            }
        }
        if (!changed) return;
    }
}

// ---- Keeping the solver in step ----

void LayoutEngine::reconcile(const std::vector<Wanted>& wanted) {
    // One lookup per constraint: the entries found here are restated below (a node's address outlives
    // rehashing and the erasing of other nodes).
    entries_.reserve(wanted.size());
    std::vector<Entry*> current;
    current.reserve(wanted.size());
    std::size_t kept = 0;
    for (const auto& [constraint, operands] : wanted) {
        auto [it, inserted] = entries_.try_emplace(constraint);
        Entry& entry = it->second;
        if (inserted) entry.constraint = std::static_pointer_cast<LayoutConstraint>(constraint->shared_from_this());
        if (inserted || entry.stamp != stamp_) ++kept;
        entry.stamp = stamp_;
        current.push_back(&entry);
    }
    // Every constraint held before is let go before any is stated again, so that what contradicted a
    // constraint gone can no longer stand in the way. Nothing is stale when every entry is still wanted.
    bool removed = false;
    if (kept != entries_.size()) {
        for (auto it = entries_.begin(); it != entries_.end();) {
            if (it->second.stamp == stamp_) {
                ++it;
                continue;
            }
            drop(it->second);
            it = entries_.erase(it);
            removed = true;
        }
    }
    for (std::size_t i = 0; i < current.size(); ++i) restate(*current[i], removed, wanted[i].operands);
}

// Brings one constraint's statement up to date: a new constant moves it in place; anything else states
// it afresh. A constraint left out as contradicting is tried again when it changed or, if `retry`,
// because something else gave way.
void LayoutEngine::restate(Entry& entry, bool retry, const std::optional<Operands>& known) {
    Operands operands;
    if (known) {
        operands = *known;
    } else if (!operandsOf(*entry.constraint, operands)) {
        drop(entry);
        entry.strength = 0;
        return;
    }
    solver::Expression expression;
    express(*entry.constraint, operands, expression);
    const auto relation = relationOf(entry.constraint->relation_);
    const double strength = strengthOf(entry.constraint->priority_);
    const bool sameShape = entry.strength == strength && entry.relation == relation &&
                           entry.expression.terms() == expression.terms();
    const bool sameConstant = entry.expression.constant() == expression.constant();
    if (entry.id && sameShape) {
        if (sameConstant) return;
        if (solver_.setConstant(entry.id, expression.constant())) {
            entry.expression = std::move(expression);
            return;
        }
    } else if (!entry.id && sameShape && sameConstant) {
        if (retry) add(entry, std::move(expression), relation, strength, false);
        return;
    }
    drop(entry);
    add(entry, std::move(expression), relation, strength, true);
}

void LayoutEngine::add(Entry& entry, solver::Expression expression, solver::Relation relation, double strength,
                       bool report) {
    std::vector<solver::ConstraintId> conflicts;
    entry.id = solver_.addConstraint(expression, relation, strength, &conflicts);
    entry.expression = std::move(expression);
    entry.relation = relation;
    entry.strength = strength;
    LayoutConstraint& constraint = *entry.constraint;
    if (entry.id) {
        if (purpose_ == Purpose::Layout && constraint.holder_) constraint.engine_ = this;
    } else if (report) {
        reportUnsatisfiable(constraint, conflicts);
    }
}

void LayoutEngine::drop(Entry& entry) {
    if (entry.id) {
        solver_.removeConstraint(entry.id);
        entry.id = solver::kNoConstraint;
    }
    if (entry.constraint->engine_ == this) entry.constraint->engine_ = nullptr;
}

bool LayoutEngine::operandsOf(const LayoutConstraint& constraint, Operands& operands) const {
    const auto first = constraint.firstItem();
    const auto second = constraint.secondItem();
    operands.first = first ? find(first.get()) : nullptr;
    operands.second = second ? find(second.get()) : nullptr;
    return operands.first && (!second || operands.second);
}

// item1.attribute1 − relation − multiplier · item2.attribute2 − constant, with locations read in the
// coordinates of the items' nearest common ancestor (of a lone item's superview), as the platform reads
// them: that is what gives multipliers of locations their meaning.
void LayoutEngine::express(const LayoutConstraint& constraint, const Operands& operands,
                           solver::Expression& expression) const {
    const Item* firstItem = operands.first;
    const Item* secondItem = operands.second;
    const Item* container = nullptr;
    if (!isSizeAttribute(constraint.firstAttribute_)) {
        View* coordinates =
            secondItem ? nearestCommonAncestor(firstItem->view, secondItem->view) : firstItem->view->superview();
        container = coordinates ? find(coordinates) : nullptr;
    }
    auto located = [&](const Item& item, LayoutAttribute attribute) {
        solver::Expression e = this->attribute(item, attribute);
        if (container && !isSizeAttribute(attribute)) {
            addVariable(e, isHorizontalAttribute(attribute) ? container->left : container->top, -1);
        }
        return e;
    };
    expression = located(*firstItem, constraint.firstAttribute_);
    if (secondItem && constraint.secondAttribute_ != LayoutAttribute::NotAnAttribute) {
        expression.add(located(*secondItem, constraint.secondAttribute_), -constraint.multiplier_);
    }
    expression.add(-constraint.constant_);
}

solver::Expression LayoutEngine::attribute(const Item& item, LayoutAttribute attribute) const {
    const ViewLayoutState* state = item.view->layoutState_.get();
    const cg::EdgeInsets margins = state ? state->margins : cg::EdgeInsets{8, 8, 8, 8};
    solver::Expression e;
    auto x = [&](double widthShare) {
        addVariable(e, item.left, 1);
        addVariable(e, item.width, widthShare);
    };
    auto y = [&](double heightShare) {
        addVariable(e, item.top, 1);
        addVariable(e, item.height, heightShare);
    };
    switch (attribute) {
        case LayoutAttribute::Left:
        case LayoutAttribute::Leading: x(0); break;
        case LayoutAttribute::Right:
        case LayoutAttribute::Trailing: x(1); break;
        case LayoutAttribute::Top: y(0); break;
        case LayoutAttribute::Bottom: y(1); break;
        case LayoutAttribute::Width: addVariable(e, item.width, 1); break;
        case LayoutAttribute::Height: addVariable(e, item.height, 1); break;
        case LayoutAttribute::CenterX: x(0.5); break;
        case LayoutAttribute::CenterY: y(0.5); break;
        case LayoutAttribute::LeftMargin:
        case LayoutAttribute::LeadingMargin:
            x(0);
            e.add(margins.left);
            break;
        case LayoutAttribute::RightMargin:
        case LayoutAttribute::TrailingMargin:
            x(1);
            e.add(-margins.right);
            break;
        case LayoutAttribute::TopMargin:
            y(0);
            e.add(margins.top);
            break;
        case LayoutAttribute::BottomMargin:
            y(1);
            e.add(-margins.bottom);
            break;
        case LayoutAttribute::CenterXWithinMargins:
            x(0.5);
            e.add((margins.left - margins.right) / 2);
            break;
        case LayoutAttribute::CenterYWithinMargins:
            y(0.5);
            e.add((margins.top - margins.bottom) / 2);
            break;
        case LayoutAttribute::FirstBaseline:
        case LayoutAttribute::LastBaseline: {
            // A label centres its text vertically; other views have their baseline at the bottom.
            const auto* label = dynamic_cast<const Label*>(item.view);
            if (!label) {
                y(1);
                break;
            }
            const Font& font = *label->font();
            double textHeight = font.lineHeight();
            if (state && item.wraps && state->wrappedSize) {
                textHeight = state->wrappedSize->second.height;
            } else if (state && state->intrinsicSize) {
                textHeight = std::max(0.0, state->intrinsicSize->height);
            }
            y(0.5);
            const double firstLine = font.ascender() - textHeight / 2;
            const double lines = std::max(1.0, std::floor(textHeight / font.lineHeight() + 1e-9));
            e.add(attribute == LayoutAttribute::FirstBaseline ? firstLine : firstLine + (lines - 1) * font.lineHeight());
            break;
        }
        case LayoutAttribute::NotAnAttribute: break;
    }
    return e;
}

// ---- Results ----

std::optional<cg::Rect> LayoutEngine::frameOf(const View& view) const {
    const Item* item = find(&view);
    return item ? frameOf(*item) : std::nullopt;
}

std::optional<cg::Rect> LayoutEngine::frameOf(const Item& item) const {
    if (!item.byConstraints || item.view == root_) return std::nullopt;
    const View* superview = item.view->superview();
    const Item* parent = superview ? find(superview) : nullptr;
    if (!parent) return std::nullopt;
    return cg::Rect{snapped(valueOf(item.left) - valueOf(parent->left)),
                    snapped(valueOf(item.top) - valueOf(parent->top)), snapped(valueOf(item.width)),
                    snapped(valueOf(item.height))};
}

cg::Point LayoutEngine::centerOf(const cg::Rect& frame) { return {cg::midX(frame), cg::midY(frame)}; }

void LayoutEngine::askForLayoutWhereFramesChange() {
    for (Item* item : order_) {
        if (!item->byConstraints || item->view == root_) continue;
        const auto alive = item->weak.lock();
        if (item->owned && !alive) continue;
        View* superview = item->view->superview();
        if (!superview) continue;
        const auto frame = frameOf(*item);
        if (frame && !isPlacedAt(*item->view, *frame)) superview->setNeedsLayout();
    }
}

void LayoutEngine::constantDidChange(LayoutConstraint& constraint) {
    auto it = entries_.find(&constraint);
    if (it == entries_.end()) {
        if (constraint.holder_) constraint.holder_->setNeedsLayout();
        return;
    }
    restate(it->second, false);
    settleWrappingText();
    askForLayoutWhereFramesChange();
}

cg::Size LayoutEngine::fittingSize(View& view, cg::Size target, LayoutPriority horizontal, LayoutPriority vertical) {
    LayoutEngine engine(view, Purpose::Fitting);
    engine.target_ = target;
    engine.fittingPriority_ = {horizontal, vertical};
    engine.update();
    const Item& item = *engine.find(&view);
    return {snapped(engine.valueOf(item.width)), snapped(engine.valueOf(item.height))};
}

// The platform's report, with the constraints that stand in the broken one's way.
void LayoutEngine::reportUnsatisfiable(const LayoutConstraint& broken,
                                       const std::vector<solver::ConstraintId>& conflicts) const {
    std::string list;
    auto line = [&](const LayoutConstraint& constraint) {
        if (!list.empty()) list += ",\n";
        list += "    \"" + constraint.description() + "\"";
    };
    // Contradictions are rare, so the constraints standing in the way are looked up here rather than
    // indexed by solver id on every add.
    std::unordered_map<solver::ConstraintId, const LayoutConstraint*> held;
    if (!conflicts.empty()) {
        held.reserve(entries_.size());
        for (const auto& [constraint, entry] : entries_) {
            if (entry.id) held.emplace(entry.id, constraint);
        }
    }
    for (solver::ConstraintId id : conflicts) {
        auto it = held.find(id);
        if (it != held.end()) line(*it->second);
    }
    line(broken);
    ns::Log::write(
                 "Unable to simultaneously satisfy constraints.\n\tProbably at least one of the constraints in the "
                 "following list is one you don't want. Try this: (1) look at each constraint and try to figure out "
                 "which you don't expect; (2) find the code that added the unwanted constraint or constraints and "
                 "fix it. (Note: If you're seeing NSAutoresizingMaskLayoutConstraints that you don't understand, "
                 "refer to the documentation for the UIView property translatesAutoresizingMaskIntoConstraints)\n"
                 "(\n" + list + "\n)\n\nWill attempt to recover by breaking constraint \n" + broken.description() +
                 "\n");
}

}  // namespace ql::ui
