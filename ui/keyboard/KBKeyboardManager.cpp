#include "ui/keyboard/KBKeyboardManager.h"

#include <algorithm>
#include <mutex>

#include "platform/foundation/Runtime.h"
#include "platform/ui/Application.h"
#include "platform/ui/CollectionView.h"
#include "platform/ui/Color.h"
#include "platform/ui/Control.h"
#include "platform/ui/Device.h"
#include "platform/ui/GeometryValue.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/MainThread.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewController.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Touch.h"
#include "ui/keyboard/KBToolbar.h"
#include "ui/keyboard/KBToolbarAddition.h"
#include "ui/keyboard/KBViewHierarchy.h"

namespace ql {

namespace {

// The Done-only toolbar that every single field shares.
std::shared_ptr<ui::View>& cachedDoneToolbar() {
    static auto* toolbar = new std::shared_ptr<ui::View>;
    return *toolbar;
}

bool isKindOfAny(const ns::Object& object, const std::vector<const ns::Class*>& classes) {
    return std::any_of(classes.begin(), classes.end(), [&](const ns::Class* c) { return object.isKindOfClass(*c); });
}

void add(std::vector<const ns::Class*>& set, const ns::Class& cls) {
    if (std::find(set.begin(), set.end(), &cls) == set.end()) set.push_back(&cls);
}

void remove(std::vector<const ns::Class*>& set, const ns::Class& cls) { std::erase(set, &cls); }

bool contains(const std::vector<const ns::Class*>& set, const ns::Class& cls) {
    return std::find(set.begin(), set.end(), &cls) != set.end();
}

std::shared_ptr<KBToolbar> managersToolbar(const ui::View& view, std::int64_t tag) {
    auto toolbar = std::dynamic_pointer_cast<KBToolbar>(view.inputAccessoryView());
    return toolbar && toolbar->tag() == tag ? toolbar : nullptr;
}

}  // namespace

void KBKeyboardManager::registerLoadHook() {
    ns::Runtime::registerLoadHook(ns::Runtime::LoadPhase::ClassLoad, std::string(kLoadHookName), &load);
}

void KBKeyboardManager::load() { sharedManager()->setEnable(true); }

const std::shared_ptr<KBKeyboardManager>& KBKeyboardManager::sharedManager() {
    static const auto* shared = [] {
        auto* manager = new std::shared_ptr<KBKeyboardManager>(std::make_shared<KBKeyboardManager>());
        (*manager)->observeNotifications();
        return manager;
    }();
    return *shared;
}

KBKeyboardManager::KBKeyboardManager()
    : defaultToolbarTintColor_(ui::Color::blackColor()),
      disabledClasses_{&ui::TableViewController::classObject()},
      toolbarPreviousNextConsideredClass_{&ui::TableView::classObject(), &ui::CollectionView::classObject()} {}

KBKeyboardManager::~KBKeyboardManager() {
    ns::NotificationCenter::defaultCenter().removeObserver(this);
}

void KBKeyboardManager::observeNotifications() {
    auto& center = ns::NotificationCenter::defaultCenter();
    std::weak_ptr<KBKeyboardManager> weak = std::static_pointer_cast<KBKeyboardManager>(shared_from_this());
    const auto on = [&](std::string_view name, void (KBKeyboardManager::*handler)(const ns::Notification&)) {
        center.addObserver(weak, [weak, handler](const ns::Notification& n) {
            if (auto self = weak.lock()) ((*self).*handler)(n);
        }, name);
    };
    const auto onOptional = [&](std::string_view name, void (KBKeyboardManager::*handler)(const ns::Notification*)) {
        center.addObserver(weak, [weak, handler](const ns::Notification& n) {
            if (auto self = weak.lock()) ((*self).*handler)(&n);
        }, name);
    };
    onOptional(ui::KeyboardWillShowNotification, &KBKeyboardManager::keyboardWillShow);
    onOptional(ui::KeyboardWillHideNotification, &KBKeyboardManager::keyboardWillHide);
    onOptional(ui::KeyboardDidHideNotification, &KBKeyboardManager::keyboardDidHide);
    on(ui::TextFieldTextDidBeginEditingNotification, &KBKeyboardManager::textFieldViewDidBeginEditing);
    on(ui::TextFieldTextDidEndEditingNotification, &KBKeyboardManager::textFieldViewDidEndEditing);
    on(ui::TextViewTextDidBeginEditingNotification, &KBKeyboardManager::textFieldViewDidBeginEditing);
    on(ui::TextViewTextDidEndEditingNotification, &KBKeyboardManager::textFieldViewDidEndEditing);
    on(ui::TextViewTextDidChangeNotification, &KBKeyboardManager::textFieldViewDidChange);
    on(ui::ApplicationWillChangeStatusBarOrientationNotification, &KBKeyboardManager::willChangeStatusBarOrientation);

    tapGesture_ = std::make_shared<ui::TapGestureRecognizer>(weak, ui::Action(&KBKeyboardManager::tapRecognized));
    tapGesture_->setDelegate(weak);
    tapGesture_->setEnabled(shouldResignOnTouchOutside_);
}

// ---- Settings ----

void KBKeyboardManager::setEnable(bool enable) {
    if (enable == enable_) return;
    if (enable) {
        enable_ = true;
        if (kbShowNotification_) {
            const ns::Notification kept = *kbShowNotification_;
            keyboardWillShow(&kept);
        }
    } else {
        keyboardWillHide(nullptr);
        enable_ = false;
    }
}

void KBKeyboardManager::setKeyboardDistanceFromTextField(double distance) {
    keyboardDistance_ = std::max(0.0, distance);
}

void KBKeyboardManager::setShouldResignOnTouchOutside(bool resign) {
    shouldResignOnTouchOutside_ = resign;
    if (tapGesture_) tapGesture_->setEnabled(resign);
}

void KBKeyboardManager::setEnableAutoToolbar(bool enable) {
    enableAutoToolbar_ = enable;
    if (enable) {
        addToolbarIfRequired();
    } else {
        removeToolbarIfRequired();
    }
}

void KBKeyboardManager::disableInViewControllerClass(const ns::Class& cls) { add(disabledClasses_, cls); }
void KBKeyboardManager::removeDisableInViewControllerClass(const ns::Class& cls) { remove(disabledClasses_, cls); }
bool KBKeyboardManager::isDisableInViewControllerClass(const ns::Class& cls) const {
    return contains(disabledClasses_, cls);
}
void KBKeyboardManager::disableToolbarInViewControllerClass(const ns::Class& cls) { add(disabledToolbarClasses_, cls); }
void KBKeyboardManager::removeDisableToolbarInViewControllerClass(const ns::Class& cls) {
    remove(disabledToolbarClasses_, cls);
}
bool KBKeyboardManager::isDisableToolbarInViewControllerClass(const ns::Class& cls) const {
    return contains(disabledToolbarClasses_, cls);
}
void KBKeyboardManager::considerToolbarPreviousNextInViewClass(const ns::Class& cls) {
    add(toolbarPreviousNextConsideredClass_, cls);
}
void KBKeyboardManager::removeConsiderToolbarPreviousNextInViewClass(const ns::Class& cls) {
    remove(toolbarPreviousNextConsideredClass_, cls);
}
bool KBKeyboardManager::isConsiderToolbarPreviousNextInViewClass(const ns::Class& cls) const {
    return contains(toolbarPreviousNextConsideredClass_, cls);
}

bool KBKeyboardManager::isDisabledIn(const ui::View& field) const {
    const ui::ViewController* controller = viewController(field);
    return controller && isKindOfAny(*controller, disabledClasses_);
}

bool KBKeyboardManager::isToolbarDisabledIn(const ui::View& field) const {
    const ui::ViewController* controller = viewController(field);
    return controller && isKindOfAny(*controller, disabledToolbarClasses_);
}

std::shared_ptr<ui::Window> KBKeyboardManager::keyWindow() {
    if (auto field = textFieldView(); field && field->window()) {
        return std::static_pointer_cast<ui::Window>(field->window()->sharedFromThis());
    }
    if (auto key = ui::Application::sharedApplication().keyWindow(); key && key != cachedKeyWindow_) {
        cachedKeyWindow_ = std::move(key);
    }
    return cachedKeyWindow_;
}

// ---- Notifications ----

void KBKeyboardManager::rememberRootController(const ui::View* field) {
    ui::ViewController* root = field ? topMostController(*field) : nullptr;
    if (!root) {
        if (auto window = keyWindow()) root = topMostController(*window);
    }
    rootViewController_ = root ? root->weak_from_this() : std::weak_ptr<ns::Object>();
    topViewBeginRect_ = root && root->viewIfLoaded() ? root->viewIfLoaded()->frame() : cg::Rect::zero();
}

void KBKeyboardManager::keyboardWillShow(const ns::Notification* notification) {
    ui::assertMainThread();
    if (notification) kbShowNotification_ = *notification;
    if (!enable_ || !notification) return;
    const auto field = textFieldView();
    if (!isTextFieldViewFrameChanged_ && field) textFieldViewInitialFrame_ = field->frame();
    if (cg::rectEqualToRect(topViewBeginRect_, cg::Rect::zero())) rememberRootController(field.get());

    const ns::Dictionary& info = notification->userInfo();
    const auto curve = info[ui::KeyboardAnimationCurveUserInfoKey].int64Value();
    animationCurve_ = shouldAdoptDefaultKeyboardAnimation_ ? static_cast<unsigned>(curve << 16) : 0x20000u;
    const auto duration = static_cast<float>(info[ui::KeyboardAnimationDurationUserInfoKey].doubleValue());
    if (duration != 0) animationDuration_ = duration;

    const cg::Size previous = kbSize_;
    kbSize_ = ui::GeometryValue::CGRectValue(info[ui::KeyboardFrameEndUserInfoKey]).value_or(cg::Rect::zero()).size;
    if (!cg::sizeEqualToSize(previous, kbSize_) && field && !isAlertViewTextField(*field) && !isDisabledIn(*field)) {
        adjustFrame();
    }
}

void KBKeyboardManager::keyboardWillHide(const ns::Notification* notification) {
    if (notification) kbShowNotification_.reset();
    if (!enable_) return;
    isKeyboardShowing_ = false;
    if (notification) {
        const auto duration =
            static_cast<float>(notification->userInfo()[ui::KeyboardAnimationDurationUserInfoKey].doubleValue());
        if (duration != 0) animationDuration_ = duration;
    }
    restoreOnHide();
}

void KBKeyboardManager::keyboardDidHide(const ns::Notification*) { topViewBeginRect_ = cg::Rect::zero(); }

void KBKeyboardManager::textFieldViewDidBeginEditing(const ns::Notification& notification) {
    ui::assertMainThread();
    auto field = std::dynamic_pointer_cast<ui::View>(notification.object());
    textFieldView_ = field;
    if (!field) return;
    if (overrideKeyboardAppearance_) {
        if (auto* traits = dynamic_cast<ui::TextInputTraits*>(field.get());
            traits && traits->keyboardAppearance() != keyboardAppearance_) {
            traits->setKeyboardAppearance(keyboardAppearance_);
            field->reloadInputViews();
        }
    }
    if (!isTextFieldViewFrameChanged_) textFieldViewInitialFrame_ = field->frame();
    if (enableAutoToolbar_) {
        if (dynamic_cast<ui::TextView*>(field.get()) && !field->inputAccessoryView()) {
            std::weak_ptr<KBKeyboardManager> weak = std::static_pointer_cast<KBKeyboardManager>(shared_from_this());
            std::weak_ptr<ui::View> weakField = field;
            ui::View::animate(0.00001, 0, animationOptions(), [this] { addToolbarIfRequired(); },
                              [weak, weakField](bool) {
                                  auto self = weak.lock();
                                  auto edited = weakField.lock();
                                  if (!self || !edited) return;
                                  self->isTextFieldViewFrameChanged_ = false;
                                  edited->setFrame(self->textFieldViewInitialFrame_);
                                  edited->reloadInputViews();
                              });
        } else {
            addToolbarIfRequired();
        }
    }
    if (!enable_) return;
    if (auto* window = field->window()) window->addGestureRecognizer(tapGesture_);
    if (!isKeyboardShowing_) {
        ui::ViewController* controller = viewController(*field);
        const auto guide = controller ? KBLayoutGuideConstraint(*controller) : nullptr;
        layoutGuideConstraintInitialConstant_ = guide ? guide->constant() : 0;
        layoutGuideController_ = controller ? controller->weak_from_this() : std::weak_ptr<ns::Object>();
        rememberRootController(field.get());
    }
    if (!isAlertViewTextField(*field) && !isDisabledIn(*field)) adjustFrame();
}

void KBKeyboardManager::textFieldViewDidEndEditing(const ns::Notification& notification) {
    auto field = std::dynamic_pointer_cast<ui::View>(notification.object());
    if (field && field->window()) field->window()->removeGestureRecognizer(tapGesture_.get());
    if (isTextFieldViewFrameChanged_) restoreShortenedTextView();
    textFieldView_.reset();
}

void KBKeyboardManager::textFieldViewDidChange(const ns::Notification& notification) {
    auto textView = std::dynamic_pointer_cast<ui::TextView>(notification.object());
    if (shouldFixTextViewClip_ && textView) followCaret(*textView);
}

void KBKeyboardManager::willChangeStatusBarOrientation(const ns::Notification&) {
    if (isTextFieldViewFrameChanged_) restoreShortenedTextView();
}

void KBKeyboardManager::restoreShortenedTextView() {
    const auto field = textFieldView();
    ui::View::animate(animationDuration_, 0, animationOptions(), [&] {
        isTextFieldViewFrameChanged_ = false;
        if (field) field->setFrame(textFieldViewInitialFrame_);
    });
}

// ---- Tap outside ----

void KBKeyboardManager::tapRecognized(ui::GestureRecognizer* recognizer) {
    if (recognizer && recognizer->state() == ui::GestureRecognizerState::Ended) resignFirstResponder();
}

bool KBKeyboardManager::gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(ui::GestureRecognizer&,
                                                                                            ui::GestureRecognizer&) {
    return false;
}

bool KBKeyboardManager::gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer&, ui::Touch& touch) {
    const ui::View* view = touch.view();
    return !(view && (dynamic_cast<const ui::Control*>(view) || dynamic_cast<const ui::NavigationBar*>(view)));
}

