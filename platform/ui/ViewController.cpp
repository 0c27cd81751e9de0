#include "platform/ui/ViewController.h"

#include <algorithm>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Device.h"
#include "platform/ui/LayoutGuide.h"
#include "platform/ui/MainThread.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Nib.h"
#include "platform/ui/PopoverPresentationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/TabBarItem.h"
#include "platform/ui/Window.h"

namespace ql::ui {

namespace {

// Every controller alive, for memory warnings.
std::vector<ViewController*>& liveControllers() {
    static auto* list = new std::vector<ViewController*>;
    return *list;
}

// The container or modal transition whose animation is running, finished early when another starts.
std::function<void()>& pendingTransition() {
    static auto* pending = new std::function<void()>;
    return *pending;
}

void warn(const std::string& text) { ns::Log::write("Warning: " + text); }

}  // namespace

ViewController::ViewController(std::string nibName) : nibName_(std::move(nibName)) {
    liveControllers().push_back(this);
}

ViewController::~ViewController() {
    auto& live = liveControllers();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    if (view_ && view_->controller_ == this) view_->controller_ = nullptr;
    for (auto& child : children_) child->parent_ = nullptr;
}

// ---- The view ----

const std::shared_ptr<View>& ViewController::view() {
    if (!view_) {
        assertMainThread();
        noteOwnClass();
        loadView();
        if (!view_) {
            throw ns::Exception(ns::InternalInconsistencyException,
                                "-[" + std::string(className()) + " loadView] did not set the view");
        }
        viewDidLoad();
    }
    return view_;
}

void ViewController::setView(std::shared_ptr<View> view) {
    if (view_ && view_->controller_ == this) view_->controller_ = nullptr;
    view_ = std::move(view);
    if (view_) view_->controller_ = this;
}

void ViewController::loadView() {
    std::string name = nibName_;
    if (name.empty()) {
        const std::string cls(className());
        const std::string suffix = "Controller";
        if (cls.size() > suffix.size() && cls.compare(cls.size() - suffix.size(), suffix.size(), suffix) == 0 &&
            Nib::isRegistered(cls.substr(0, cls.size() - suffix.size()))) {
            name = cls.substr(0, cls.size() - suffix.size());
        } else if (Nib::isRegistered(cls)) {
            name = cls;
        }
    }
    if (!name.empty()) {
        Nib::loadNibNamed(name, this);
        if (!view_) {
            throw ns::Exception(ns::InternalInconsistencyException,
                                "-[" + std::string(className()) + " loadView] loaded the \"" + name +
                                    "\" nib but the view outlet was not set.");
        }
        return;
    }
    setView(std::make_shared<View>(Screen::mainScreen().bounds()));
}

// ---- Appearance ----

void ViewController::beginAppearanceTransition(bool isAppearing, bool animated) {
    if (isAppearing) {
        if (appearance_ == Appearance::Appearing || appearance_ == Appearance::Appeared) return;
        view();  // a controller appears with its view loaded
        appearance_ = Appearance::Appearing;
        appearanceAnimated_ = animated;
        viewWillAppear(animated);
    } else {
        if (appearance_ == Appearance::Disappearing || appearance_ == Appearance::Disappeared) return;
        appearance_ = Appearance::Disappearing;
        appearanceAnimated_ = animated;
        viewWillDisappear(animated);
    }
    forwarded_.clear();
    if (!shouldAutomaticallyForwardAppearanceMethods() || !view_) return;
    for (const auto& child : std::vector<std::shared_ptr<ViewController>>(children_)) {
        if (child->held_ || !child->view_ || !child->view_->isDescendantOfView(view_.get())) continue;
        forwarded_.push_back(child);
        child->beginAppearanceTransition(isAppearing, animated);
    }
}

void ViewController::endAppearanceTransition() {
    auto keep = shared_from_this();
    if (appearance_ == Appearance::Appearing) {
        appearance_ = Appearance::Appeared;
        viewDidAppear(appearanceAnimated_);
    } else if (appearance_ == Appearance::Disappearing) {
        appearance_ = Appearance::Disappeared;
        viewDidDisappear(appearanceAnimated_);
    } else {
        return;
    }
    auto forwarded = std::move(forwarded_);
    forwarded_.clear();
    for (const auto& weak : forwarded) {
        if (auto child = weak.lock()) child->endAppearanceTransition();
    }
}

namespace {

void visitControllers(View* view, const std::function<void(ViewController&)>& visit) {
    if (ViewController* controller = view->viewController()) {
        visit(*controller);
        return;
    }
    for (const auto& sub : std::vector<std::shared_ptr<View>>(view->subviews())) visitControllers(sub.get(), visit);
}

}  // namespace

void ViewController::beginAutomaticAppearance(View* root, bool appearing) {
    visitControllers(root, [appearing](ViewController& c) {
        if (!c.held_) c.beginAppearanceTransition(appearing, false);
    });
}

void ViewController::endAutomaticAppearance(View* root, bool) {
    visitControllers(root, [](ViewController& c) {
        if (!c.held_) c.endAppearanceTransition();
    });
}

ViewController::AppearanceHold::AppearanceHold(std::vector<ViewController*> controllers) {
    for (ViewController* c : controllers) {
        if (!c) continue;
        held_.emplace_back(c, c->held_);
        c->held_ = true;
    }
}

ViewController::AppearanceHold::~AppearanceHold() {
    for (auto& [c, was] : held_) c->held_ = was;
}

// ---- Title and bar items ----

void ViewController::setTitle(std::optional<std::string> title) {
    title_ = title;
    navigationItem()->setTitle(title);
    if (tabBarItem_) tabBarItem_->setTitle(std::move(title));
}

const std::shared_ptr<NavigationItem>& ViewController::navigationItem() {
    if (!navigationItem_) navigationItem_ = std::make_shared<NavigationItem>(title_);
    return navigationItem_;
}

const std::shared_ptr<TabBarItem>& ViewController::tabBarItem() {
    if (!tabBarItem_) tabBarItem_ = std::make_shared<TabBarItem>(title_, nullptr, 0);
    return tabBarItem_;
}

void ViewController::setTabBarItem(std::shared_ptr<TabBarItem> item) { tabBarItem_ = std::move(item); }

// ---- Containment ----

void ViewController::addChildViewController(const std::shared_ptr<ViewController>& child) {
    if (!child || child.get() == this) return;
    if (child->parent_ == this) return;
    if (child->parent_) child->removeFromParentViewController();
    child->noteOwnClass();
    child->willMoveToParentViewController(this);
    children_.push_back(child);
    child->parent_ = this;
}

void ViewController::removeFromParentViewController() {
    if (!parent_) return;
    auto keep = std::static_pointer_cast<ViewController>(shared_from_this());
    auto& siblings = parent_->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), keep), siblings.end());
    parent_ = nullptr;
    didMoveToParentViewController(nullptr);
}

