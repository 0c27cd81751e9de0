#pragma once
// The upload worker: posts the waiting envelope files, oldest first, each to the primary log endpoint and on
// failure to the backup one; a file that an endpoint took with status 200 is deleted and never sent again.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Operation.h"
#include "platform/net/URLRequest.h"

namespace ql {

class StatWorker : public ns::Operation {
public:
    explicit StatWorker(std::vector<std::string> envelopeFilePaths = {});

    void main() override;
    // Delivers one file to the first endpoint that takes it. A file another app is posting is left to it,
    // and counts as done here.
    bool postDataWithFile(const std::string& path);
    // One request; true when the service took the file (status 200 with a reply to read).
    bool postDataToServer(const std::string& url, const std::string& path);
    // The request with the client's headers; the caller adds method and body.
    static std::optional<ns::URLRequest> setupRequest(const std::string& url);

    const std::vector<std::string>& envelopeFilePaths() const { return envelopeFilePaths_; }
    void setEnvelopeFilePaths(std::vector<std::string> paths) { envelopeFilePaths_ = std::move(paths); }

private:
    void dropPath(const std::string& path);

    std::vector<std::string> envelopeFilePaths_;
};

}  // namespace ql
