#include "platform/ui/Device.h"

#include <memory>

#include "platform/foundation/NotificationCenter.h"

namespace ql::ui {

Device& Device::currentDevice() {
    static auto* device = new std::shared_ptr<Device>(std::make_shared<Device>());
    return **device;
}

std::string Device::model() const { return idiom_ == UserInterfaceIdiom::Pad ? "iPad" : "iPhone"; }

void Device::setOrientation(DeviceOrientation orientation) {
    if (orientation == orientation_) return;
    orientation_ = orientation;
    ns::NotificationCenter::defaultCenter().post(DeviceOrientationDidChangeNotification, this);
}

}  // namespace ql::ui