void ViewController::reorderChildViewControllers(std::vector<std::shared_ptr<ViewController>> order) {
    if (order.size() != children_.size()) return;
    for (const auto& c : order) {
        if (std::find(children_.begin(), children_.end(), c) == children_.end()) return;
    }
    children_ = std::move(order);
}

NavigationController* ViewController::navigationController() const {
    for (ViewController* c = parent_; c; c = c->parent_) {
        if (auto* nav = dynamic_cast<NavigationController*>(c)) return nav;
    }
    return nullptr;
}

TabBarController* ViewController::tabBarController() const {
    for (ViewController* c = parent_; c; c = c->parent_) {
        if (auto* tabs = dynamic_cast<TabBarController*>(c)) return tabs;
    }
    return nullptr;
}

// ---- Transitions ----

void ViewController::finishPendingTransition() {
    auto finish = std::move(pendingTransition());
    pendingTransition() = nullptr;
    if (finish) finish();
}

void ViewController::runTransition(bool animated, const std::function<void()>& animations,
                                   std::function<void()> finish) {
    finishPendingTransition();
    if (!animated) {
        if (animations) animations();
        finish();
        return;
    }
    // Only the transition still pending when its animation ends finishes through it.
    auto token = std::make_shared<int>(0);
    pendingTransition() = [finish, token] {
        (void)token;  // held here so that the animation's end can tell whether this is still pending
        finish();
    };
    View::animate(kTransitionDuration, 0, ViewAnimationOptionCurveEaseInOut, animations,
                  [token](bool) {
                      if (token.use_count() > 1) finishPendingTransition();
                  });
}

// ---- Modal presentation ----

ViewController* ViewController::presentingViewController() const { return presenting_.lock().get(); }