// ---- Navigation ----

bool KBKeyboardManager::resignFirstResponder() {
    const auto field = textFieldView();
    if (!field) return false;
    const bool resigned = field->resignFirstResponder();
    if (!resigned) field->becomeFirstResponder();
    return resigned;
}

std::vector<std::shared_ptr<ui::View>> KBKeyboardManager::responderViews() {
    const auto field = textFieldView();
    if (!field) return {};
    for (const ns::Class* cls : toolbarPreviousNextConsideredClass_) {
        if (const ui::View* container = superviewOfClassType(*field, *cls)) return deepResponderViews(*container);
    }
    const auto siblings = responderSiblings(*field);
    switch (toolbarManageBehaviour_) {
        case KBAutoToolbarManageBehaviour::BySubviews: return siblings;
        case KBAutoToolbarManageBehaviour::ByTag: return sortedArrayByTag(siblings);
        case KBAutoToolbarManageBehaviour::ByPosition: return sortedArrayByPosition(siblings);
    }
    return {};
}

namespace {

std::optional<std::size_t> indexOf(const std::vector<std::shared_ptr<ui::View>>& views, const ui::View* view) {
    const auto it = std::find_if(views.begin(), views.end(), [&](const auto& v) { return v.get() == view; });
    if (it == views.end()) return std::nullopt;
    return static_cast<std::size_t>(it - views.begin());
}

}  // namespace

