#include "storage/foundation/UTNetworkActivity.h"

#include <cstdint>
#include <mutex>

#include "platform/foundation/DispatchQueue.h"
#include "platform/ui/Application.h"

namespace ql {

namespace {

std::mutex counterMutex;
std::int64_t activeOperations = 0;

std::int64_t currentCount() {
    std::lock_guard lock(counterMutex);
    return activeOperations;
}

}  // namespace

void pushActiveNetworkOperation() {
    {
        std::lock_guard lock(counterMutex);
        ++activeOperations;
    }
    ns::DispatchQueue::main()->async([] {
        auto& application = ui::Application::sharedApplication();
        if (currentCount() != 0 && !application.isNetworkActivityIndicatorVisible()) {
            application.setNetworkActivityIndicatorVisible(true);
        }
    });
}

void popActiveNetworkOperation() {
    {
        std::lock_guard lock(counterMutex);
        if (activeOperations <= 0) return;
        --activeOperations;
    }
    ns::DispatchQueue::main()->async([] {
        auto& application = ui::Application::sharedApplication();
        if (currentCount() == 0 && application.isNetworkActivityIndicatorVisible()) {
            application.setNetworkActivityIndicatorVisible(false);
        }
    });
}

}  // namespace ql
