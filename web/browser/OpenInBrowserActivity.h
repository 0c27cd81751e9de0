#pragma once
// The share-sheet activities that open the page in another browser: ActivitySafari in the system's browser,
// ActivityChrome in the Chrome app through its own URL schemes. Each takes the first URL among the sheet's
// items, and finishes telling whether the page was opened. Each draws its sheet icon once per process.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/URL.h"
#include "platform/ui/Activity.h"

namespace ql {

inline constexpr std::string_view WebViewControllerLocalizable = "WebViewControllerLocalizable";

// What the two activities share: the URL taken from the items, the title looked up in the browser's strings
// table and the availability rule.
class OpenInBrowserActivity : public ui::Activity {
    QL_OBJECT(OpenInBrowserActivity, ui::Activity)

public:
    const std::optional<ns::URL>& url() const { return url_; }
    void setUrl(std::optional<ns::URL> url) { url_ = std::move(url); }

    std::optional<std::string> activityTitle() const override;
    // Keeps the first URL among the items; without one the URL stays as it was.
    void prepareWithActivityItems(const std::vector<ns::Value>& items) override;
    bool canPerformWithActivityItems(const std::vector<ns::Value>& items) override;

protected:
    explicit OpenInBrowserActivity(std::string_view titleKey) : titleKey_(titleKey) {}
    // Opens the URL through the application and finishes with whether it was opened.
    void openAndFinish(const std::optional<ns::URL>& url);

private:
    std::string_view titleKey_;
    std::optional<ns::URL> url_;
};

class ActivitySafari : public OpenInBrowserActivity {
    QL_OBJECT(ActivitySafari, OpenInBrowserActivity)

public:
    ActivitySafari() : OpenInBrowserActivity("Safari") {}
    static std::shared_ptr<ui::Image> sharedActivityImage();

    std::optional<std::string> activityType() const override;
    std::shared_ptr<ui::Image> activityImage() const override { return sharedActivityImage(); }
    void performActivity() override;
};

class ActivityChrome : public OpenInBrowserActivity {
    QL_OBJECT(ActivityChrome, OpenInBrowserActivity)

public:
    ActivityChrome() : OpenInBrowserActivity("Chrome") {}
    static std::shared_ptr<ui::Image> sharedActivityImage();
    // Whether the Chrome app is there to take "googlechrome://".
    static bool chromeIsInstalled();
    // The URL in Chrome's scheme ("googlechrome" for http, "googlechromes" for https); none for any other
    // scheme, compared exactly.
    static std::optional<ns::URL> chromeURL(const ns::URL& url);

    std::optional<std::string> activityType() const override;
    std::shared_ptr<ui::Image> activityImage() const override { return sharedActivityImage(); }
    bool canPerformWithActivityItems(const std::vector<ns::Value>& items) override;
    void performActivity() override;
};

}  // namespace ql
