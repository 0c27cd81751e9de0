#pragma once
// Loading file: URLs, as the platform's loading system does for requests no registered protocol takes: a
// regular file's bytes with a MIME type from its extension. A folder or a special file (a pipe, a device, a
// socket) is refused with an error that says so, never read, so nothing waits on what such a file would
// hand over. Internal to the loading system.

#include <atomic>
#include <string>
#include <string_view>

#include "platform/net/URLProtocol.h"

namespace ql::ns {

class FileURLProtocol final : public URLProtocol {
public:
    static bool canInitWithRequest(const URLRequest& request);
    static URLRequest canonicalRequestForRequest(const URLRequest& request) { return request; }
    // For the loading system, which asks it after the registered classes.
    static const Registration& registration();

    using URLProtocol::URLProtocol;
    void startLoading() override;
    void stopLoading() override { stopped_ = true; }

private:
    std::atomic<bool> stopped_{false};
};

// The MIME type for a file name's extension (any case); "application/octet-stream" for one not known.
std::string MIMETypeForPathExtension(std::string_view extension);

}  // namespace ql::ns
