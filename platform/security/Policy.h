#pragma once
// sec::Policy: what a trust evaluation checks beyond a valid chain. A basic X.509 policy asks only for
// the chain; an SSL policy also asks that the leaf may serve (or, for clients, identify) TLS peers and,
// given a host name, that the leaf is issued for that host.

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Object.h"

namespace ql::sec {

class Policy final : public ns::Object {
    QL_OBJECT(Policy, ns::Object)
public:
    enum class Kind { BasicX509, SSL };

    class Passkey {
        friend class Policy;
        Passkey() = default;
    };
    Policy(Passkey, Kind kind, bool server, std::optional<std::string> hostname)
        : kind_(kind), server_(server), hostname_(std::move(hostname)) {}

    // `hostname` may be a DNS name or an IPv4/IPv6 address (brackets allowed); none skips the host check,
    // while an empty name matches no certificate.
    static std::shared_ptr<Policy> SSL(bool server, std::optional<std::string> hostname);
    static std::shared_ptr<Policy> basicX509();

    Kind kind() const { return kind_; }
    bool isServer() const { return server_; }
    const std::optional<std::string>& hostname() const { return hostname_; }

private:
    const Kind kind_;
    const bool server_;
    const std::optional<std::string> hostname_;
};

}  // namespace ql::sec
