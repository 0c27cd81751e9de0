#pragma once
// av::CaptureDevice: the camera's permission check. The authorisation status for a media type is a system
// setting that the device (or a test) sets; it starts not determined.

#include <string_view>

namespace ql::av {

enum class AuthorizationStatus { NotDetermined = 0, Restricted = 1, Denied = 2, Authorized = 3 };

inline constexpr std::string_view MediaTypeVideo = "vide";

class CaptureDevice {
public:
    static AuthorizationStatus authorizationStatusForMediaType(std::string_view mediaType);
    static void setAuthorizationStatusForMediaType(std::string_view mediaType, AuthorizationStatus status);
};

}  // namespace ql::av
