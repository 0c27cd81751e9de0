#pragma once
// KBKeyboardManager: keeps the text field or text view being edited visible above the keyboard without
// code in the screens. The process-wide instance is created and switched on by a class-load hook. It
// follows the keyboard, editing and orientation notifications, moves the root controller's view (or
// scrolls the enclosing scroll views, changes a layout-guide constraint, shortens a text view) and puts
// everything back when the keyboard leaves. It gives every editable field a toolbar above the keyboard
// (Previous/Next/Done for a group of fields, Done alone for a single one), offers an optional
// tap-outside-to-dismiss gesture and moves between the fields of a group.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/foundation/Class.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Geometry.h"
#include "platform/ui/Font.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/KeyInput.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace ql {

// Tags of the toolbars the manager attaches: Done alone, and Previous/Next/Done.
inline constexpr std::int64_t kKBDoneToolbarTag = -1002;
inline constexpr std::int64_t kKBPreviousNextToolbarTag = -1005;

// Order of a Previous/Next group outside the container classes.
enum class KBAutoToolbarManageBehaviour : std::int64_t { BySubviews = 0, ByTag = 1, ByPosition = 2 };

class KBKeyboardManager : public ns::Object, public ui::GestureRecognizerDelegate {
    QL_OBJECT(KBKeyboardManager, ns::Object)
public:
    static constexpr std::string_view kLoadHookName = "KBKeyboardManager";
    static constexpr double kDefaultKeyboardDistance = 10;

    // Registers the class-load hook that creates the shared instance and switches it on.
    static void registerLoadHook();
    static void load();
    // Made once; the first one made also listens to the notifications.
    static const std::shared_ptr<KBKeyboardManager>& sharedManager();

    KBKeyboardManager();
    ~KBKeyboardManager() override;

    // ---- Settings ----
    bool isEnabled() const { return enable_; }
    // On while a keyboard shows: adjusts at once. Off: restores first, then switches off.
    void setEnable(bool enable);
    double keyboardDistanceFromTextField() const { return keyboardDistance_; }
    void setKeyboardDistanceFromTextField(double distance);
    bool preventShowingBottomBlankSpace() const { return preventShowingBottomBlankSpace_; }
    void setPreventShowingBottomBlankSpace(bool prevent) { preventShowingBottomBlankSpace_ = prevent; }
    bool isEnableAutoToolbar() const { return enableAutoToolbar_; }
    // Attaches or removes the toolbars of the current group at once.
    void setEnableAutoToolbar(bool enable);
    KBAutoToolbarManageBehaviour toolbarManageBehaviour() const { return toolbarManageBehaviour_; }
    void setToolbarManageBehaviour(KBAutoToolbarManageBehaviour behaviour) { toolbarManageBehaviour_ = behaviour; }
    bool shouldToolbarUsesTextFieldTintColor() const { return shouldToolbarUsesTextFieldTintColor_; }
    void setShouldToolbarUsesTextFieldTintColor(bool uses) { shouldToolbarUsesTextFieldTintColor_ = uses; }
    bool shouldShowTextFieldPlaceholder() const { return shouldShowTextFieldPlaceholder_; }
    void setShouldShowTextFieldPlaceholder(bool show) { shouldShowTextFieldPlaceholder_ = show; }
    const std::shared_ptr<ui::Font>& placeholderFont() const { return placeholderFont_; }
    void setPlaceholderFont(std::shared_ptr<ui::Font> font) { placeholderFont_ = std::move(font); }
    bool canAdjustTextView() const { return canAdjustTextView_; }
    void setCanAdjustTextView(bool can) { canAdjustTextView_ = can; }
    bool shouldFixTextViewClip() const { return shouldFixTextViewClip_; }
    void setShouldFixTextViewClip(bool fix) { shouldFixTextViewClip_ = fix; }
    bool overrideKeyboardAppearance() const { return overrideKeyboardAppearance_; }
    void setOverrideKeyboardAppearance(bool override) { overrideKeyboardAppearance_ = override; }
    ui::KeyboardAppearance keyboardAppearance() const { return keyboardAppearance_; }
    void setKeyboardAppearance(ui::KeyboardAppearance appearance) { keyboardAppearance_ = appearance; }
    bool shouldResignOnTouchOutside() const { return shouldResignOnTouchOutside_; }
    void setShouldResignOnTouchOutside(bool resign);
    bool shouldPlayInputClicks() const { return shouldPlayInputClicks_; }
    void setShouldPlayInputClicks(bool play) { shouldPlayInputClicks_ = play; }
    bool shouldAdoptDefaultKeyboardAnimation() const { return shouldAdoptDefaultKeyboardAnimation_; }
    void setShouldAdoptDefaultKeyboardAnimation(bool adopt) { shouldAdoptDefaultKeyboardAnimation_ = adopt; }
    bool layoutIfNeededOnUpdate() const { return layoutIfNeededOnUpdate_; }
    void setLayoutIfNeededOnUpdate(bool layout) { layoutIfNeededOnUpdate_ = layout; }
    bool shouldRestoreScrollViewContentOffset() const { return shouldRestoreScrollViewContentOffset_; }
    void setShouldRestoreScrollViewContentOffset(bool restore) { shouldRestoreScrollViewContentOffset_ = restore; }

