#pragma once
// PKActionSheet: a self-made action sheet: a full-screen view that darkens what lies under it and slides
// up a panel of stacked buttons, the cancel button at the bottom and an optional grey caption at the top.
// The chosen button reaches the caller's block after the sheet has slid away, numbered by its tag less
// 100: cancel 0, the titles 1 to n from the top. A tap above the panel closes the sheet without a number.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/Button.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/TapGestureRecognizer.h"

namespace ql {

// The sheets' shared look and timing (the action sheet and the side-scrolling picker).
namespace PKSheet {
inline constexpr std::int64_t kCancelTag = 100;
inline constexpr double kButtonHeight = 50;
inline constexpr float kButtonPitch = 50.5f;
// The cancel button and the gap above it.
inline constexpr float kCancelArea = 57.5f;
inline constexpr double kShowDuration = 0.3;
inline constexpr double kHideDuration = 0.4;
inline constexpr double kDamping = 0.8;
inline constexpr double kOvershoot = 10;
// The panel's colour, which shows between the buttons as separator lines.
std::shared_ptr<ui::Color> panelColor();
// The cancel button at the bottom of a panel of height `h`, then the titles stacked above it, each
// targeting `target` with `action`; all added to `panel`.
void addButtons(ui::View& panel, double h, const std::string& cancel, const std::vector<std::string>& titles,
                const std::weak_ptr<ns::Object>& target, const ui::Action& action);
}  // namespace PKSheet

class PKActionSheet : public ui::View, public ui::GestureRecognizerDelegate {
    QL_OBJECT_NAMED(PKActionSheet, ui::View, "PKActionSheet")
    struct Key {
        explicit Key() = default;
    };

public:
    static constexpr double kCaptionHeight = 65;

    // Made by `make`, which builds the sheet and starts its show animation: the buttons report to the
    // sheet, which needs an owner first.
    PKActionSheet(Key, std::string cancel, std::vector<std::string> titles, std::optional<std::string> attachTitle);
    static std::shared_ptr<PKActionSheet> make(std::string cancel, std::vector<std::string> titles,
                                               std::optional<std::string> attachTitle = std::nullopt);

    const std::function<void(std::int64_t)>& ButtonIndex() const { return buttonIndex_; }
    void setButtonIndex(std::function<void(std::int64_t)> block) { buttonIndex_ = std::move(block); }
    const std::string& CancelStr() const { return cancelStr_; }
    void setCancelStr(std::string text) { cancelStr_ = std::move(text); }
    const std::vector<std::string>& Titles() const { return titles_; }
    void setTitles(std::vector<std::string> titles) { titles_ = std::move(titles); }
    std::shared_ptr<ui::View> ButtomView() const { return buttomView_.lock(); }
    const std::optional<std::string>& AttachTitle() const { return attachTitle_; }
    void setAttachTitle(std::optional<std::string> text) { attachTitle_ = std::move(text); }

    void loadUI();
    void SelectedButtons(ui::Button* button);
    void dismiss(ui::TapGestureRecognizer* tap);
    void DismissBlock(std::function<void(bool finished)> block);
    void ChangeTitleColor(std::shared_ptr<ui::Color> color, std::int64_t index);
    // Absent, or nothing left once spaces and tabs (not line breaks) are trimmed from both ends.
    static bool isBlankString(const std::optional<std::string>& text);

private:
    std::function<void(std::int64_t)> buttonIndex_;
    std::string cancelStr_;
    std::vector<std::string> titles_;
    std::weak_ptr<ui::View> buttomView_;
    std::optional<std::string> attachTitle_;
};

}  // namespace ql
