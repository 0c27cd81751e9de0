#pragma once
// The wait before another verification code may be asked for: once a code is on its way the send button
// counts down "(60)秒" … "(1)秒", one step a second, and then reads "重新获取" and works again.

#include <cstdint>
#include <memory>
#include <string_view>

namespace ql::ns {
class Timer;
}
namespace ql::ui {
class Button;
}

namespace ql {

inline constexpr std::string_view RetryCodeTitle = "重新获取";

class VerificationCountdown {
public:
    static constexpr std::uint64_t kSeconds = 60;

    VerificationCountdown() = default;
    ~VerificationCountdown();
    VerificationCountdown(const VerificationCountdown&) = delete;
    VerificationCountdown& operator=(const VerificationCountdown&) = delete;

    // Starts the 1-second ticks on the main run loop; the button keeps its title until the first tick.
    void start(const std::shared_ptr<ui::Button>& button);
    // One tick: shows the seconds left and counts down; after the last, lets the student ask again.
    void verUpdate();
    // Ends a countdown early (the screen goes away): the button works again, so a student who comes back
    // is never left with a dead button.
    void stop();

    bool isRunning() const { return timer_ != nullptr; }
    std::uint64_t verTimeLimit() const { return verTimeLimit_; }

    // Enabled, titled "重新获取".
    static void allowRetry(ui::Button& button);

private:
    void finish();

    std::shared_ptr<ns::Timer> timer_;
    std::weak_ptr<ui::Button> button_;
    std::uint64_t verTimeLimit_ = 0;
};

}  // namespace ql
