#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "platform/foundation/OperationQueue.h"
#include "platform/net/URLError.h"
#include "platform/net/URLSession.h"
#include "platform/net/URLSessionTask.h"

namespace ql::ns {

namespace {

// The first byte a 206 reply carries ("bytes 100-199/200"), or nothing when it names none.
std::optional<std::int64_t> rangeStart(const HTTPURLResponse& response) {
    const auto range = response.valueForHTTPHeaderField("Content-Range");
    if (!range) return std::nullopt;
    std::string_view text(*range);
    if (!text.starts_with("bytes ")) return std::nullopt;
    text.remove_prefix(6);
    std::int64_t start = -1;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), start);
    if (error != std::errc() || end == text.data() + text.size() || *end != '-') return std::nullopt;
    return start;
}

}  // namespace

URLSessionDownloadTask::URLSessionDownloadTask(Key, std::weak_ptr<URLSession> session, std::uint64_t identifier,
                                               URLRequest request, CompletionHandler completionHandler,
                                               std::optional<DownloadResumeData> resumeData)
    : URLSessionTask(std::move(session), identifier, std::move(request), std::monostate(), 0),
      completionHandler_(std::move(completionHandler)),
      resumeData_(std::move(resumeData)),
      resumes_(resumeData_.has_value()) {
    if (completionHandler_) setHasCompletionHandler();
}

URLSessionDownloadTask::~URLSessionDownloadTask() {
    closeFile();
    if (!keepsFile_) removeFile();
}

void URLSessionDownloadTask::closeFile() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void URLSessionDownloadTask::removeFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
    path_.clear();
}

void URLSessionDownloadTask::prepareLoad(URLLoadOptions& options) {
    if (!resumeData_) return;
    // The part kept must still be there, at least as long as recorded (a longer file lost its last
    // write's record); otherwise the download starts over.
    struct stat status {};
    const std::string& path = resumeData_->partialFilePath;
    if (::lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < resumeData_->bytesReceived ||
        (status.st_size > resumeData_->bytesReceived && ::truncate(path.c_str(), resumeData_->bytesReceived) != 0)) {
        ::unlink(path.c_str());
        resumeData_.reset();
        return;
    }
    options.additionalHeaders.set("Range", "bytes=" + std::to_string(resumeData_->bytesReceived) + "-");
    options.additionalHeaders.set("If-Range", resumeData_->validator());
    // Offsets count the bytes as sent: the rest must come as it was, not compressed anew.
    options.additionalHeaders.set("Accept-Encoding", "identity");
    options.cache = nullptr;  // a part of a reply is no reply to keep
}

std::int64_t URLSessionDownloadTask::continuePartialFile(const std::shared_ptr<URLResponse>& response) {
    const DownloadResumeData resume = std::move(*resumeData_);
    resumeData_.reset();
    const auto* http = dynamic_cast<const HTTPURLResponse*>(response.get());
    if (http && http->statusCode() == 206 && rangeStart(*http) == resume.bytesReceived) {
        const int fd = ::open(resume.partialFilePath.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0) {
            fd_ = fd;
            path_ = resume.partialFilePath;
            return resume.bytesReceived;
        }
    }
    // The whole resource came instead (it changed, or the server sends no parts): it replaces the part.
    ::unlink(resume.partialFilePath.c_str());
    return 0;
}

