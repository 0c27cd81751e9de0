#include "platform/security/Policy.h"

namespace ql::sec {

std::shared_ptr<Policy> Policy::SSL(bool server, std::optional<std::string> hostname) {
    return std::make_shared<Policy>(Passkey{}, Kind::SSL, server, std::move(hostname));
}

std::shared_ptr<Policy> Policy::basicX509() {
    return std::make_shared<Policy>(Passkey{}, Kind::BasicX509, false, std::nullopt);
}

}  // namespace ql::sec
