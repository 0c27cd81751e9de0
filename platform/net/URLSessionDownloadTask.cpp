#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/foundation/Sandbox.h"
#include "platform/net/URLError.h"
#include "platform/net/URLSession.h"
#include "platform/net/URLSessionTask.h"

namespace ql::ns {

URLSessionDownloadTask::URLSessionDownloadTask(Key, std::weak_ptr<URLSession> session, std::uint64_t identifier,
                                               URLRequest request, CompletionHandler completionHandler)
    : URLSessionTask(std::move(session), identifier, std::move(request), std::monostate(), 0),
      completionHandler_(std::move(completionHandler)) {
    if (completionHandler_) setHasCompletionHandler();
}

URLSessionDownloadTask::~URLSessionDownloadTask() {
    closeFile();
    removeFile();
}

void URLSessionDownloadTask::closeFile() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void URLSessionDownloadTask::removeFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
    path_.clear();
}

void URLSessionDownloadTask::deliverResponse(const std::shared_ptr<URLResponse>&) {
    if (fd_ >= 0) return;
    std::string pattern = temporaryDirectory() + "download-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return cancelWithError(urlError(URLErrorCannotCreateFile, originalRequest().URL()));
    fd_ = fd;
    path_ = std::move(pattern);
}

void URLSessionDownloadTask::deliverData(const Data& data) {
    if (fd_ < 0) return;
    std::size_t written = 0;
    while (written < data.length()) {
        const ssize_t count = ::write(fd_, data.bytes() + written, data.length() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return cancelWithError(urlError(URLErrorCannotWriteToFile, originalRequest().URL()));
        written += static_cast<std::size_t>(count);
    }
    if (hasCompletionHandler()) return;
    auto session = this->session();
    auto delegate = std::dynamic_pointer_cast<URLSessionDownloadDelegate>(this->delegate());
    if (delegate && session)
        delegate->URLSessionDownloadTaskDidWriteData(*session, *this, static_cast<std::int64_t>(data.length()),
                                                     countOfBytesReceived(), countOfBytesExpectedToReceive());
}

void URLSessionDownloadTask::deliverCacheOffer(load_event::WillCache& offer) { offer.answer(offer.proposed); }

void URLSessionDownloadTask::deliverCompletion(const std::optional<Error>& error) {
    if (!error && fd_ < 0) deliverResponse(response());  // an empty reply still makes a file
    closeFile();
    auto session = this->session();
    const std::optional<Error> outcome = error ? error : this->error();
    std::optional<URL> location;
    if (!outcome && !path_.empty()) location = URL::fileURLWithPath(path_, false);
    if (hasCompletionHandler()) {
        auto handler = std::move(completionHandler_);
        if (handler) handler(location, response(), outcome);
        removeFile();
    } else {
        auto delegate = std::dynamic_pointer_cast<URLSessionDownloadDelegate>(this->delegate());
        if (location && delegate && session)
            delegate->URLSessionDownloadTaskDidFinishDownloadingToURL(*session, *this, *location);
        removeFile();  // the delegate had its chance to move it away
        tellDelegateCompleted(outcome);
    }
}

}  // namespace ql::ns
