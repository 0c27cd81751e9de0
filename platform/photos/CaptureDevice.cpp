#include "platform/photos/CaptureDevice.h"

#include <map>
#include <mutex>
#include <string>

namespace ql::av {

namespace {

std::mutex gMutex;
std::map<std::string, AuthorizationStatus, std::less<>>& statuses() {  // guarded by gMutex
    static auto& set = *new std::map<std::string, AuthorizationStatus, std::less<>>;
    return set;
}

}  // namespace

AuthorizationStatus CaptureDevice::authorizationStatusForMediaType(std::string_view mediaType) {
    std::lock_guard lock(gMutex);
    auto found = statuses().find(mediaType);
    return found == statuses().end() ? AuthorizationStatus::NotDetermined : found->second;
}

void CaptureDevice::setAuthorizationStatusForMediaType(std::string_view mediaType, AuthorizationStatus status) {
    std::lock_guard lock(gMutex);
    statuses()[std::string(mediaType)] = status;
}

}  // namespace ql::av