void ViewController::presentViewController(const std::shared_ptr<ViewController>& controller, bool animated,
                                           std::function<void()> completion) {
    assertMainThread();
    if (!controller) return;
    finishPendingTransition();
    ViewController* presenter = this;
    while (presenter->parent_) presenter = presenter->parent_;
    if (presenter->presented_) {
        warn("Attempt to present <" + std::string(controller->className()) + "> on <" +
             std::string(presenter->className()) + "> which is already presenting <" +
             std::string(presenter->presented_->className()) + ">");
        return;
    }
    Window* window = presenter->view_ ? presenter->view_->window() : nullptr;
    if (!window || window->isHidden()) {
        warn("Attempt to present <" + std::string(controller->className()) + "> on <" +
             std::string(presenter->className()) + "> whose view is not in the window hierarchy!");
        return;
    }
    auto self = std::static_pointer_cast<ViewController>(presenter->shared_from_this());
    presenter->presented_ = controller;
    controller->presenting_ = self;

    const bool pad = Device::currentDevice().userInterfaceIdiom() == UserInterfaceIdiom::Pad;
    const ModalPresentationStyle style = controller->presentationStyle_;
    const bool sheet = pad && (style == ModalPresentationStyle::FormSheet || style == ModalPresentationStyle::PageSheet);
    const bool over = style == ModalPresentationStyle::OverFullScreen || style == ModalPresentationStyle::OverCurrentContext ||
                      style == ModalPresentationStyle::Custom || style == ModalPresentationStyle::Popover;
    const bool covers = !sheet && !over;
    const cg::Rect bounds = window->bounds();
    cg::Rect frame = bounds;
    if (sheet) {
        const cg::Size size = style == ModalPresentationStyle::FormSheet ? cg::Size{540, 620} : cg::Size{768, bounds.size.height};
        frame = {(bounds.size.width - size.width) / 2, (bounds.size.height - size.height) / 2, size.width, size.height};
    }

    controller->view();
    controller->beingPresented_ = true;
    if (covers) presenter->beginAppearanceTransition(false, animated);
    controller->beginAppearanceTransition(true, animated);
    auto presentedView = controller->view();
    auto windowRef = std::static_pointer_cast<Window>(window->shared_from_this());
    {
        AppearanceHold hold({presenter, controller.get()});
        const bool slides = controller->transitionStyle_ == ModalTransitionStyle::CoverVertical;
        presentedView->setFrame(animated && slides ? cg::rectOffset(frame, 0, bounds.size.height) : frame);
        presentedView->setAutoresizingMask(sheet ? ViewAutoresizingNone
                                                 : (ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight));
        windowRef->addSubview(presentedView);
    }
    runTransition(
        animated, [presentedView, frame] { presentedView->setFrame(frame); },
        [self, controller, windowRef, covers, completion] {
            if (covers && self->view_ && self->view_->superview() == windowRef.get()) {
                AppearanceHold hold({self.get()});
                self->view_->removeFromSuperview();
            }
            controller->endAppearanceTransition();
            if (covers) self->endAppearanceTransition();
            controller->beingPresented_ = false;
            if (completion) completion();
        });
}

void ViewController::dismissViewControllerAnimated(bool animated, std::function<void()> completion) {
    assertMainThread();
    finishPendingTransition();
    if (presented_) {
        dismissPresented(animated, std::move(completion));
    } else if (auto presenter = presenting_.lock()) {
        presenter->dismissPresented(animated, std::move(completion));
    } else if (parent_) {
        parent_->dismissViewControllerAnimated(animated, std::move(completion));
    }
}

void ViewController::dismissPresented(bool animated, std::function<void()> completion) {
    auto self = std::static_pointer_cast<ViewController>(shared_from_this());
    // Everything presented above this controller goes; the topmost is the one seen leaving.
    std::vector<std::shared_ptr<ViewController>> chain;
    for (auto c = presented_; c; c = c->presented_) chain.push_back(c);
    auto top = chain.back();
    Window* window = top->view_ ? top->view_->window() : nullptr;
    if (!window) window = view_ ? view_->window() : nullptr;
    auto windowRef = window ? std::static_pointer_cast<Window>(window->shared_from_this()) : nullptr;
    const bool hidden = view_ && (!view_->window() || view_->window() != window);

    for (auto& c : chain) c->beingDismissed_ = true;
    top->beginAppearanceTransition(false, animated);
    if (hidden) beginAppearanceTransition(true, animated);
    if (hidden && windowRef && view_) {
        AppearanceHold hold({this});
        view_->setFrame(windowRef->bounds());
        windowRef->insertSubviewBelow(view_, top->view_.get());
    }
    auto topView = top->view_;
    const cg::Rect gone = topView ? cg::rectOffset(topView->frame(), 0, windowRef ? windowRef->bounds().size.height : 0)
                                  : cg::Rect::zero();
    runTransition(
        animated,
        [topView, gone] {
            if (topView) topView->setFrame(gone);
        },
        [self, chain, top, hidden, completion] {
            {
                std::vector<ViewController*> held;
                for (auto& c : chain) held.push_back(c.get());
                AppearanceHold hold(held);
                for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
                    if ((*it)->view_) (*it)->view_->removeFromSuperview();
                }
            }
            top->endAppearanceTransition();
            if (hidden) self->endAppearanceTransition();
            for (auto& c : chain) {
                c->beingDismissed_ = false;
                c->presenting_.reset();
                c->presented_.reset();
            }
            self->presented_.reset();
            if (completion) completion();
        });
}

