#include "ui/DeviceModel.h"

#include "platform/ui/Application.h"
#include "platform/ui/Device.h"
#include "platform/ui/Screen.h"

namespace ql {

namespace {

// `across` is the side that runs across the upright device, `along` the other.
std::uint64_t classOfSides(double across, double along) {
    if (across == 320) return along == 480 ? 0 : 1;
    if (across == 375) return 2;
    if (across == 414) return 3;
    return 5;
}

}  // namespace

std::uint64_t deviceModel() {
    if (ui::Device::currentDevice().userInterfaceIdiom() == ui::UserInterfaceIdiom::Pad) return 4;
    const cg::Size size = ui::Screen::mainScreen().bounds().size;
    switch (ui::Application::sharedApplication().statusBarOrientation()) {
        case ui::InterfaceOrientation::Portrait:
        case ui::InterfaceOrientation::PortraitUpsideDown:
            return classOfSides(size.width, size.height);
        case ui::InterfaceOrientation::LandscapeRight:
        case ui::InterfaceOrientation::LandscapeLeft:
            return classOfSides(size.height, size.width);
        case ui::InterfaceOrientation::Unknown:
            break;
    }
    return 5;
}

}  // namespace ql
