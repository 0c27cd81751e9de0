#pragma once
// Runs a step when the scope ends, however it ends: a test that installs a process-wide hook removes it
// even when a failed assertion returns early, so the next test never meets a hook left pointing at the
// dead one's locals.

#include <utility>

namespace ql::test {

template <class Step>
class [[nodiscard]] OnScopeExit {
public:
    explicit OnScopeExit(Step step) : step_(std::move(step)) {}
    ~OnScopeExit() { step_(); }
    OnScopeExit(const OnScopeExit&) = delete;
    OnScopeExit& operator=(const OnScopeExit&) = delete;

private:
    Step step_;
};

}  // namespace ql::test
