#pragma once
// ns::URLProtectionSpace: the server, realm and authentication method a challenge is about; for a server
// trust challenge it also holds the trust made from the certificates the server presented.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/security/Trust.h"

namespace ql::ns {

inline constexpr std::string_view URLAuthenticationMethodDefault = "NSURLAuthenticationMethodDefault";
inline constexpr std::string_view URLAuthenticationMethodHTTPBasic = "NSURLAuthenticationMethodHTTPBasic";
inline constexpr std::string_view URLAuthenticationMethodHTTPDigest = "NSURLAuthenticationMethodHTTPDigest";
inline constexpr std::string_view URLAuthenticationMethodServerTrust = "NSURLAuthenticationMethodServerTrust";

class URLProtectionSpace {
public:
    URLProtectionSpace(std::string host, std::int64_t port, std::optional<std::string> protocol,
                       std::optional<std::string> realm, std::string authenticationMethod,
                       std::shared_ptr<sec::Trust> serverTrust = nullptr)
        : host_(std::move(host)),
          port_(port),
          protocol_(std::move(protocol)),
          realm_(std::move(realm)),
          method_(std::move(authenticationMethod)),
          trust_(std::move(serverTrust)) {}

    const std::string& host() const { return host_; }
    std::int64_t port() const { return port_; }
    // "http" or "https".
    const std::optional<std::string>& protocol() const { return protocol_; }
    const std::optional<std::string>& realm() const { return realm_; }
    const std::string& authenticationMethod() const { return method_; }
    // Only for URLAuthenticationMethodServerTrust.
    const std::shared_ptr<sec::Trust>& serverTrust() const { return trust_; }
    bool receivesCredentialSecurely() const { return protocol_ == "https" || method_ == URLAuthenticationMethodServerTrust; }

private:
    std::string host_;
    std::int64_t port_;
    std::optional<std::string> protocol_;
    std::optional<std::string> realm_;
    std::string method_;
    std::shared_ptr<sec::Trust> trust_;
};

}  // namespace ql::ns
