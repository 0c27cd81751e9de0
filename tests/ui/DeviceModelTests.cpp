#include <gtest/gtest.h>

#include "platform/device/Device.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "ui/DeviceModel.h"

using namespace ql;

namespace {

std::uint64_t modelOf(const sim::ScreenProfile& profile, ui::InterfaceOrientation orientation) {
    sim::Device device(profile);
    device.boot([] { return std::make_shared<ui::ApplicationDelegate>(); });
    if (orientation != ui::InterfaceOrientation::Portrait) device.rotate(orientation);
    return deviceModel();
}

}  // namespace

TEST(DeviceModel, ClassesEveryScreenUprightAndTurned) {
    using O = ui::InterfaceOrientation;
    for (O o : {O::Portrait, O::PortraitUpsideDown, O::LandscapeLeft, O::LandscapeRight}) {
        SCOPED_TRACE(static_cast<int>(o));
        EXPECT_EQ(modelOf(sim::ScreenProfile::phone320x480(), o), 0u);
        EXPECT_EQ(modelOf(sim::ScreenProfile::phone320x568(), o), 1u);
        EXPECT_EQ(modelOf(sim::ScreenProfile::phone375x667(), o), 2u);
        EXPECT_EQ(modelOf(sim::ScreenProfile::phone414x736(), o), 3u);
        EXPECT_EQ(modelOf(sim::ScreenProfile::pad768x1024(), o), 4u);
        EXPECT_EQ(modelOf({{360, 640}, 2, ui::UserInterfaceIdiom::Phone}, o), 5u);
    }
}

TEST(DeviceModel, UnknownOrientationIsUnclassifiedExceptOnAPad) {
    {
        sim::Device phone(sim::ScreenProfile::phone375x667());
        ui::Application::sharedApplication().setStatusBarOrientation(ui::InterfaceOrientation::Unknown);
        EXPECT_EQ(deviceModel(), 5u);
        ui::Application::sharedApplication().setStatusBarOrientation(static_cast<ui::InterfaceOrientation>(7));
        EXPECT_EQ(deviceModel(), 5u);
    }
    sim::Device pad(sim::ScreenProfile::pad768x1024());
    ui::Application::sharedApplication().setStatusBarOrientation(ui::InterfaceOrientation::Unknown);
    EXPECT_EQ(deviceModel(), 4u);
}

TEST(DeviceModel, ReadsTheScreenAfreshAtEveryCall) {
    sim::Device device(sim::ScreenProfile::phone320x480());
    EXPECT_EQ(deviceModel(), 0u);
    ui::Screen::mainScreen().setBounds({0, 0, 414, 736});
    EXPECT_EQ(deviceModel(), 3u);
}
