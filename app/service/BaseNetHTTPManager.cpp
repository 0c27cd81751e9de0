#include "app/service/BaseNetHTTPManager.h"

#include <utility>

#include "app/service/FormPostCall.h"
#include "net/NetHTTPRequestOperation.h"
#include "net/NetHTTPRequestOperationManager.h"
#include "net/NetJSONRequestSerializer.h"
#include "net/NetJSONResponseSerializer.h"
#include "net/NetMultipartFormData.h"
#include "net/NetStrings.h"
#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/net/URLRequest.h"

namespace ql {

namespace {

// What a host (scheme, authority and the base path) may hold as it is: the unreserved and reserved
// characters, brackets for a literal IPv6 address, and "%" so that an escape already present is kept.
const ns::CharacterSet& URLHostCharacters() {
    static const auto& set = *new ns::CharacterSet(ns::CharacterSet::characterSetWithCharactersInString(
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~:/?#[]@!$&'()*+,;=%"));
    return set;
}

// What a service path may hold as it is. "/", ":", "?", "&" and "=" keep their meaning; "%", "#", "[" and
// "]" are escaped, since in a path they would start an escape, cut the URL at a fragment or stand for
// an address.
const ns::CharacterSet& URLPathCharacters() {
    static const auto& set = *new ns::CharacterSet(ns::CharacterSet::characterSetWithCharactersInString(
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~:/?@!$&'()*+,;="));
    return set;
}

std::string logLine(std::string_view format, std::string_view url, const ns::Value& parameters) {
    return NetFormat(format, {url, BaseNetHTTPManager::parametersForLog(parameters).description()});
}

// A new manager with the JSON response serializer: every call starts from the networking defaults.
std::shared_ptr<NetHTTPRequestOperationManager> freshManager() {
    auto manager = NetHTTPRequestOperationManager::manager();
    manager->setResponseSerializer(NetJSONResponseSerializer::serializer());
    return manager;
}

NetHTTPRequestOperation::SuccessBlock deliver(BaseNetHTTPManager::Completion completion, bool logReply) {
    return [completion = std::move(completion), logReply](const std::shared_ptr<NetHTTPRequestOperation>&,
                                                          const ns::Value& reply) {
        if (logReply) ns::Log::write(NetFormat(ResponseLogFormat, {reply.description()}));
        if (completion) completion(reply);
    };
}

NetHTTPRequestOperation::FailureBlock report(BaseNetHTTPManager::Failure failure) {
    return [failure = std::move(failure)](const std::shared_ptr<NetHTTPRequestOperation>&, const ns::Error& error) {
        if (failure) failure(error.localizedDescription());
    };
}

void postMultipart(std::string_view host, std::string_view path, const ns::Value& parameters, const ns::Data& data,
                   std::string_view name, std::string_view filename, std::string_view mimetype,
                   BaseNetHTTPManager::Completion completion, BaseNetHTTPManager::Failure failure) {
    freshManager()->POST(
        BaseNetHTTPManager::p_getURLWithParameters(path, host), parameters,
        [&](NetMultipartFormData& formData) { formData.appendPartWithFileData(data, name, filename, mimetype); },
        deliver(std::move(completion), false), report(std::move(failure)));
}

}  // namespace

std::string BaseNetHTTPManager::p_getURLWithParameters(std::string_view path, std::string_view host) {
    return ns::stringByAddingPercentEncodingWithAllowedCharacters(host, URLHostCharacters()) +
           ns::stringByAddingPercentEncodingWithAllowedCharacters(path, URLPathCharacters());
}

ns::Value BaseNetHTTPManager::parametersForLog(const ns::Value& parameters) {
    const ns::Dictionary* entries = parameters.asDictionary();
    if (!entries) return parameters;
    ns::Dictionary masked = *entries;
    for (std::string_view key : {"password", "NEWPassword", "oldPassword"}) {
        if (masked.contains(key)) masked.set(std::string(key), ns::Value(MaskedLogValue));
    }
    return ns::Value(std::move(masked));
}

void BaseNetHTTPManager::postRequestOperationForHost(std::string_view host, std::string_view path,
                                                     const ns::Value& parameters, Completion completion,
                                                     Failure failure) {
    const std::string url = p_getURLWithParameters(path, host);
    auto manager = freshManager();
    const ns::Value& authkey = parameters["authkey"];
    manager->requestSerializer()->setValue(authkey.isNil() ? std::nullopt : std::optional(authkey.stringValue()),
                                           "authkey");
    ns::Log::write(logLine(PostRequestLogFormat, url, parameters));
    auto call = std::make_shared<FormPostCall>(failure);
    call->watch(manager->POST(url, parameters, call->success(deliver(std::move(completion), true)),
                              call->failure(report(std::move(failure)))),
                kRequestTimeout);
}

std::size_t BaseNetHTTPManager::formPostsInFlight() { return FormPostCall::inFlight(); }

std::vector<FormPostInFlight> BaseNetHTTPManager::formPostCallsInFlight() { return FormPostCall::watchedInFlight(); }

void BaseNetHTTPManager::postRequestOperationForHost(std::string_view host, std::string_view path,
                                                     const ns::Value& parameters, const ns::Data& data,
                                                     Completion completion, Failure failure) {
    postMultipart(host, path, parameters, data, "faceImg", "faceImg", "image/png", std::move(completion),
                  std::move(failure));
}

void BaseNetHTTPManager::postRequestOperationForHost(std::string_view host, std::string_view path,
                                                     const ns::Value& parameters, const ns::Data& data,
                                                     std::string_view filename, std::string_view mimetype,
                                                     Completion completion, Failure failure) {
    postMultipart(host, path, parameters, data, filename, filename, mimetype, std::move(completion),
                  std::move(failure));
}

void BaseNetHTTPManager::postJsonRequestOperationForHost(std::string_view host, std::string_view path,
                                                         const ns::Value& parameters, Completion completion,
                                                         Failure failure) {
    auto manager = freshManager();
    manager->setRequestSerializer(NetJSONRequestSerializer::serializer());
    manager->POST(p_getURLWithParameters(path, host), parameters, deliver(std::move(completion), false),
                  report(std::move(failure)));
}

void BaseNetHTTPManager::getRequestOperationForHost(std::string_view host, std::string_view path,
                                                    const ns::Value& parameters, Completion completion,
                                                    OperationFailure failure) {
    const std::string url = p_getURLWithParameters(path, host);
    auto manager = NetHTTPRequestOperationManager::manager();
    manager->setRequestSerializer(NetJSONRequestSerializer::serializer());
    auto serializer = NetJSONResponseSerializer::serializer();
    serializer->setAcceptableContentTypes(
        NetHTTPResponseSerializer::ContentTypes{"application/json", "text/json", "text/javascript", "text/html",
                                                "text/plain"});
    manager->setResponseSerializer(serializer);
    ns::Log::write(logLine(GetRequestLogFormat, url, parameters));
    manager->GET(url, parameters, deliver(std::move(completion), false),
                 [failure = std::move(failure)](const std::shared_ptr<NetHTTPRequestOperation>& operation,
                                                const ns::Error& error) {
                     if (failure) failure(operation, error.localizedDescription());
                 });
}

std::shared_ptr<NetHTTPRequestOperation> BaseNetHTTPManager::requestJsonWithParameter(std::string_view path,
                                                                                       std::string_view host,
                                                                                       Completion completion,
                                                                                       Failure failure) {
    const std::string url = p_getURLWithParameters(path, host);
    ns::Log::write(NetFormat(RequestJsonLogFormat, {url, path}));
    auto operation = std::make_shared<NetHTTPRequestOperation>(ns::URLRequest(ns::URL::fromString(url)));
    auto serializer = NetJSONResponseSerializer::serializer();
    auto types = serializer->acceptableContentTypes().value_or(NetHTTPResponseSerializer::ContentTypes{});
    types.insert("text/html");
    serializer->setAcceptableContentTypes(std::move(types));
    operation->setResponseSerializer(serializer);
    operation->setCompletionBlockWithSuccess(deliver(std::move(completion), false), report(std::move(failure)));
    operation->start();
    return operation;
}

}  // namespace ql
