#include "images/webimage/MainThread.h"

#include "platform/foundation/DispatchQueue.h"

namespace ql {

void runOnMainAndWait(const std::function<void()>& block) {
    if (ns::DispatchQueue::isMainThread()) block();
    else ns::DispatchQueue::main()->sync(block);
}

void runOnMain(std::function<void()> block) {
    if (ns::DispatchQueue::isMainThread()) block();
    else ns::DispatchQueue::main()->async(std::move(block));
}

}  // namespace ql
