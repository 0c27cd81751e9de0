#pragma once
// PKPromptView: a transient prompt: a small dark rounded window, above the status bar and centred on the
// screen, with an optional icon over a short message. It fades in, stays two seconds and fades out. The
// class keeps the latest prompt in one shared slot; a prompt stays on screen while the slot or its own
// pending hide holds it, and leaves without a fade when the last of them lets go.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/Window.h"

namespace ql {

class PKPromptView : public ui::Window {
    QL_OBJECT_NAMED(PKPromptView, ui::Window, "PKPromptView")
public:
    static constexpr double kFadeDuration = 0.3;
    static constexpr double kShowDuration = 2.0;

    // Builds and lays out the prompt at full opacity; showWithImageName puts it on the screen.
    PKPromptView(const std::string& imageName, const std::string& message);

    static void showWithImageName(const std::string& imageName, const std::string& message);
    // The prompt in the shared slot, if any.
    static std::shared_ptr<PKPromptView> current();
    // Fades out whichever prompt the slot holds, whatever prompt this is sent to, and empties the slot.
    void animationHide();
};

// What the picker and its preview say when a photo would go beyond the maximum: "最多选择%lu张照片"
// with the icon "picker_alert_sigh".
void showMaximumSelectionPrompt(std::uint64_t maximum);

}  // namespace ql