    // ---- Class lists (the manager's checks match subclasses; these queries the exact class) ----
    void disableInViewControllerClass(const ns::Class& cls);
    void removeDisableInViewControllerClass(const ns::Class& cls);
    bool isDisableInViewControllerClass(const ns::Class& cls) const;
    void disableToolbarInViewControllerClass(const ns::Class& cls);
    void removeDisableToolbarInViewControllerClass(const ns::Class& cls);
    bool isDisableToolbarInViewControllerClass(const ns::Class& cls) const;
    void considerToolbarPreviousNextInViewClass(const ns::Class& cls);
    void removeConsiderToolbarPreviousNextInViewClass(const ns::Class& cls);
    bool isConsiderToolbarPreviousNextInViewClass(const ns::Class& cls) const;

    // ---- State ----
    // The field being edited.
    std::shared_ptr<ui::View> textFieldView() const { return textFieldView_.lock(); }
    // The field's window, else the application's key window, else the last key window seen.
    std::shared_ptr<ui::Window> keyWindow();
    bool isKeyboardShowing() const { return isKeyboardShowing_; }
    cg::Size keyboardSize() const { return kbSize_; }

    // ---- Navigation ----
    bool resignFirstResponder();
    bool canGoPrevious();
    bool canGoNext();
    bool goPrevious();
    bool goNext();
    // The field's Previous/Next group.
    std::vector<std::shared_ptr<ui::View>> responderViews();

    // ---- Toolbars ----
    void addToolbarIfRequired();
    void removeToolbarIfRequired();
    void previousAction(ns::Object* sender);
    void nextAction(ns::Object* sender);
    void doneAction(ns::Object* sender);

    // ---- Notification handlers ----
    void keyboardWillShow(const ns::Notification* notification);
    void keyboardWillHide(const ns::Notification* notification);
    void keyboardDidHide(const ns::Notification* notification);
    void textFieldViewDidBeginEditing(const ns::Notification& notification);
    void textFieldViewDidEndEditing(const ns::Notification& notification);
    void textFieldViewDidChange(const ns::Notification& notification);
    void willChangeStatusBarOrientation(const ns::Notification& notification);

    // ---- Tap outside ----
    void tapRecognized(ui::GestureRecognizer* recognizer);
    bool gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(ui::GestureRecognizer&,
                                                                             ui::GestureRecognizer&) override;
    bool gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer& recognizer, ui::Touch& touch) override;
    const std::shared_ptr<ui::TapGestureRecognizer>& tapGesture() const { return tapGesture_; }

    // ---- The adjustment (KBKeyboardManagerAdjustment.cpp) ----
    // Removes what hides the field: scrolls the enclosing scroll views, then changes the layout-guide
    // constraint, shortens a text view or moves the root controller's view.
    void adjustFrame();
    // Moves the root controller's view to the rectangle's origin (its size stays), animated.
    void setRootViewFrame(const cg::Rect& rect);

private:
    void observeNotifications();
    bool isDisabledIn(const ui::View& field) const;
    bool isToolbarDisabledIn(const ui::View& field) const;
    void styleToolbar(ui::View& view, ui::View& toolbar);
    void restoreShortenedTextView();
    void rememberRootController(const ui::View* field);
    // The adjustment's parts.
    void restoreOnHide();
    void restoreScrollView();
    void rememberScrollView(ui::ScrollView& scrollView);
    void followCaret(ui::View& textView);
    unsigned animationOptions() const;

    std::weak_ptr<ui::View> textFieldView_;
    cg::Rect textFieldViewInitialFrame_;
    cg::Rect topViewBeginRect_;
    std::weak_ptr<ns::Object> rootViewController_;
    double layoutGuideConstraintInitialConstant_ = 0;
    // The controller whose layout-guide constraint's constant was recorded: the keyboard leaves after the
    // field has ended editing here, so the restore cannot ask the field for it.
    std::weak_ptr<ns::Object> layoutGuideController_;
    std::weak_ptr<ui::ScrollView> lastScrollView_;
    cg::EdgeInsets startingContentInsets_;
    cg::EdgeInsets startingScrollIndicatorInsets_;
    cg::Point startingContentOffset_;
    std::optional<ns::Notification> kbShowNotification_;
    cg::Size kbSize_;
    double animationDuration_ = 0.25;
    unsigned animationCurve_ = 0;
    std::shared_ptr<ui::TapGestureRecognizer> tapGesture_;
    std::shared_ptr<ui::Color> defaultToolbarTintColor_;
    std::vector<const ns::Class*> disabledClasses_;
    std::vector<const ns::Class*> disabledToolbarClasses_;
    std::vector<const ns::Class*> toolbarPreviousNextConsideredClass_;
    std::shared_ptr<ui::Window> cachedKeyWindow_;
    bool isTextFieldViewFrameChanged_ = false;
    bool isKeyboardShowing_ = false;

    bool enable_ = false;
    double keyboardDistance_ = kDefaultKeyboardDistance;
    bool preventShowingBottomBlankSpace_ = true;
    bool enableAutoToolbar_ = true;
    KBAutoToolbarManageBehaviour toolbarManageBehaviour_ = KBAutoToolbarManageBehaviour::BySubviews;
    bool shouldToolbarUsesTextFieldTintColor_ = false;
    bool shouldShowTextFieldPlaceholder_ = true;
    std::shared_ptr<ui::Font> placeholderFont_;
    bool canAdjustTextView_ = false;
    bool shouldFixTextViewClip_ = true;
    bool overrideKeyboardAppearance_ = false;
    ui::KeyboardAppearance keyboardAppearance_ = ui::KeyboardAppearance::Default;
    bool shouldResignOnTouchOutside_ = false;
    bool shouldPlayInputClicks_ = false;
    bool shouldAdoptDefaultKeyboardAnimation_ = true;
    bool layoutIfNeededOnUpdate_ = false;
    bool shouldRestoreScrollViewContentOffset_ = false;
};

}  // namespace ql