bool KBKeyboardManager::canGoPrevious() {
    const auto index = indexOf(responderViews(), textFieldView().get());
    return index && *index > 0;
}

bool KBKeyboardManager::canGoNext() {
    const auto views = responderViews();
    const auto index = indexOf(views, textFieldView().get());
    return index && *index + 1 < views.size();
}

namespace {

bool moveFocus(const std::shared_ptr<ui::View>& current, const std::shared_ptr<ui::View>& target) {
    const bool became = target->becomeFirstResponder();
    if (!became && current) current->becomeFirstResponder();
    return became;
}

}  // namespace

bool KBKeyboardManager::goPrevious() {
    const auto views = responderViews();
    const auto current = textFieldView();
    const auto index = indexOf(views, current.get());
    if (!index || *index == 0) return false;
    return moveFocus(current, views[*index - 1]);
}

bool KBKeyboardManager::goNext() {
    const auto views = responderViews();
    const auto current = textFieldView();
    const auto index = indexOf(views, current.get());
    if (!index || *index + 1 >= views.size()) return false;
    return moveFocus(current, views[*index + 1]);
}

void KBKeyboardManager::previousAction(ns::Object*) {
    if (shouldPlayInputClicks_) ui::Device::currentDevice().playInputClick();
    if (!canGoPrevious()) return;
    const auto current = textFieldView();
    if (goPrevious() && current) {
        if (auto call = previousInvocation(*current)) call->invoke();
    }
}

