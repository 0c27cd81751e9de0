#pragma once
// UTFolderMonitor: calls a handler, on the monitor's own serial queue, whenever entries of a folder are
// added, removed or renamed. Changes inside existing files or in subfolders are not reported; changes
// close together may come as one call.

#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"

namespace ql {

class UTFolderMonitor : public ns::Object {
    QL_OBJECT(UTFolderMonitor, ns::Object)

public:
    UTFolderMonitor(ns::URL url, std::function<void()> block);
    ~UTFolderMonitor() override;
    static std::shared_ptr<UTFolderMonitor> folderMonitorForURL(ns::URL url, std::function<void()> block);

    const ns::URL& URL() const { return url_; }
    const std::shared_ptr<ns::DispatchQueue>& queue() const { return queue_; }
    bool isMonitoring() const;

    // Both may be called repeatedly, from any thread. A folder that cannot be watched leaves the monitor
    // stopped.
    void startMonitoring();
    void stopMonitoring();

private:
    struct Source;
    void stopLocked();

    ns::URL url_;
    std::function<void()> block_;
    std::shared_ptr<ns::DispatchQueue> queue_ = ns::DispatchQueue::serial("UTFolderMonitor Queue");
    mutable std::mutex mutex_;
    std::unique_ptr<Source> source_;
};

}  // namespace ql
