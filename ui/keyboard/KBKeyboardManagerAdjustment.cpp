// The geometry of the keyboard manager: how far the edited field is hidden and the means that remove
// exactly that much, the restore when the keyboard leaves, and the caret of a growing text view. The
// platform is the newest system, whose interface is always laid out upright (portrait).

#include <algorithm>
#include <limits>

#include "platform/ui/Application.h"
#include "platform/ui/LayoutGuide.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextView.h"
#include "ui/keyboard/KBKeyboardManager.h"
#include "ui/keyboard/KBViewHierarchy.h"

namespace ql {

namespace {

enum class GuidePosition { None, Top, Bottom };

// The options of the layout-guide animations: the keyboard's curve, from the current state.
constexpr unsigned kLayoutGuideAnimationOptions = (7u << 16) | ui::ViewAnimationOptionBeginFromCurrentState;

bool isGuideOf(const ui::View* item, const ui::ViewController& controller, ui::LayoutGuide::Edge edge) {
    const auto* guide = dynamic_cast<const ui::LayoutGuide*>(item);
    return guide && guide->edge() == edge && controller.viewIfLoaded() &&
           guide->superview() == controller.viewIfLoaded().get();
}

GuidePosition guidePosition(const ui::ViewController* controller, const ui::LayoutConstraint* constraint) {
    if (!controller || !constraint) return GuidePosition::None;
    const auto first = constraint->firstItem();
    const auto second = constraint->secondItem();
    if (isGuideOf(first.get(), *controller, ui::LayoutGuide::Edge::Top) ||
        isGuideOf(second.get(), *controller, ui::LayoutGuide::Edge::Top)) {
        return GuidePosition::Top;
    }
    if (isGuideOf(first.get(), *controller, ui::LayoutGuide::Edge::Bottom) ||
        isGuideOf(second.get(), *controller, ui::LayoutGuide::Edge::Bottom)) {
        return GuidePosition::Bottom;
    }
    return GuidePosition::None;
}

// The field's frame in the window's coordinates.
cg::Rect rectInWindow(const ui::View& view, const ui::Window& window) {
    const ui::View* parent = view.superview();
    return parent ? parent->convertRectToView(view.frame(), &window) : view.frame();
}

ui::ScrollView* enclosingScrollView(const ui::View& view) {
    return static_cast<ui::ScrollView*>(superviewOfClassType(view, ui::ScrollView::classObject()));
}

std::shared_ptr<ui::ScrollView> shared(ui::ScrollView* view) {
    return view ? std::static_pointer_cast<ui::ScrollView>(view->sharedFromThis()) : nullptr;
}

}  // namespace

void KBKeyboardManager::rememberScrollView(ui::ScrollView& scrollView) {
    lastScrollView_ = shared(&scrollView);
    startingContentInsets_ = scrollView.contentInset();
    startingScrollIndicatorInsets_ = scrollView.scrollIndicatorInsets();
    startingContentOffset_ = scrollView.contentOffset();
}

void KBKeyboardManager::restoreScrollView() {
    const auto last = lastScrollView_.lock();
    if (last) {
        ui::View::animate(animationDuration_, 0, animationOptions(), [&] {
            last->setContentInset(startingContentInsets_);
            last->setScrollIndicatorInsets(startingScrollIndicatorInsets_);
        });
        if (shouldRestoreScrollViewContentOffset_) last->setContentOffset(startingContentOffset_, true);
    }
    startingContentInsets_ = cg::EdgeInsets::zero();
    startingScrollIndicatorInsets_ = cg::EdgeInsets::zero();
    startingContentOffset_ = cg::Point::zero();
    lastScrollView_.reset();
}

void KBKeyboardManager::adjustFrame() {
    const auto field = textFieldView();
    if (!field) return;
    isKeyboardShowing_ = true;
    const auto window = keyWindow();
    if (!window) return;

    const double windowHeight = window->frame().size.height;
    ui::ViewController* root = topMostController(*field);
    if (!root) root = topMostController(*window);
    const cg::Rect rootRect = root && root->viewIfLoaded() ? root->viewIfLoaded()->frame() : cg::Rect::zero();
    const cg::Rect fieldRect = rectInWindow(*field, *window);
    double distance = ::ql::keyboardDistanceFromTextField(*field);
    if (distance == std::numeric_limits<double>::max()) distance = keyboardDistance_;
    const double kbHeight = kbSize_.height + distance;
    const double topGuide = ui::Application::sharedApplication().statusBarFrame().size.height;
    ui::ViewController* controller = viewController(*field);
    const auto guideConstraint = controller ? KBLayoutGuideConstraint(*controller) : nullptr;
    const GuidePosition position = guidePosition(controller, guideConstraint.get());

    const double hiddenBelow = cg::maxY(fieldRect) - (windowHeight - kbHeight);
    double move = position == GuidePosition::Bottom
                      ? hiddenBelow
                      : std::min(cg::minY(fieldRect) - (topGuide + 5), hiddenBelow);

    // The enclosing scroll view: the one remembered from before is restored when the field left it.
    ui::ScrollView* enclosing = enclosingScrollView(*field);
    const auto last = lastScrollView_.lock();
    if (last && last.get() != enclosing) restoreScrollView();
    if (enclosing && lastScrollView_.expired()) rememberScrollView(*enclosing);

    if (const auto remembered = lastScrollView_.lock()) {
        std::shared_ptr<ui::View> inner = field;
        auto scroll = remembered;
        while (scroll && (move > 0 ? move > -scroll->contentOffset().y - scroll->contentInset().top
                                   : scroll->contentOffset().y > 0)) {
            const cg::Point offset = scroll->contentOffset();
            const cg::Rect r = inner->superview() ? inner->superview()->convertRectToView(inner->frame(), scroll.get())
                                                  : inner->frame();
            double shouldOffsetY = offset.y - std::min(offset.y, -move);
            shouldOffsetY = std::min(shouldOffsetY, r.origin.y);
            if (dynamic_cast<ui::TextView*>(field.get()) && !enclosingScrollView(*scroll) && shouldOffsetY >= 0) {
                // A tall text view is scrolled only until its top sits 10 points below the navigation bar.
                double navigationBottom = 0;
                if (controller && controller->navigationController()) {
                    navigationBottom = cg::maxY(controller->navigationController()->navigationBar()->frame());
                }
                const double expected = cg::minY(rectInWindow(*field, *window)) - (navigationBottom + 10);
                shouldOffsetY = std::min(shouldOffsetY, offset.y + expected);
                move = 0;
            } else {
                move -= shouldOffsetY - offset.y;
            }
            ui::View::animate(animationDuration_, 0, animationOptions(),
                              [&] { scroll->setContentOffset({offset.x, shouldOffsetY}); });
            inner = scroll;
            scroll = shared(enclosingScrollView(*scroll));
        }

        const cg::Rect lastRect = rectInWindow(*remembered, *window);
        const double bottom = kbHeight - (windowHeight - cg::maxY(lastRect));
        cg::EdgeInsets moved = remembered->contentInset();
        moved.bottom = std::max(startingContentInsets_.bottom, bottom);
        ui::View::animate(animationDuration_, 0, animationOptions(), [&] {
            remembered->setContentInset(moved);
            cg::EdgeInsets indicator = remembered->scrollIndicatorInsets();
            indicator.bottom = moved.bottom - 10;
            remembered->setScrollIndicatorInsets(indicator);
        });
        const cg::Size content = remembered->contentSize();
        const double frameHeight = remembered->frame().size.height;
        if (content.height < frameHeight) remembered->setContentSize({content.width, frameHeight});
    }

    if (position != GuidePosition::None) {
        const double value = position == GuidePosition::Top
                                 ? std::min(layoutGuideConstraintInitialConstant_, guideConstraint->constant() - move)
                                 : std::max(layoutGuideConstraintInitialConstant_, guideConstraint->constant() + move);
        const auto rootView = std::dynamic_pointer_cast<ui::ViewController>(rootViewController_.lock());
        ui::View::animate(animationDuration_, 0, kLayoutGuideAnimationOptions, [&] {
            guideConstraint->setConstant(value);
            if (rootView && rootView->viewIfLoaded()) {
                rootView->viewIfLoaded()->setNeedsLayout();
                rootView->viewIfLoaded()->layoutIfNeeded();
            }
        }, [](bool) {});
        return;
    }

    if (canAdjustTextView_ && lastScrollView_.expired() && dynamic_cast<ui::TextView*>(field.get()) &&
        !isTextFieldViewFrameChanged_) {
        const cg::Rect frame = field->frame();
        const double height = std::min(frame.size.height, windowHeight - kbHeight - (topGuide + 5));
        ui::View::animate(animationDuration_, 0, animationOptions(), [&] {
            field->setFrame({frame.origin, {frame.size.width, height}});
            isTextFieldViewFrameChanged_ = true;
        });
    }

    if (!root) return;
    cg::Rect target = rootRect;
    const auto style = root->modalPresentationStyle();
    if (style == ui::ModalPresentationStyle::FormSheet || style == ui::ModalPresentationStyle::PageSheet) {
        if (move >= 0) {
            target.origin.y -= move;
            if (preventShowingBottomBlankSpace_) {
                const double minimum = (windowHeight - rootRect.size.height - topGuide) * 0.5 - (kbHeight - distance);
                target.origin.y = std::max(target.origin.y, minimum);
            }
            setRootViewFrame(target);
        } else {
            const double disturb = cg::minY(rootRect) - cg::minY(topViewBeginRect_);
            if (disturb < 0) {
                target.origin.y -= std::max(move, disturb);
                setRootViewFrame(target);
            }
        }
        return;
    }
    if (move >= 0) {
        target.origin.y -= move;
        if (preventShowingBottomBlankSpace_) target.origin.y = std::max(target.origin.y, std::min(0.0, distance - kbHeight));
        setRootViewFrame(target);
    } else {
        const double disturb = cg::minY(rootRect) - cg::minY(topViewBeginRect_);
        if (disturb < 0) {
            target.origin.y -= std::max(move, disturb);
            setRootViewFrame(target);
        }
    }
}

void KBKeyboardManager::setRootViewFrame(const cg::Rect& rect) {
    const auto field = textFieldView();
    ui::ViewController* controller = field ? topMostController(*field) : nullptr;
    if (!controller) {
        if (auto window = keyWindow()) controller = topMostController(*window);
    }
    if (!controller || !controller->viewIfLoaded()) return;
    const auto view = controller->viewIfLoaded();
    const cg::Rect frame{rect.origin, view->frame().size};
    ui::View::animate(animationDuration_, 0, animationOptions(), [&] {
        view->setFrame(frame);
        if (layoutIfNeededOnUpdate_) {
            view->setNeedsLayout();
            view->layoutIfNeeded();
        }
    });
}

void KBKeyboardManager::restoreOnHide() {
    if (const auto last = lastScrollView_.lock()) {
        ui::View::animate(animationDuration_, 0, animationOptions(), [&] {
            last->setContentInset(startingContentInsets_);
            last->setScrollIndicatorInsets(startingScrollIndicatorInsets_);
            if (shouldRestoreScrollViewContentOffset_) last->setContentOffset(startingContentOffset_);
            for (ui::ScrollView* outer = enclosingScrollView(*last); outer; outer = enclosingScrollView(*outer)) {
                const double frameHeight = outer->frame().size.height;
                const double maxY = std::max(outer->contentSize().height, frameHeight) - frameHeight;
                if (maxY < outer->contentOffset().y) outer->setContentOffset({outer->contentOffset().x, maxY});
            }
        });
    }

    const auto root = std::dynamic_pointer_cast<ui::ViewController>(rootViewController_.lock());
    if (!cg::rectEqualToRect(topViewBeginRect_, cg::Rect::zero()) && root && root->viewIfLoaded()) {
        const auto view = root->viewIfLoaded();
        topViewBeginRect_.size = view->frame().size;
        const auto field = textFieldView();
        const auto recorded = std::dynamic_pointer_cast<ui::ViewController>(layoutGuideController_.lock());
        ui::ViewController* controller = field ? viewController(*field) : recorded.get();
        const auto guideConstraint = controller ? KBLayoutGuideConstraint(*controller) : nullptr;
        const bool tiedToGuide = guidePosition(controller, guideConstraint.get()) != GuidePosition::None;
        ui::View::animate(animationDuration_, 0, animationOptions(), [&] {
            if (tiedToGuide) {
                guideConstraint->setConstant(layoutGuideConstraintInitialConstant_);
                view->setNeedsLayout();
                view->layoutIfNeeded();
                return;
            }
            view->setFrame(topViewBeginRect_);
            if (layoutIfNeededOnUpdate_) {
                view->setNeedsLayout();
                view->layoutIfNeeded();
            }
        });
        rootViewController_.reset();
    }

    lastScrollView_.reset();
    kbSize_ = cg::Size::zero();
    startingContentInsets_ = cg::EdgeInsets::zero();
    startingScrollIndicatorInsets_ = cg::EdgeInsets::zero();
    startingContentOffset_ = cg::Point::zero();
}

void KBKeyboardManager::followCaret(ui::View& view) {
    auto& textView = static_cast<ui::TextView&>(view);
    const cg::Rect caret = textView.caretRectForPosition(textView.selectedRange().location);
    const cg::Point offset = textView.contentOffset();
    const cg::EdgeInsets inset = textView.contentInset();
    const double visibleBottom = offset.y + textView.bounds().size.height - inset.bottom - inset.top;
    const double over = cg::maxY(caret) - visibleBottom;
    // An infinite or null caret rectangle is ignored.
    if (over > 0 && over < static_cast<double>(std::numeric_limits<float>::max())) {
        ui::View::animate(animationDuration_, 0, animationOptions(),
                          [&] { textView.setContentOffset({offset.x, offset.y + over + 7}); });
    }
}

}  // namespace ql
