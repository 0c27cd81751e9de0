#pragma once
// UTAsyncFileDeleter: makes a path free at once by moving the item out of the way, then removes the data
// in the background, one removal at a time. Nothing is reported: a failed move leaves the item in place.

#include <memory>
#include <string_view>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"

namespace ql {

class UTAsyncFileDeleter : public ns::Object {
    QL_OBJECT(UTAsyncFileDeleter, ns::Object)

public:
    UTAsyncFileDeleter();
    static const std::shared_ptr<UTAsyncFileDeleter>& sharedInstance();

    void removeItemAtPath(std::string_view path);
    void removeItemAtURL(const ns::URL& url);
    // Blocks until every removal queued so far has finished.
    void waitUntilFinished();

private:
    struct Queues {
        std::shared_ptr<ns::DispatchQueue> rename = ns::DispatchQueue::serial("UTAsyncFileDeleterRenameQueue");
        std::shared_ptr<ns::DispatchQueue> remove = ns::DispatchQueue::serial("UTAsyncFileDeleterRemoveQueue");
        std::shared_ptr<ns::DispatchGroup> group = std::make_shared<ns::DispatchGroup>();
    };
    // Shared by every deleter, made on the first one's creation.
    static Queues& queues();
};

}  // namespace ql