void KBKeyboardManager::nextAction(ns::Object*) {
    if (shouldPlayInputClicks_) ui::Device::currentDevice().playInputClick();
    if (!canGoNext()) return;
    const auto current = textFieldView();
    if (goNext() && current) {
        if (auto call = nextInvocation(*current)) call->invoke();
    }
}

void KBKeyboardManager::doneAction(ns::Object*) {
    if (shouldPlayInputClicks_) ui::Device::currentDevice().playInputClick();
    const auto current = textFieldView();
    if (resignFirstResponder() && current) {
        if (auto call = doneInvocation(*current)) call->invoke();
    }
}

// ---- Toolbars ----

void KBKeyboardManager::addToolbarIfRequired() {
    const auto field = textFieldView();
    if (field && isToolbarDisabledIn(*field)) {
        removeToolbarIfRequired();
        return;
    }
    const auto views = responderViews();
    if (views.empty()) return;
    const std::weak_ptr<ns::Object> self = weak_from_this();
    if (views.size() == 1) {
        ui::View& view = *views[0];
        const auto accessory = view.inputAccessoryView();
        if (acceptsInputAccessoryView(view) && (!accessory || accessory->tag() == kKBPreviousNextToolbarTag)) {
            if (cachedDoneToolbar()) {
                setInputAccessoryView(view, cachedDoneToolbar());
            } else {
                addDoneOnKeyboardWithTargetActionShouldShowPlaceholder(
                    view, self, ui::Action(&KBKeyboardManager::doneAction), shouldShowTextFieldPlaceholder_);
                cachedDoneToolbar() = view.inputAccessoryView();
                cachedDoneToolbar()->setTag(kKBDoneToolbarTag);
            }
        }
        if (auto toolbar = managersToolbar(view, kKBDoneToolbarTag)) styleToolbar(view, *toolbar);
        return;
    }
    for (std::size_t i = 0; i < views.size(); ++i) {
        ui::View& view = *views[i];
        const auto accessory = view.inputAccessoryView();
        if (acceptsInputAccessoryView(view) && (!accessory || accessory->tag() == kKBDoneToolbarTag)) {
            addPreviousNextDoneOnKeyboardWithTargetShouldShowPlaceholder(
                view, self, ui::Action(&KBKeyboardManager::previousAction), ui::Action(&KBKeyboardManager::nextAction),
                ui::Action(&KBKeyboardManager::doneAction), shouldShowTextFieldPlaceholder_);
            view.inputAccessoryView()->setTag(kKBPreviousNextToolbarTag);
        }
        if (auto toolbar = managersToolbar(view, kKBPreviousNextToolbarTag)) {
            styleToolbar(view, *toolbar);
            setEnablePrevious(view, i != 0, i + 1 != views.size());
        }
    }
}

