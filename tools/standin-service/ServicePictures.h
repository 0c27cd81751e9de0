#pragma once
// The pictures the stand-in service serves under "Upload/": those it was sent, as they came, and those its
// fixtures name without holding any (book covers, students' photos), which it draws once each. Every picture
// goes out with an ETag and a Last-Modified date and asks to be revalidated before reuse; a request that
// names the current picture (If-None-Match, or else If-Modified-Since) gets "304 Not Modified".

#include <httplib.h>

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"
#include "tools/standin-service/ServiceState.h"

namespace ql::standin {

class ServicePictures {
public:
    // Answers a GET of a path under "/Upload/"; the caller keeps the state from changing meanwhile.
    void serve(const ServiceState& state, const httplib::Request& request, httplib::Response& response);

    // A cover for the book or a photo for the student, drawn from the text it is given (JPEG).
    static ns::Data drawCover(std::string_view seed);
    static ns::Data drawPortrait(std::string_view seed);

private:
    struct Picture {
        ns::Data bytes;
        std::string etag;
        std::string lastModified;
    };

    // The picture at the service path, or nothing when the service has none there.
    std::optional<Picture> pictureAt(const ServiceState& state, std::string_view path);
    Picture remember(std::string_view path, ns::Data bytes);

    std::mutex mutex_;
    std::map<std::string, Picture, std::less<>> pictures_;
};

}  // namespace ql::standin
