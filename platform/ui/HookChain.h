#pragma once
// ui::HookChain: an ordered chain of hooks around one operation of a view class, standing in for the
// exchange of method implementations at load time. Each hook receives the receiver, the call's
// arguments and a continuation that runs the rest of the chain; the hook added last runs outermost, so
// it wraps every hook added before it, and the innermost step is the class's own work.

#include <cstddef>
#include <deque>
#include <functional>
#include <utility>

#include "platform/ui/MainThread.h"

namespace ql::ui {

template <class Target, class... Args>
class HookChain {
public:
    using Proceed = std::function<void()>;
    using Hook = std::function<void(Target& target, const Args&... args, const Proceed& proceed)>;

    // Returns the hook's position, for runBelow. Hooks stay for the life of the process.
    std::size_t add(Hook hook) {
        assertMainThread();
        hooks_.push_back(std::move(hook));
        return hooks_.size() - 1;
    }

    // Runs every hook, outermost first, and `own` at the centre (unless a hook declines to proceed).
    void run(const std::function<void()>& own, Target& target, const Args&... args) const {
        runBelow(hooks_.size(), own, target, args...);
    }

    // Runs what the hook at `position` reaches through its continuation: the hooks added before it, then
    // `own`. A position past the end runs the whole chain.
    void runBelow(std::size_t position, const std::function<void()>& own, Target& target, const Args&... args) const {
        if (position > hooks_.size()) position = hooks_.size();
        if (position == 0) {
            own();
            return;
        }
        // A deque keeps the hook in place should a hook add another while it runs.
        const Hook& hook = hooks_[position - 1];
        hook(target, args..., [&, position] { runBelow(position - 1, own, target, args...); });
    }

private:
    std::deque<Hook> hooks_;
};

}  // namespace ql::ui
