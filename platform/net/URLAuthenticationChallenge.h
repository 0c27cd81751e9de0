#pragma once
// ns::URLAuthenticationChallenge: a question the loading system puts to a delegate before it goes on (a
// server's trust, a password), answered through the challenge's sender from any thread. The first answer
// counts; later ones are ignored.

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/net/URLCredential.h"
#include "platform/net/URLProtectionSpace.h"
#include "platform/net/URLResponse.h"

namespace ql::ns {

class URLAuthenticationChallenge;

// The answers a challenge accepts. Every sender here supports default handling and rejection.
class URLAuthenticationChallengeSender {
public:
    virtual ~URLAuthenticationChallengeSender() = default;
    virtual void useCredential(const std::shared_ptr<URLCredential>& credential,
                               const URLAuthenticationChallenge& challenge) = 0;
    virtual void continueWithoutCredentialForAuthenticationChallenge(const URLAuthenticationChallenge& challenge) = 0;
    virtual void cancelAuthenticationChallenge(const URLAuthenticationChallenge& challenge) = 0;
    virtual void performDefaultHandlingForAuthenticationChallenge(const URLAuthenticationChallenge& challenge) = 0;
    virtual void rejectProtectionSpaceAndContinueWithChallenge(const URLAuthenticationChallenge& challenge) = 0;
};

class URLAuthenticationChallenge final : public Object {
    QL_OBJECT_NAMED(URLAuthenticationChallenge, Object, "NSURLAuthenticationChallenge")
public:
    URLAuthenticationChallenge(URLProtectionSpace protectionSpace, std::shared_ptr<URLCredential> proposedCredential,
                               std::int64_t previousFailureCount, std::shared_ptr<URLResponse> failureResponse,
                               std::optional<Error> error, std::shared_ptr<URLAuthenticationChallengeSender> sender)
        : space_(std::move(protectionSpace)),
          proposed_(std::move(proposedCredential)),
          failures_(previousFailureCount),
          failureResponse_(std::move(failureResponse)),
          error_(std::move(error)),
          sender_(std::move(sender)) {}

    const URLProtectionSpace& protectionSpace() const { return space_; }
    const std::shared_ptr<URLCredential>& proposedCredential() const { return proposed_; }
    std::int64_t previousFailureCount() const { return failures_; }
    const std::shared_ptr<URLResponse>& failureResponse() const { return failureResponse_; }
    const std::optional<Error>& error() const { return error_; }
    const std::shared_ptr<URLAuthenticationChallengeSender>& sender() const { return sender_; }

private:
    const URLProtectionSpace space_;
    const std::shared_ptr<URLCredential> proposed_;
    const std::int64_t failures_;
    const std::shared_ptr<URLResponse> failureResponse_;
    const std::optional<Error> error_;
    const std::shared_ptr<URLAuthenticationChallengeSender> sender_;
};

}  // namespace ql::ns
