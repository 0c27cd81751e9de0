#pragma once
// A progress view that follows the upload or download progress of a session task or an operation. Progress
// is shown only when the expected total is known (at least one byte).

#include <memory>

#include "net/NetURLConnectionOperation.h"
#include "platform/net/URLSessionTask.h"
#include "platform/ui/ProgressView.h"

namespace ql {

// Tasks are followed through their byte counts until they complete.
void net_setProgressWithUploadProgressOfTask(const std::shared_ptr<ui::ProgressView>& view,
                                             const std::shared_ptr<ns::URLSessionTask>& task, bool animated);
void net_setProgressWithDownloadProgressOfTask(const std::shared_ptr<ui::ProgressView>& view,
                                               const std::shared_ptr<ns::URLSessionTask>& task, bool animated);
// The operation's earlier progress block keeps being called, before the view is updated.
void net_setProgressWithUploadProgressOfOperation(const std::shared_ptr<ui::ProgressView>& view,
                                                  const std::shared_ptr<NetURLConnectionOperation>& operation,
                                                  bool animated);
void net_setProgressWithDownloadProgressOfOperation(const std::shared_ptr<ui::ProgressView>& view,
                                                    const std::shared_ptr<NetURLConnectionOperation>& operation,
                                                    bool animated);

bool net_uploadProgressAnimated(const ui::ProgressView& view);
void net_setUploadProgressAnimated(ui::ProgressView& view, bool animated);
bool net_downloadProgressAnimated(const ui::ProgressView& view);
void net_setDownloadProgressAnimated(ui::ProgressView& view, bool animated);

}  // namespace ql