void ViewController::dismissAllPresentedAtOnce() {
    if (presented_) dismissPresented(false, {});
}

// ---- Misc ----

InterfaceOrientation ViewController::interfaceOrientation() const {
    return Application::sharedApplication().statusBarOrientation();
}

namespace {

const std::shared_ptr<LayoutGuide>& guide(ViewController& controller, std::shared_ptr<LayoutGuide>& slot,
                                          LayoutGuide::Edge edge) {
    if (!slot) {
        const auto& view = controller.view();
        slot = std::make_shared<LayoutGuide>(controller, edge);
        view->addSubview(slot);
        slot->update();
    }
    return slot;
}

}  // namespace

const std::shared_ptr<LayoutGuide>& ViewController::topLayoutGuide() {
    return guide(*this, topLayoutGuide_, LayoutGuide::Edge::Top);
}

const std::shared_ptr<LayoutGuide>& ViewController::bottomLayoutGuide() {
    return guide(*this, bottomLayoutGuide_, LayoutGuide::Edge::Bottom);
}

void ViewController::adjustScrollViewInsets(ScrollView& scrollView) {
    if (!adjustsScrollViewInsets_) return;
    cg::EdgeInsets insets = scrollView.contentInset();
    const double formerTop = insets.top;
    insets.top = topLayoutGuide()->length();
    insets.bottom = bottomLayoutGuide()->length();
    if (insets == scrollView.contentInset()) return;
    scrollView.setContentInset(insets);
    cg::Point offset = scrollView.contentOffset();
    if (offset.y == -formerTop) {
        offset.y = -insets.top;
        scrollView.setContentOffset(offset);
    }
}

void ViewController::updateLayoutGuides() {
    if (topLayoutGuide_) topLayoutGuide_->update();
    if (bottomLayoutGuide_) bottomLayoutGuide_->update();
}

Responder* ViewController::nextResponder() const {
    if (view_ && view_->superview()) return view_->superview();
    if (parent_) return parent_;
    return presenting_.lock().get();
}

void ViewController::memoryWarningToAll() {
    std::vector<std::shared_ptr<ViewController>> alive;
    for (ViewController* c : liveControllers()) {
        if (auto shared = c->weak_from_this().lock()) alive.push_back(std::static_pointer_cast<ViewController>(shared));
    }
    for (auto& c : alive) c->didReceiveMemoryWarning();
}

// ---- Toolbar, size classes, popovers ----

void ViewController::setToolbarItems(std::vector<std::shared_ptr<BarButtonItem>> items, bool animated) {
    toolbarItems_ = std::move(items);
    if (NavigationController* navigation = navigationController(); navigation && navigation->topViewController().get() == this) {
        navigation->topToolbarItemsChanged(animated);
    }
}

TraitCollection ViewController::traitCollection() const {
    const Window* window = view_ ? view_->window() : nullptr;
    const cg::Size size = window ? window->bounds().size : Screen::mainScreen().bounds().size;
    return TraitCollection::forScreen(size, Device::currentDevice().userInterfaceIdiom());
}

void ViewController::forEachControllerInTree(ViewController& root, const std::function<void(ViewController&)>& visit) {
    visit(root);
    for (const auto& child : std::vector<std::shared_ptr<ViewController>>(root.children_)) forEachControllerInTree(*child, visit);
    if (auto presented = root.presented_) forEachControllerInTree(*presented, visit);
}

PopoverPresentationController* ViewController::popoverPresentationController() {
    if (presentationStyle_ != ModalPresentationStyle::Popover) return nullptr;
    if (!popoverPresentation_) popoverPresentation_ = std::make_shared<PopoverPresentationController>();
    return popoverPresentation_.get();
}

namespace {

std::function<void()>& rotationAttemptHandler() {
    static auto* handler = new std::function<void()>();
    return *handler;
}

}  // namespace

void ViewController::attemptRotationToDeviceOrientation() {
    assertMainThread();
    if (const auto& handler = rotationAttemptHandler()) handler();
}

void ViewController::setRotationAttemptHandler(std::function<void()> handler) {
    assertMainThread();
    rotationAttemptHandler() = std::move(handler);
}

}  // namespace ql::ui
