#include "ui/keyboard/KBToolbarAddition.h"

#include <vector>

#include "platform/ui/BezierPath.h"
#include "platform/ui/Color.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "ui/keyboard/KBTextView.h"
#include "ui/keyboard/KBToolbar.h"

namespace ql {

namespace {

const char kShouldHideTitleKey = 0;
const char kPreviousInvocationKey = 0;
const char kNextInvocationKey = 0;
const char kDoneInvocationKey = 0;

constexpr double kFixedSpace = 23;

using Item = std::shared_ptr<ui::BarButtonItem>;

// The arrows of the previous/next layouts: chevrons, tinted by the bar like any system button's image.
std::shared_ptr<ui::Image> arrowImage(bool pointsLeft) {
    const cg::Size size{12, 21};
    const ui::ImageContextScope scope(size, false, 0);
    ui::BezierPath path;
    const double tip = pointsLeft ? 2 : 10;
    const double back = pointsLeft ? 10 : 2;
    path.moveToPoint({back, 2});
    path.addLineToPoint({tip, size.height / 2});
    path.addLineToPoint({back, size.height - 2});
    path.setLineWidth(2.5);
    path.setLineCapStyle(cg::LineCap::Round);
    path.setLineJoinStyle(cg::LineJoin::Round);
    ui::Color::blackColor()->setStroke();
    path.stroke();
    return scope.image();
}

const std::shared_ptr<ui::Image>& leftArrow() {
    static const auto& image = *new std::shared_ptr<ui::Image>(arrowImage(true));
    return image;
}

const std::shared_ptr<ui::Image>& rightArrow() {
    static const auto& image = *new std::shared_ptr<ui::Image>(arrowImage(false));
    return image;
}

Item systemItem(ui::BarButtonSystemItem kind, const KBTarget& target, const ui::Action& action) {
    return std::make_shared<KBBarButtonItem>(kind, target, action);
}

Item flexibleSpace() { return systemItem(ui::BarButtonSystemItem::FlexibleSpace, {}, {}); }

Item titled(const std::string& text, ui::BarButtonItemStyle style, const KBTarget& target, const ui::Action& action) {
    return std::make_shared<KBBarButtonItem>(std::optional<std::string>(text), style, target, action);
}

// The arrows are named like the segments of the older previous/next control, so that a screen reader
// (and a script) can tell them apart.
Item arrow(bool left, const KBTarget& target, const ui::Action& action) {
    auto item = std::make_shared<KBBarButtonItem>(left ? leftArrow() : rightArrow(), ui::BarButtonItemStyle::Plain,
                                                  target, action);
    item->setAccessibilityLabel(left ? "Previous" : "Next");
    return item;
}

std::optional<std::string> titleForPlaceholder(const ui::View& view, bool shouldShowPlaceholder) {
    return shouldShowPlaceholder && answersPlaceholder(view) ? placeholderOf(view) : std::nullopt;
}

// Builds a toolbar of the layout for the view: `items` gets the title item made for the toolbar's width
// less `reserved`.
template <class Layout>
void build(ui::View& view, double reserved, const std::optional<std::string>& titleText, Layout layout) {
    if (!acceptsInputAccessoryView(view)) return;
    auto toolbar = std::make_shared<KBToolbar>();
    if (const auto* traits = dynamic_cast<const ui::TextInputTraits*>(&view)) {
        toolbar->setBarStyle(traits->keyboardAppearance() == ui::KeyboardAppearance::Dark ? ui::BarStyle::Black
                                                                                         : ui::BarStyle::Default);
    }
    const double width = toolbar->frame().size.width - reserved;
    auto title = std::make_shared<KBTitleBarButtonItem>(cg::Rect{0, 0, width, ui::Toolbar::kHeight},
                                                        shouldHideTitle(view) ? std::nullopt : titleText);
    toolbar->setItems(layout(Item(title)));
    setInputAccessoryView(view, toolbar);
}

std::shared_ptr<KBInvocation> invocationFor(const ui::View& view, const char* key) {
    return view.associatedValue(key).asObject<KBInvocation>();
}

void record(ui::View& view, const char* key, KBTarget target, ui::Action action) {
    view.setAssociatedValue(key, std::make_shared<KBInvocation>(std::move(target), std::move(action),
                                                                view.sharedFromThis()));
}

}  // namespace

bool acceptsInputAccessoryView(const ui::View& view) {
    return dynamic_cast<const ui::TextField*>(&view) || dynamic_cast<const ui::TextView*>(&view);
}

void setInputAccessoryView(ui::View& view, std::shared_ptr<ui::View> accessory) {
    if (auto* field = dynamic_cast<ui::TextField*>(&view)) {
        field->setInputAccessoryView(std::move(accessory));
    } else if (auto* text = dynamic_cast<ui::TextView*>(&view)) {
        text->setInputAccessoryView(std::move(accessory));
    }
}

bool answersPlaceholder(const ui::View& view) {
    return dynamic_cast<const ui::TextField*>(&view) || dynamic_cast<const KBTextView*>(&view);
}

std::optional<std::string> placeholderOf(const ui::View& view) {
    if (const auto* field = dynamic_cast<const ui::TextField*>(&view)) return field->placeholder();
    if (const auto* text = dynamic_cast<const KBTextView*>(&view)) return text->placeholder();
    return std::nullopt;
}

// ---- Layouts ----

void addRightButtonOnKeyboardWithTextTargetActionTitleText(ui::View& view, const std::string& text, KBTarget target,
                                                           ui::Action action, std::optional<std::string> titleText) {
    build(view, 74, titleText, [&](Item title) {
        return std::vector<Item>{title, flexibleSpace(), titled(text, ui::BarButtonItemStyle::Done, target, action)};
    });
}

void addRightButtonOnKeyboardWithTextTargetActionShouldShowPlaceholder(ui::View& view, const std::string& text,
                                                                       KBTarget target, ui::Action action,
                                                                       bool shouldShowPlaceholder) {
    addRightButtonOnKeyboardWithTextTargetActionTitleText(view, text, std::move(target), std::move(action),
                                                          titleForPlaceholder(view, shouldShowPlaceholder));
}

void addRightButtonOnKeyboardWithText(ui::View& view, const std::string& text, KBTarget target, ui::Action action) {
    addRightButtonOnKeyboardWithTextTargetActionTitleText(view, text, std::move(target), std::move(action),
                                                          std::nullopt);
}

void addDoneOnKeyboardWithTargetActionTitleText(ui::View& view, KBTarget target, ui::Action action,
                                                std::optional<std::string> titleText) {
    build(view, 76, titleText, [&](Item title) {
        return std::vector<Item>{title, flexibleSpace(), systemItem(ui::BarButtonSystemItem::Done, target, action)};
    });
}

void addDoneOnKeyboardWithTargetActionShouldShowPlaceholder(ui::View& view, KBTarget target, ui::Action action,
                                                            bool shouldShowPlaceholder) {
    addDoneOnKeyboardWithTargetActionTitleText(view, std::move(target), std::move(action),
                                               titleForPlaceholder(view, shouldShowPlaceholder));
}

void addDoneOnKeyboardWithTarget(ui::View& view, KBTarget target, ui::Action action) {
    addDoneOnKeyboardWithTargetActionTitleText(view, std::move(target), std::move(action), std::nullopt);
}

void addLeftRightOnKeyboardWithTargetTitleText(ui::View& view, KBTarget target, const std::string& leftButtonTitle,
                                               const std::string& rightButtonTitle, ui::Action leftButtonAction,
                                               ui::Action rightButtonAction, std::optional<std::string> titleText) {
    build(view, 132, titleText, [&](Item title) {
        return std::vector<Item>{titled(leftButtonTitle, ui::BarButtonItemStyle::Plain, target, leftButtonAction), title,
                                 flexibleSpace(),
                                 titled(rightButtonTitle, ui::BarButtonItemStyle::Plain, target, rightButtonAction)};
    });
}

void addLeftRightOnKeyboardWithTargetShouldShowPlaceholder(ui::View& view, KBTarget target,
                                                           const std::string& leftButtonTitle,
                                                           const std::string& rightButtonTitle,
                                                           ui::Action leftButtonAction, ui::Action rightButtonAction,
                                                           bool shouldShowPlaceholder) {
    addLeftRightOnKeyboardWithTargetTitleText(view, std::move(target), leftButtonTitle, rightButtonTitle,
                                              std::move(leftButtonAction), std::move(rightButtonAction),
                                              titleForPlaceholder(view, shouldShowPlaceholder));
}

void addLeftRightOnKeyboardWithTarget(ui::View& view, KBTarget target, const std::string& leftButtonTitle,
                                      const std::string& rightButtonTitle, ui::Action leftButtonAction,
                                      ui::Action rightButtonAction) {
    addLeftRightOnKeyboardWithTargetTitleText(view, std::move(target), leftButtonTitle, rightButtonTitle,
                                              std::move(leftButtonAction), std::move(rightButtonAction), std::nullopt);
}

void addCancelDoneOnKeyboardWithTargetTitleText(ui::View& view, KBTarget target, ui::Action cancelAction,
                                                ui::Action doneAction, std::optional<std::string> titleText) {
    build(view, 132, titleText, [&](Item title) {
        return std::vector<Item>{systemItem(ui::BarButtonSystemItem::Cancel, target, cancelAction), title,
                                 flexibleSpace(), systemItem(ui::BarButtonSystemItem::Done, target, doneAction)};
    });
}

void addCancelDoneOnKeyboardWithTargetShouldShowPlaceholder(ui::View& view, KBTarget target, ui::Action cancelAction,
                                                            ui::Action doneAction, bool shouldShowPlaceholder) {
    addCancelDoneOnKeyboardWithTargetTitleText(view, std::move(target), std::move(cancelAction), std::move(doneAction),
                                               titleForPlaceholder(view, shouldShowPlaceholder));
}

void addCancelDoneOnKeyboardWithTarget(ui::View& view, KBTarget target, ui::Action cancelAction,
                                       ui::Action doneAction) {
    addCancelDoneOnKeyboardWithTargetTitleText(view, std::move(target), std::move(cancelAction), std::move(doneAction),
                                               std::nullopt);
}

namespace {

std::vector<Item> previousNext(const KBTarget& target, const ui::Action& previousAction, const ui::Action& nextAction,
                               Item title, Item right) {
    auto space = systemItem(ui::BarButtonSystemItem::FixedSpace, {}, {});
    space->setWidth(kFixedSpace);
    return {arrow(true, target, previousAction), space, arrow(false, target, nextAction), std::move(title),
            flexibleSpace(), std::move(right)};
}

}  // namespace

void addPreviousNextDoneOnKeyboardWithTargetTitleText(ui::View& view, KBTarget target, ui::Action previousAction,
                                                      ui::Action nextAction, ui::Action doneAction,
                                                      std::optional<std::string> titleText) {
    build(view, 138.5, titleText, [&](Item title) {
        return previousNext(target, previousAction, nextAction, std::move(title),
                            systemItem(ui::BarButtonSystemItem::Done, target, doneAction));
    });
}

void addPreviousNextDoneOnKeyboardWithTargetShouldShowPlaceholder(ui::View& view, KBTarget target,
                                                                  ui::Action previousAction, ui::Action nextAction,
                                                                  ui::Action doneAction, bool shouldShowPlaceholder) {
    addPreviousNextDoneOnKeyboardWithTargetTitleText(view, std::move(target), std::move(previousAction),
                                                     std::move(nextAction), std::move(doneAction),
                                                     titleForPlaceholder(view, shouldShowPlaceholder));
}

void addPreviousNextDoneOnKeyboardWithTarget(ui::View& view, KBTarget target, ui::Action previousAction,
                                             ui::Action nextAction, ui::Action doneAction) {
    addPreviousNextDoneOnKeyboardWithTargetTitleText(view, std::move(target), std::move(previousAction),
                                                     std::move(nextAction), std::move(doneAction), std::nullopt);
}

void addPreviousNextRightOnKeyboardWithTargetTitleText(ui::View& view, KBTarget target,
                                                       const std::string& rightButtonTitle, ui::Action previousAction,
                                                       ui::Action nextAction, ui::Action rightButtonAction,
                                                       std::optional<std::string> titleText) {
    build(view, 138.5, titleText, [&](Item title) {
        return previousNext(target, previousAction, nextAction, std::move(title),
                            titled(rightButtonTitle, ui::BarButtonItemStyle::Done, target, rightButtonAction));
    });
}

void addPreviousNextRightOnKeyboardWithTargetShouldShowPlaceholder(ui::View& view, KBTarget target,
                                                                   const std::string& rightButtonTitle,
                                                                   ui::Action previousAction, ui::Action nextAction,
                                                                   ui::Action rightButtonAction,
                                                                   bool shouldShowPlaceholder) {
    addPreviousNextRightOnKeyboardWithTargetTitleText(view, std::move(target), rightButtonTitle,
                                                      std::move(previousAction), std::move(nextAction),
                                                      std::move(rightButtonAction),
                                                      titleForPlaceholder(view, shouldShowPlaceholder));
}

void addPreviousNextRightOnKeyboardWithTarget(ui::View& view, KBTarget target, const std::string& rightButtonTitle,
                                              ui::Action previousAction, ui::Action nextAction,
                                              ui::Action rightButtonAction) {
    addPreviousNextRightOnKeyboardWithTargetTitleText(view, std::move(target), rightButtonTitle,
                                                      std::move(previousAction), std::move(nextAction),
                                                      std::move(rightButtonAction), std::nullopt);
}

// ---- Enabling, titles and recorded calls ----

void setEnablePrevious(ui::View& view, bool previous, bool next) {
    const auto toolbar = std::dynamic_pointer_cast<KBToolbar>(view.inputAccessoryView());
    if (!toolbar || toolbar->items().size() <= 3) return;
    const auto& items = toolbar->items();
    if (!std::dynamic_pointer_cast<KBBarButtonItem>(items[0]) || !std::dynamic_pointer_cast<KBBarButtonItem>(items[2])) {
        return;
    }
    if (items[0]->isEnabled() != previous) items[0]->setEnabled(previous);
    if (items[2]->isEnabled() != next) items[2]->setEnabled(next);
}

bool shouldHideTitle(const ui::View& view) { return view.associatedValue(&kShouldHideTitleKey).boolValue(); }

void setShouldHideTitle(ui::View& view, bool hide) {
    view.setAssociatedValue(&kShouldHideTitleKey, ns::Value(hide));
    if (!answersPlaceholder(view)) return;
    if (auto toolbar = std::dynamic_pointer_cast<KBToolbar>(view.inputAccessoryView())) {
        toolbar->setTitle(hide ? std::nullopt : placeholderOf(view));
    }
}

KBInvocation::KBInvocation(KBTarget target, ui::Action action, const std::shared_ptr<ui::View>& argument)
    : target_(std::move(target)), action_(std::move(action)), argument_(argument) {}

bool KBInvocation::invoke() const {
    const auto target = target_.lock();
    if (!target) return false;
    const auto argument = argument_.lock();
    return action_.send(target.get(), argument.get(), nullptr);
}

void setCustomPreviousTarget(ui::View& view, KBTarget target, ui::Action action) {
    record(view, &kPreviousInvocationKey, std::move(target), std::move(action));
}
void setCustomNextTarget(ui::View& view, KBTarget target, ui::Action action) {
    record(view, &kNextInvocationKey, std::move(target), std::move(action));
}
void setCustomDoneTarget(ui::View& view, KBTarget target, ui::Action action) {
    record(view, &kDoneInvocationKey, std::move(target), std::move(action));
}
std::shared_ptr<KBInvocation> previousInvocation(const ui::View& view) {
    return invocationFor(view, &kPreviousInvocationKey);
}
std::shared_ptr<KBInvocation> nextInvocation(const ui::View& view) { return invocationFor(view, &kNextInvocationKey); }
std::shared_ptr<KBInvocation> doneInvocation(const ui::View& view) { return invocationFor(view, &kDoneInvocationKey); }
void setPreviousInvocation(ui::View& view, std::shared_ptr<KBInvocation> invocation) {
    view.setAssociatedValue(&kPreviousInvocationKey, ns::Value(std::move(invocation)));
}
void setNextInvocation(ui::View& view, std::shared_ptr<KBInvocation> invocation) {
    view.setAssociatedValue(&kNextInvocationKey, ns::Value(std::move(invocation)));
}
void setDoneInvocation(ui::View& view, std::shared_ptr<KBInvocation> invocation) {
    view.setAssociatedValue(&kDoneInvocationKey, ns::Value(std::move(invocation)));
}

}  // namespace ql
