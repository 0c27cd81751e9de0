#pragma once
// The transport under the service client: joins a host and a path into a request URL, sends the request
// through the HTTP client library with a new manager for every call (so no serializer or header carries
// over), and hands the parsed JSON reply, or the error's readable description, to the caller's blocks on
// the main queue. Exactly one block is called, once; an empty block is skipped. The manager and the
// operation are not kept: the operation runs to its end on the networking queue by itself.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/service/FormPostInFlight.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Value.h"
#include "platform/net/URLRequest.h"

namespace ql {

class NetHTTPRequestOperation;

inline constexpr std::string_view PostRequestLogFormat = "postRequestOperationForHost, toUrl %@, with parameters %@";
inline constexpr std::string_view ResponseLogFormat = "Response:%@";
inline constexpr std::string_view GetRequestLogFormat = "getRequestOperationForHost, fromUrl %@, with parameters %@";
inline constexpr std::string_view RequestJsonLogFormat = "requestJsonWithParameter fromURL: %@, withParam: %@";
// What the request log lines show in place of a password.
inline constexpr std::string_view MaskedLogValue = "******";

class BaseNetHTTPManager {
public:
    using Completion = std::function<void(const ns::Value& reply)>;
    using Failure = std::function<void(const std::string& message)>;
    using OperationFailure =
        std::function<void(const std::shared_ptr<NetHTTPRequestOperation>& operation, const std::string& message)>;

    // The host followed directly by the path (the host ends with "/", service paths do not begin with
    // one), percent-escaped where a URL may not hold a character as it is (blanks, non-ASCII, quotes, …).
    // In the path "/", ":", "?", "&", "=" and the other URL punctuation stay, but "%", "#", "[" and "]"
    // are escaped, so a path never cuts the URL at a fragment; the host keeps them (an IPv6 literal).
    static std::string p_getURLWithParameters(std::string_view path, std::string_view host);

    // How long a form POST goes without hearing from the service (since it was sent, or since the last
    // piece of its reply) before it fails as timed out: the networking default, counted on the app's clock
    // (FormPostCall.h).
    static constexpr double kRequestTimeout = ns::URLRequest::kDefaultTimeoutInterval;

    // The form POST of every service operation: URL-form body, JSON reply required. An "authkey" entry of
    // the parameters also goes out as the header "authkey". Logs the request and the parsed reply.
    static void postRequestOperationForHost(std::string_view host, std::string_view path, const ns::Value& parameters,
                                            Completion completion, Failure failure);
    // Form POSTs sent whose completion or failure block has not run yet. The run command and the
    // end-to-end tests wait for it to reach 0 to know that the app has heard back from the service.
    static std::size_t formPostsInFlight();
    // Those calls with their request URLs, so that a driver can tell what the app is waiting for (one whose
    // request could not be made, its failure on its way, is not among them).
    static std::vector<FormPostInFlight> formPostCallsInFlight();
    // Multipart: the parameters plus the data as one PNG file part named "faceImg".
    static void postRequestOperationForHost(std::string_view host, std::string_view path, const ns::Value& parameters,
                                            const ns::Data& data, Completion completion, Failure failure);
    // Multipart: the parameters plus the data as one file part whose part and file name are `filename`.
    static void postRequestOperationForHost(std::string_view host, std::string_view path, const ns::Value& parameters,
                                            const ns::Data& data, std::string_view filename,
                                            std::string_view mimetype, Completion completion, Failure failure);
    // The parameters as a JSON body.
    static void postJsonRequestOperationForHost(std::string_view host, std::string_view path,
                                                const ns::Value& parameters, Completion completion, Failure failure);
    // GET with the parameters in the query; also takes replies typed "text/html" or "text/plain".
    static void getRequestOperationForHost(std::string_view host, std::string_view path, const ns::Value& parameters,
                                           Completion completion, OperationFailure failure);
    // A plain GET of the URL, also taking "text/html" replies; the operation is started before it is returned.
    static std::shared_ptr<NetHTTPRequestOperation> requestJsonWithParameter(std::string_view path,
                                                                             std::string_view host,
                                                                             Completion completion, Failure failure);

    // The parameters as the request log lines show them: the values of "password", "NEWPassword" and
    // "oldPassword" replaced by MaskedLogValue, so that no password in clear text reaches the log.
    static ns::Value parametersForLog(const ns::Value& parameters);
};

}  // namespace ql