void KBKeyboardManager::styleToolbar(ui::View& view, ui::View& bar) {
    auto& toolbar = static_cast<KBToolbar&>(bar);
    if (const auto* traits = dynamic_cast<const ui::TextInputTraits*>(&view)) {
        if (traits->keyboardAppearance() == ui::KeyboardAppearance::Dark) {
            toolbar.setBarStyle(ui::BarStyle::Black);
            toolbar.setTintColor(ui::Color::whiteColor());
        } else {
            toolbar.setBarStyle(ui::BarStyle::Default);
            toolbar.setTintColor(shouldToolbarUsesTextFieldTintColor_ ? view.tintColor() : defaultToolbarTintColor_);
        }
    }
    if (shouldShowTextFieldPlaceholder_ && !shouldHideTitle(view)) {
        if (answersPlaceholder(view)) {
            const auto placeholder = placeholderOf(view);
            if (!toolbar.title() || toolbar.title() != placeholder) toolbar.setTitle(placeholder);
        } else {
            toolbar.setTitle(std::nullopt);
        }
        if (placeholderFont_) toolbar.setTitleFont(placeholderFont_);
    } else {
        toolbar.setTitle(std::nullopt);
    }
}

void KBKeyboardManager::removeToolbarIfRequired() {
    for (const auto& view : responderViews()) {
        if (!acceptsInputAccessoryView(*view)) continue;
        if (managersToolbar(*view, kKBDoneToolbarTag) || managersToolbar(*view, kKBPreviousNextToolbarTag)) {
            setInputAccessoryView(*view, nullptr);
        }
    }
}

unsigned KBKeyboardManager::animationOptions() const {
    return animationCurve_ | ui::ViewAnimationOptionBeginFromCurrentState;
}

}  // namespace ql
