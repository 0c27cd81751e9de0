#pragma once
// Finding views the way a person looking at the screen would: by the words they show (a button's title,
// a label's or a text input's text, an empty text field's placeholder) or by their accessibility label.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ql::ui {
class View;
}

namespace ql::sim {

// A button's current title; nullopt for views without one.
std::optional<std::string> titleOf(const ui::View& view);
// The text of a label, a text field or a text view as a person reads it; nullopt for other views. A secure
// text field hides what it holds behind a dot for each character: its text reads as a "*" for each, which a
// script can type, and never as the secret.
std::optional<std::string> textOf(const ui::View& view);
// A text field's placeholder; nullopt for other views.
std::optional<std::string> placeholderOf(const ui::View& view);

// Whether the view can be seen: it and every view above it are neither hidden nor fully transparent, and
// its window is shown.
bool isShown(const ui::View& view);

// Whether the view's accessibility label, title or text is exactly `words` (or, for an empty text
// field, its placeholder).
bool showsWords(const ui::View& view, std::string_view words);

// Every shown view that shows `words`, frontmost first: windows front to back, within a view later
// subviews (drawn on top) before earlier ones, and a view before its own subviews.
std::vector<std::shared_ptr<ui::View>> findViews(std::string_view words);

}  // namespace ql::sim
