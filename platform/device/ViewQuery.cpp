#include "platform/device/ViewQuery.h"

#include "platform/foundation/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Window.h"

namespace ql::sim {

namespace {

// Below this a view is treated as invisible, as hit-testing does.
constexpr double kVisibleAlpha = 0.01;

void collect(const std::shared_ptr<ui::View>& view, std::string_view words,
             std::vector<std::shared_ptr<ui::View>>& found) {
    if (view->isHidden() || view->alpha() < kVisibleAlpha) return;
    if (showsWords(*view, words)) found.push_back(view);
    const auto& subviews = view->subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) collect(*it, words, found);
}

}  // namespace

std::optional<std::string> titleOf(const ui::View& view) {
    if (const auto* button = dynamic_cast<const ui::Button*>(&view)) return button->currentTitle();
    return std::nullopt;
}

std::optional<std::string> textOf(const ui::View& view) {
    if (const auto* label = dynamic_cast<const ui::Label*>(&view)) return label->text();
    if (const auto* field = dynamic_cast<const ui::TextField*>(&view)) {
        if (field->isSecureTextEntry()) return std::string(ns::utf16Length(field->text()), '*');
        return field->text();
    }
    if (const auto* text = dynamic_cast<const ui::TextView*>(&view)) return text->text();
    return std::nullopt;
}

std::optional<std::string> placeholderOf(const ui::View& view) {
    if (const auto* field = dynamic_cast<const ui::TextField*>(&view)) return field->placeholder();
    return std::nullopt;
}

bool isShown(const ui::View& view) {
    const ui::View* top = &view;
    for (const ui::View* v = &view; v; v = v->superview()) {
        if (v->isHidden() || v->alpha() < kVisibleAlpha) return false;
        top = v;
    }
    return view.window() == top;
}

bool showsWords(const ui::View& view, std::string_view words) {
    if (view.accessibilityLabel() == words) return true;
    if (titleOf(view) == words) return true;
    const auto text = textOf(view);
    if (text == words) return true;
    return text && text->empty() && placeholderOf(view) == words;
}

std::vector<std::shared_ptr<ui::View>> findViews(std::string_view words) {
    std::vector<std::shared_ptr<ui::View>> found;
    const auto windows = ui::Application::sharedApplication().windows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) collect(*it, words, found);
    return found;
}

}  // namespace ql::sim
