#pragma once
// Keyboard toolbars on any view that takes an input accessory view (text fields and text views), in six
// layouts, each in three forms: with a title text, with the field's placeholder as title when asked,
// and without a title. Also: switching the previous and next buttons on and off, hiding the title, and
// per-view custom calls that the keyboard manager makes after its own previous, next and done handling.

#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Selector.h"
#include "platform/ui/View.h"

namespace ql {

// ---- Views that take a toolbar ----
bool acceptsInputAccessoryView(const ui::View& view);
// Does nothing on a view that does not accept one.
void setInputAccessoryView(ui::View& view, std::shared_ptr<ui::View> accessory);
// Whether the view has a placeholder (text fields and placeholder text views), and what it is.
bool answersPlaceholder(const ui::View& view);
std::optional<std::string> placeholderOf(const ui::View& view);

using KBTarget = std::weak_ptr<ns::Object>;

// ---- The six layouts ----
void addRightButtonOnKeyboardWithTextTargetActionTitleText(ui::View& view, const std::string& text, KBTarget target,
                                                           ui::Action action, std::optional<std::string> titleText);
void addRightButtonOnKeyboardWithTextTargetActionShouldShowPlaceholder(ui::View& view, const std::string& text,
                                                                       KBTarget target, ui::Action action,
                                                                       bool shouldShowPlaceholder);
void addRightButtonOnKeyboardWithText(ui::View& view, const std::string& text, KBTarget target, ui::Action action);

void addDoneOnKeyboardWithTargetActionTitleText(ui::View& view, KBTarget target, ui::Action action,
                                                std::optional<std::string> titleText);
void addDoneOnKeyboardWithTargetActionShouldShowPlaceholder(ui::View& view, KBTarget target, ui::Action action,
                                                            bool shouldShowPlaceholder);
void addDoneOnKeyboardWithTarget(ui::View& view, KBTarget target, ui::Action action);

void addLeftRightOnKeyboardWithTargetTitleText(ui::View& view, KBTarget target, const std::string& leftButtonTitle,
                                               const std::string& rightButtonTitle, ui::Action leftButtonAction,
                                               ui::Action rightButtonAction, std::optional<std::string> titleText);
void addLeftRightOnKeyboardWithTargetShouldShowPlaceholder(ui::View& view, KBTarget target,
                                                           const std::string& leftButtonTitle,
                                                           const std::string& rightButtonTitle,
                                                           ui::Action leftButtonAction, ui::Action rightButtonAction,
                                                           bool shouldShowPlaceholder);
void addLeftRightOnKeyboardWithTarget(ui::View& view, KBTarget target, const std::string& leftButtonTitle,
                                      const std::string& rightButtonTitle, ui::Action leftButtonAction,
                                      ui::Action rightButtonAction);

void addCancelDoneOnKeyboardWithTargetTitleText(ui::View& view, KBTarget target, ui::Action cancelAction,
                                                ui::Action doneAction, std::optional<std::string> titleText);
void addCancelDoneOnKeyboardWithTargetShouldShowPlaceholder(ui::View& view, KBTarget target, ui::Action cancelAction,
                                                            ui::Action doneAction, bool shouldShowPlaceholder);
void addCancelDoneOnKeyboardWithTarget(ui::View& view, KBTarget target, ui::Action cancelAction,
                                       ui::Action doneAction);

void addPreviousNextDoneOnKeyboardWithTargetTitleText(ui::View& view, KBTarget target, ui::Action previousAction,
                                                      ui::Action nextAction, ui::Action doneAction,
                                                      std::optional<std::string> titleText);
void addPreviousNextDoneOnKeyboardWithTargetShouldShowPlaceholder(ui::View& view, KBTarget target,
                                                                  ui::Action previousAction, ui::Action nextAction,
                                                                  ui::Action doneAction, bool shouldShowPlaceholder);
void addPreviousNextDoneOnKeyboardWithTarget(ui::View& view, KBTarget target, ui::Action previousAction,
                                             ui::Action nextAction, ui::Action doneAction);

void addPreviousNextRightOnKeyboardWithTargetTitleText(ui::View& view, KBTarget target,
                                                       const std::string& rightButtonTitle, ui::Action previousAction,
                                                       ui::Action nextAction, ui::Action rightButtonAction,
                                                       std::optional<std::string> titleText);
void addPreviousNextRightOnKeyboardWithTargetShouldShowPlaceholder(ui::View& view, KBTarget target,
                                                                   const std::string& rightButtonTitle,
                                                                   ui::Action previousAction, ui::Action nextAction,
                                                                   ui::Action rightButtonAction,
                                                                   bool shouldShowPlaceholder);
void addPreviousNextRightOnKeyboardWithTarget(ui::View& view, KBTarget target, const std::string& rightButtonTitle,
                                              ui::Action previousAction, ui::Action nextAction,
                                              ui::Action rightButtonAction);

// Items 0 and 2 of a previous/next toolbar (the arrows); changes only what differs.
void setEnablePrevious(ui::View& view, bool previous, bool next);

bool shouldHideTitle(const ui::View& view);
// Also clears (or restores the placeholder as) the title of the view's toolbar.
void setShouldHideTitle(ui::View& view, bool hide);

// A call recorded for later: the action sent to the target with the view as sender. The target is held
// weakly; a call whose target is gone is skipped.
class KBInvocation : public ns::Object {
    QL_OBJECT(KBInvocation, ns::Object)
public:
    KBInvocation(KBTarget target, ui::Action action, const std::shared_ptr<ui::View>& argument);
    // False when the target is gone or does not take the action.
    bool invoke() const;

private:
    KBTarget target_;
    ui::Action action_;
    std::weak_ptr<ui::View> argument_;
};

void setCustomPreviousTarget(ui::View& view, KBTarget target, ui::Action action);
void setCustomNextTarget(ui::View& view, KBTarget target, ui::Action action);
void setCustomDoneTarget(ui::View& view, KBTarget target, ui::Action action);
std::shared_ptr<KBInvocation> previousInvocation(const ui::View& view);
std::shared_ptr<KBInvocation> nextInvocation(const ui::View& view);
std::shared_ptr<KBInvocation> doneInvocation(const ui::View& view);
void setPreviousInvocation(ui::View& view, std::shared_ptr<KBInvocation> invocation);
void setNextInvocation(ui::View& view, std::shared_ptr<KBInvocation> invocation);
void setDoneInvocation(ui::View& view, std::shared_ptr<KBInvocation> invocation);

}  // namespace ql
