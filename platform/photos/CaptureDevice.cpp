#include "platform/photos/CaptureDevice.h"

#include <map>
#include <mutex>
#include <string>

namespace ql::av {

namespace {

std::mutex gMutex;
std::map<std::string, AuthorizationStatus, std::less<>> gStatuses;

}  // namespace

AuthorizationStatus CaptureDevice::authorizationStatusForMediaType(std::string_view mediaType) {
    std::lock_guard lock(gMutex);
    auto found = gStatuses.find(mediaType);
    return found == gStatuses.end() ? AuthorizationStatus::NotDetermined : found->second;
}

void CaptureDevice::setAuthorizationStatusForMediaType(std::string_view mediaType, AuthorizationStatus status) {
    std::lock_guard lock(gMutex);
    gStatuses[std::string(mediaType)] = status;
}

}  // namespace ql::av
