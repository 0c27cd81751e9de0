#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/device/Device.h"
#include "platform/foundation/FileManager.h"
#include "web/browser/ActivityIcons.h"
#include "web/browser/OpenInBrowserActivity.h"

namespace ql {
namespace {

ns::Value url(const std::string& text) { return ns::URL::fromString(text)->boxed(); }

// Runs the activity as a sheet would and answers how it finished.
std::optional<bool> perform(ui::Activity& activity, const std::vector<ns::Value>& items) {
    std::optional<bool> finished;
    activity.setFinishHandler([&](bool completed) { finished = completed; });
    activity.prepareWithActivityItems(items);
    activity.performActivity();
    return finished;
}

TEST(OpenInBrowserActivity, AvailabilityAndTheURLTaken) {
    sim::Device device;
    auto safari = std::make_shared<ActivitySafari>();
    auto chrome = std::make_shared<ActivityChrome>();
    EXPECT_EQ(safari->activityTitle(), "Safari");
    EXPECT_EQ(chrome->activityTitle(), "Chrome");
    EXPECT_TRUE(safari->activityType()->ends_with("Ashbury.ActivityTypeSafari"));
    EXPECT_TRUE(chrome->activityType()->ends_with("Ashbury.ActivityTypeChrome"));

    const std::vector<ns::Value> text{ns::Value("http://example.test/")};
    const std::vector<ns::Value> two{ns::Value("x"), url("http://one.test/"), url("http://two.test/")};
    EXPECT_FALSE(safari->canPerformWithActivityItems(text));
    EXPECT_TRUE(safari->canPerformWithActivityItems(two));
    // Without Chrome on the device it is never offered.
    EXPECT_FALSE(chrome->canPerformWithActivityItems(two));
    device.application().setOpenableURLSchemes({"http", "https", "googlechrome", "googlechromes"});
    EXPECT_TRUE(chrome->canPerformWithActivityItems(two));
    EXPECT_FALSE(chrome->canPerformWithActivityItems(text));

    safari->prepareWithActivityItems(two);
    EXPECT_EQ(safari->url()->absoluteString(), "http://one.test/");
    safari->prepareWithActivityItems(text);
    EXPECT_EQ(safari->url()->absoluteString(), "http://one.test/") << "no URL among the items keeps the one held";
}

TEST(OpenInBrowserActivity, OpeningReportsWhetherThePageOpened) {
    sim::Device device;
    ui::Application& app = device.application();
    app.setOpenableURLSchemes({"http", "https", "googlechrome", "googlechromes"});
    ActivityChrome chrome;
    EXPECT_EQ(perform(chrome, {url("https://example.test:8443/a/b?q=1#f")}), true);
    EXPECT_EQ(app.openedURLs().back().absoluteString(), "googlechromes://example.test:8443/a/b?q=1#f");
    EXPECT_EQ(perform(chrome, {url("http://example.test/")}), true);
    EXPECT_EQ(app.openedURLs().back().absoluteString(), "googlechrome://example.test/");
    const auto opened = app.openedURLs().size();
    EXPECT_EQ(perform(chrome, {url("ftp://example.test/file")}), false);
    EXPECT_EQ(perform(chrome, {url("HTTP://example.test/")}), false);
    EXPECT_EQ(app.openedURLs().size(), opened);
    ActivityChrome fresh;
    EXPECT_EQ(perform(fresh, {}), false);

    ActivitySafari safari;
    EXPECT_EQ(perform(safari, {url("http://example.test/")}), true);
    // No app takes the scheme: the page did not open, and the sheet hears so.
    EXPECT_EQ(perform(safari, {url("ftp://example.test/file")}), false);
    app.setOpenableURLSchemes({"http", "https"});
    EXPECT_EQ(perform(chrome, {url("http://example.test/")}), false);
}

TEST(OpenInBrowserActivity, IconsPerDeviceAndLook) {
    sim::Device device;
    using Look = WebViewControllerIconLook;
    EXPECT_EQ(ActivityChrome::sharedActivityImage(), ActivityChrome::sharedActivityImage());
    EXPECT_EQ(ActivityChrome::sharedActivityImage()->size(), (cg::Size{40, 40}));
    EXPECT_EQ(ActivitySafari::sharedActivityImage()->size(), (cg::Size{39, 39}));
    EXPECT_EQ(activityIconSide(ActivityIcon::Chrome, Look::Flat, true), 53);
    EXPECT_EQ(activityIconSide(ActivityIcon::Chrome, Look::Embossed, true), 50);
    EXPECT_EQ(activityIconSide(ActivityIcon::Safari, Look::Embossed, true), 56);
    EXPECT_EQ(activityIconSide(ActivityIcon::Safari, Look::Embossed, false), 40);

    const auto pixel = [](const std::shared_ptr<ui::Image>& image, double x, double y) {
        return image->CGImage()->pixel(static_cast<int>(x * image->scale()), static_cast<int>(y * image->scale()));
    };
    // Chrome, flat on a pad: line art, the rim and inner ring inked, the space between them clear.
    const auto chrome = drawActivityIcon(ActivityIcon::Chrome, Look::Flat, true);
    EXPECT_EQ(pixel(chrome, 0.5, 26.5).a, 255);
    EXPECT_GT(pixel(chrome, 26.5, 26.5 + 10).a, 200);
    EXPECT_EQ(pixel(chrome, 26.5, 26.5).a, 0);
    EXPECT_EQ(pixel(chrome, 10, 40).a, 0);
    // The earlier look is solid with the emblem cut out.
    const auto solid = drawActivityIcon(ActivityIcon::Chrome, Look::Embossed, true);
    const double k = 50.0 / 53;
    EXPECT_EQ(pixel(solid, 26.5 * k, 26.5 * k).a, 255);
    EXPECT_EQ(pixel(solid, 26.5 * k, (26.5 + 10.5) * k).a, 0);
    EXPECT_EQ(pixel(solid, 10 * k, 40 * k).a, 255);
    // Safari, flat on a phone: the needle's upper half solid, its lower half hollow.
    const auto safari = drawActivityIcon(ActivityIcon::Safari, Look::Flat, false);
    EXPECT_EQ(pixel(safari, 19.5 + 4, 19.5 - 4), (cg::Image::Pixel{0, 0, 0, 255}));
    EXPECT_LT(pixel(safari, 19.5 - 1.9, 19.5 + 1.9).a, 30);
    EXPECT_GT(pixel(safari, 19.5 - 7, 19.5 + 7).a, 100);
    EXPECT_EQ(pixel(safari, 19.5, 10).a, 0);

    if (const char* folder = std::getenv("QL_BROWSER_SHOTS")) {
        int n = 0;
        for (const auto& icon : {chrome, solid, safari, drawActivityIcon(ActivityIcon::Safari, Look::Embossed, true)}) {
            ns::writeToFile(*ui::ImagePNGRepresentation(*icon), std::string(folder) + "/activity" + std::to_string(n++) + ".png", 0);
        }
    }
}

}  // namespace
}  // namespace ql
