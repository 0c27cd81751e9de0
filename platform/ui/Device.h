#pragma once
// ui::Device: the facts of the device the app runs on: its kind (phone or pad), model and system, and
// the physical orientation. The system reports itself as version 9.0. The headless device sets the kind
// and turns the device; a turn is announced with "UIDeviceOrientationDidChangeNotification".

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/foundation/Object.h"
#include "platform/foundation/UUID.h"

namespace ql::ui {

enum class UserInterfaceIdiom { Unspecified = -1, Phone = 0, Pad = 1 };

enum class DeviceOrientation {
    Unknown = 0,
    Portrait = 1,
    PortraitUpsideDown = 2,
    LandscapeLeft = 3,
    LandscapeRight = 4,
    FaceUp = 5,
    FaceDown = 6,
};

inline constexpr std::string_view DeviceOrientationDidChangeNotification = "UIDeviceOrientationDidChangeNotification";

class Device : public ns::Object {
    QL_OBJECT_NAMED(Device, ns::Object, "UIDevice")
public:
    Device() = default;
    static Device& currentDevice();

    std::string name() const { return model(); }
    // "iPhone" or "iPad", by the idiom.
    std::string model() const;
    std::string localizedModel() const { return model(); }
    std::string systemName() const { return "iPhone OS"; }
    std::string systemVersion() const { return "9.0"; }
    UserInterfaceIdiom userInterfaceIdiom() const { return idiom_; }
    DeviceOrientation orientation() const { return orientation_; }
    bool isMultitaskingSupported() const { return true; }
    // Stays the same for an installation: it is kept in the sandbox, so a new sandbox has a new one. Apps
    // sharing a home agree on it; a sandbox that cannot be written to gives one that lasts for the process.
    ns::UUID identifierForVendor() const;

    // The application itself asks for orientation changes, so they are announced whatever the count.
    bool isGeneratingDeviceOrientationNotifications() const { return generating_ > 0; }
    void beginGeneratingDeviceOrientationNotifications() { ++generating_; }
    void endGeneratingDeviceOrientationNotifications() {
        if (generating_ > 0) --generating_;
    }

    // The keyboard click; counted, since there is no speaker.
    void playInputClick() { ++inputClicks_; }
    std::uint64_t inputClicksPlayed() const { return inputClicks_; }

    // The device's side.
    void setUserInterfaceIdiom(UserInterfaceIdiom idiom) { idiom_ = idiom; }
    void setOrientation(DeviceOrientation orientation);

private:
    UserInterfaceIdiom idiom_ = UserInterfaceIdiom::Phone;
    DeviceOrientation orientation_ = DeviceOrientation::Portrait;
    int generating_ = 0;
    std::uint64_t inputClicks_ = 0;
};

}  // namespace ql::ui
