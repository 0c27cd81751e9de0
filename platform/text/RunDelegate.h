#pragma once
// ct::RunDelegate: stands in for glyphs that text layout does not draw itself (an image, a video, any
// embedded object): attributed text carries it under the run-delegate key, and layout asks it for the
// ascent, descent and width to reserve for the run. Registered as "CTRunDelegate".

#include <functional>
#include <memory>
#include <utility>

#include "platform/foundation/Object.h"

namespace ql::ct {

class RunDelegate final : public ns::Object {
    QL_OBJECT_NAMED(RunDelegate, ns::Object, "CTRunDelegate")
public:
    struct Callbacks {
        std::function<double()> ascent;
        std::function<double()> descent;
        std::function<double()> width;
    };

    explicit RunDelegate(Callbacks callbacks) : callbacks_(std::move(callbacks)) {}
    // `reference` is what the callbacks read, kept for as long as the delegate lives: callbacks that hold
    // a plain pointer into it stay small enough to need no memory of their own.
    RunDelegate(Callbacks callbacks, std::shared_ptr<const void> reference)
        : callbacks_(std::move(callbacks)), reference_(std::move(reference)) {}

    // 0 for a callback that is not given.
    double ascent() const { return callbacks_.ascent ? callbacks_.ascent() : 0; }
    double descent() const { return callbacks_.descent ? callbacks_.descent() : 0; }
    double width() const { return callbacks_.width ? callbacks_.width() : 0; }

private:
    Callbacks callbacks_;
    std::shared_ptr<const void> reference_;
};

}  // namespace ql::ct
