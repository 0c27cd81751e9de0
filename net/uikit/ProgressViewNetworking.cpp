#include "net/uikit/ProgressViewNetworking.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "net/uikit/NetAssociatedObject.h"
#include "platform/foundation/DispatchQueue.h"

namespace ql {
namespace {

const char kUploadAnimatedKey = 0;
const char kDownloadAnimatedKey = 0;
const char kTaskObservationsKey = 0;

enum class Direction { Upload, Download };

// The view's key-value observations of tasks, one pair (state and byte count) per task and direction,
// dropped once the task completes.
class TaskObservations final : public ns::Object {
public:
    struct Entry {
        const ns::Object* task;
        Direction direction;
        ns::KeyValueObservation state;
        ns::KeyValueObservation bytes;
    };

    void add(Entry entry) {
        std::lock_guard lock(mutex_);
        entries_.push_back(std::move(entry));
    }

    void remove(const ns::Object* task, Direction direction) {
        std::vector<Entry> ended;
        {
            std::lock_guard lock(mutex_);
            auto split = std::stable_partition(entries_.begin(), entries_.end(), [&](const Entry& entry) {
                return entry.task != task || entry.direction != direction;
            });
            std::move(split, entries_.end(), std::back_inserter(ended));
            entries_.erase(split, entries_.end());
        }
        // `ended` ends the observations here, outside the lock.
    }

private:
    std::mutex mutex_;
    std::vector<Entry> entries_;
};

std::shared_ptr<TaskObservations> observationsOf(ui::ProgressView& view) {
    auto observations = net_associatedObject<TaskObservations>(view, &kTaskObservationsKey);
    if (!observations) {
        observations = std::make_shared<TaskObservations>();
        net_setAssociatedObject(view, &kTaskObservationsKey, observations);
    }
    return observations;
}

void showProgress(const std::weak_ptr<ui::ProgressView>& weakView, std::int64_t done, std::int64_t expected,
                  Direction direction) {
    if (expected < 1) return;
    ns::DispatchQueue::main()->async([weakView, done, expected, direction] {
        auto view = weakView.lock();
        if (!view) return;
        const bool animated =
            direction == Direction::Upload ? net_uploadProgressAnimated(*view) : net_downloadProgressAnimated(*view);
        view->setProgress(static_cast<float>(static_cast<double>(done) / static_cast<double>(expected)), animated);
    });
}

void followTask(const std::shared_ptr<ui::ProgressView>& view, const std::shared_ptr<ns::URLSessionTask>& task,
                bool animated, Direction direction) {
    const bool upload = direction == Direction::Upload;
    if (upload) {
        net_setUploadProgressAnimated(*view, animated);
    } else {
        net_setDownloadProgressAnimated(*view, animated);
    }
    std::weak_ptr<ui::ProgressView> weakView = view;
    std::weak_ptr<ns::URLSessionTask> weakTask = task;
    auto observations = observationsOf(*view);
    std::weak_ptr<TaskObservations> weakObservations = observations;
    const ns::Object* taskIdentity = task.get();

    auto bytes = task->addObserver(upload ? "countOfBytesSent" : "countOfBytesReceived", 0,
                                   [weakView, weakTask, upload, direction](const ns::KeyValueChange&) {
                                       auto task = weakTask.lock();
                                       if (!task) return;
                                       if (upload) {
                                           showProgress(weakView, task->countOfBytesSent(),
                                                        task->countOfBytesExpectedToSend(), direction);
                                       } else {
                                           showProgress(weakView, task->countOfBytesReceived(),
                                                        task->countOfBytesExpectedToReceive(), direction);
                                       }
                                   });
    auto state = task->addObserver("state", 0, [weakTask, weakObservations, taskIdentity, direction](const ns::KeyValueChange&) {
        auto task = weakTask.lock();
        if (!task || task->state() != ns::URLSessionTaskState::Completed) return;
        if (auto observations = weakObservations.lock()) observations->remove(taskIdentity, direction);
    });
    observations->add({taskIdentity, direction, std::move(state), std::move(bytes)});
}

void followOperation(const std::shared_ptr<ui::ProgressView>& view,
                     const std::shared_ptr<NetURLConnectionOperation>& operation, bool animated, Direction direction) {
    const bool upload = direction == Direction::Upload;
    if (upload) {
        net_setUploadProgressAnimated(*view, animated);
    } else {
        net_setDownloadProgressAnimated(*view, animated);
    }
    auto earlier = upload ? operation->uploadProgress() : operation->downloadProgress();
    std::weak_ptr<ui::ProgressView> weakView = view;
    auto block = [earlier, weakView, direction](std::uint64_t bytes, std::int64_t total, std::int64_t expected) {
        if (earlier) earlier(bytes, total, expected);
        showProgress(weakView, total, expected, direction);
    };
    if (upload) {
        operation->setUploadProgressBlock(block);
    } else {
        operation->setDownloadProgressBlock(block);
    }
}

}  // namespace

void net_setProgressWithUploadProgressOfTask(const std::shared_ptr<ui::ProgressView>& view,
                                             const std::shared_ptr<ns::URLSessionTask>& task, bool animated) {
    followTask(view, task, animated, Direction::Upload);
}

void net_setProgressWithDownloadProgressOfTask(const std::shared_ptr<ui::ProgressView>& view,
                                               const std::shared_ptr<ns::URLSessionTask>& task, bool animated) {
    followTask(view, task, animated, Direction::Download);
}

void net_setProgressWithUploadProgressOfOperation(const std::shared_ptr<ui::ProgressView>& view,
                                                  const std::shared_ptr<NetURLConnectionOperation>& operation,
                                                  bool animated) {
    followOperation(view, operation, animated, Direction::Upload);
}

void net_setProgressWithDownloadProgressOfOperation(const std::shared_ptr<ui::ProgressView>& view,
                                                    const std::shared_ptr<NetURLConnectionOperation>& operation,
                                                    bool animated) {
    followOperation(view, operation, animated, Direction::Download);
}

bool net_uploadProgressAnimated(const ui::ProgressView& view) {
    return view.associatedValue(&kUploadAnimatedKey).boolValue();
}

void net_setUploadProgressAnimated(ui::ProgressView& view, bool animated) {
    view.setAssociatedValue(&kUploadAnimatedKey, ns::Value(animated));
}

bool net_downloadProgressAnimated(const ui::ProgressView& view) {
    return view.associatedValue(&kDownloadAnimatedKey).boolValue();
}

void net_setDownloadProgressAnimated(ui::ProgressView& view, bool animated) {
    view.setAssociatedValue(&kDownloadAnimatedKey, ns::Value(animated));
}

}  // namespace ql
