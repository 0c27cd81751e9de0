#pragma once
// The host's own answer to "can this be reached?": the route the kernel would take to an address, or
// whether there is a default route at all for the zero address; host names are resolved first.

#include <sys/socket.h>

#include <optional>
#include <string>

#include "platform/reachability/NetworkReachability.h"

namespace ql::sc {

// nullopt when the kernel cannot be asked.
std::optional<NetworkReachabilityFlags> hostFlagsForAddress(const sockaddr_storage& address);
// Blocks for as long as the resolver takes. A name that does not resolve is not reachable.
std::optional<NetworkReachabilityFlags> hostFlagsForHostName(const std::string& hostName);

}  // namespace ql::sc