void URLSessionDownloadTask::deliverResponse(const std::shared_ptr<URLResponse>& response) {
    if (fd_ >= 0) return;
    std::int64_t offset = 0;
    if (resumeData_) {
        const auto* http = dynamic_cast<const HTTPURLResponse*>(response.get());
        if (http && http->statusCode() == 206 && rangeStart(*http) != resumeData_->bytesReceived) {
            // A part that does not continue the file cannot be appended, nor be the whole resource.
            resumeData_.reset();
            return cancelWithError(urlError(URLErrorBadServerResponse, originalRequest().URL()));
        }
        offset = continuePartialFile(response);
    }
    if (fd_ < 0) {
        std::string pattern = downloadFilePattern();
        const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) return cancelWithError(urlError(URLErrorCannotCreateFile, originalRequest().URL()));
        fd_ = fd;
        path_ = std::move(pattern);
    }
    written_ = offset;
    if (!resumes_) return;
    const std::int64_t expected = response->expectedContentLength();
    const std::int64_t total = expected >= 0 ? offset + expected : URLSessionTransferSizeUnknown;
    if (offset > 0) addReceivedBytes(offset);
    setExpectedToReceive(total);
    tellDelegateResumed(offset, total);
}

void URLSessionDownloadTask::tellDelegateResumed(std::int64_t offset, std::int64_t expectedTotal) {
    if (hasCompletionHandler()) return;
    auto session = this->session();
    auto delegate = std::dynamic_pointer_cast<URLSessionDownloadDelegate>(this->delegate());
    if (delegate && session) delegate->URLSessionDownloadTaskDidResumeAtOffset(*session, *this, offset, expectedTotal);
}

void URLSessionDownloadTask::deliverData(const Data& data) {
    if (fd_ < 0) return;
    std::size_t written = 0;
    while (written < data.length()) {
        const ssize_t count = ::write(fd_, data.bytes() + written, data.length() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return cancelWithError(urlError(URLErrorCannotWriteToFile, originalRequest().URL()));
        written += static_cast<std::size_t>(count);
        written_ += count;
    }
    if (hasCompletionHandler()) return;
    auto session = this->session();
    auto delegate = std::dynamic_pointer_cast<URLSessionDownloadDelegate>(this->delegate());
    if (delegate && session)
        delegate->URLSessionDownloadTaskDidWriteData(*session, *this, static_cast<std::int64_t>(data.length()),
                                                     countOfBytesReceived(), countOfBytesExpectedToReceive());
}

void URLSessionDownloadTask::deliverCacheOffer(load_event::WillCache& offer) { offer.answer(offer.proposed); }

void URLSessionDownloadTask::cancelByProducingResumeData(std::function<void(std::optional<Data>)> completionHandler) {
    std::optional<Data> resumeData;
    {
        // Nothing is written meanwhile: the file holds exactly what the resume data will say.
        auto delivering = holdDelivery();
        if (state() == URLSessionTaskState::Completed) {
            // Too late to keep anything: the download is over.
        } else if (const auto http = std::dynamic_pointer_cast<HTTPURLResponse>(response()); http && fd_ >= 0) {
            if (auto resume = DownloadResumeData::forDownload(currentRequest(), *http, written_, path_)) {
                resumeData = resume->data();
                keepsFile_ = true;
            }
        }
        Error cancelled = urlError(URLErrorCancelled, originalRequest().URL());
        if (resumeData) {
            Dictionary userInfo = cancelled.userInfo();
            userInfo.set(std::string(URLSessionDownloadTaskResumeData), Value(*resumeData));
            cancelled = Error(cancelled.domain(), cancelled.code(), std::move(userInfo));
        }
        cancelWithError(std::move(cancelled));
    }
    if (!completionHandler) return;
    auto session = this->session();
    if (!session) return completionHandler(std::move(resumeData));
    session->delegateQueue()->addOperationWithBlock(
        [handler = std::move(completionHandler), resumeData = std::move(resumeData)] { handler(resumeData); });
}

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
        if (!keepsFile_) removeFile();
    } else {
        auto delegate = std::dynamic_pointer_cast<URLSessionDownloadDelegate>(this->delegate());
        if (location && delegate && session)
            delegate->URLSessionDownloadTaskDidFinishDownloadingToURL(*session, *this, *location);
        if (!keepsFile_) removeFile();  // the delegate had its chance to move it away
        tellDelegateCompleted(outcome);
    }
}

}  // namespace ql::ns
