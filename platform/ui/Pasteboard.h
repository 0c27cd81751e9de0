#pragma once
// ui::Pasteboard: the general pasteboard, holding what was last copied as text.

#include <optional>
#include <string>

#include "platform/foundation/Object.h"

namespace ql::ui {

class Pasteboard : public ns::Object {
    QL_OBJECT_NAMED(Pasteboard, ns::Object, "UIPasteboard")
public:
    Pasteboard() = default;
    static Pasteboard& generalPasteboard();

    const std::optional<std::string>& string() const { return string_; }
    void setString(std::optional<std::string> text) { string_ = std::move(text); }

private:
    std::optional<std::string> string_;
};

}  // namespace ql::ui
