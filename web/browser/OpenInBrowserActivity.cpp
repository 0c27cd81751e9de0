#include "web/browser/OpenInBrowserActivity.h"

#include <algorithm>
#include <mutex>

#include "platform/foundation/Bundle.h"
#include "platform/ui/Application.h"
#include "web/browser/ActivityIcons.h"

namespace ql {

namespace {

constexpr std::string_view kActivityTypePrefix = "org.quillory.browser.";

bool holdsURL(const std::vector<ns::Value>& items) {
    return std::any_of(items.begin(), items.end(), [](const ns::Value& item) { return ns::URL::fromValue(item).has_value(); });
}

}  // namespace

std::optional<std::string> OpenInBrowserActivity::activityTitle() const {
    return ns::Bundle::main().localizedString(titleKey_, "", WebViewControllerLocalizable);
}

void OpenInBrowserActivity::prepareWithActivityItems(const std::vector<ns::Value>& items) {
    for (const auto& item : items) {
        if (auto url = ns::URL::fromValue(item)) {
            url_ = std::move(url);
            return;
        }
    }
}

bool OpenInBrowserActivity::canPerformWithActivityItems(const std::vector<ns::Value>& items) { return holdsURL(items); }

void OpenInBrowserActivity::openAndFinish(const std::optional<ns::URL>& url) {
    // Whether an app took the URL is what the sheet hears: a page that opened nowhere was not shared.
    activityDidFinish(url && ui::Application::sharedApplication().openURL(*url));
}

// ---- Safari ----

std::optional<std::string> ActivitySafari::activityType() const {
    return std::string(kActivityTypePrefix) + "Ashbury.ActivityTypeSafari";
}

void ActivitySafari::performActivity() { openAndFinish(url()); }

std::shared_ptr<ui::Image> ActivitySafari::sharedActivityImage() {
    static std::once_flag once;
    static std::shared_ptr<ui::Image>* image = nullptr;
    std::call_once(once, [] { image = new std::shared_ptr<ui::Image>(drawActivityIcon(ActivityIcon::Safari)); });
    return *image;
}

// ---- Chrome ----

std::optional<std::string> ActivityChrome::activityType() const {
    return std::string(kActivityTypePrefix) + "Ashbury.ActivityTypeChrome";
}

bool ActivityChrome::chromeIsInstalled() {
    return ui::Application::sharedApplication().canOpenURL(*ns::URL::fromString("googlechrome://"));
}

std::optional<ns::URL> ActivityChrome::chromeURL(const ns::URL& url) {
    const std::optional<std::string>& scheme = url.scheme();
    std::string_view prefix;
    if (scheme == "http") prefix = "googlechrome";
    else if (scheme == "https") prefix = "googlechromes";
    else return std::nullopt;
    const std::string& text = url.absoluteString();
    return ns::URL::fromString(std::string(prefix) + text.substr(text.find(':')));
}

bool ActivityChrome::canPerformWithActivityItems(const std::vector<ns::Value>& items) {
    return chromeIsInstalled() && OpenInBrowserActivity::canPerformWithActivityItems(items);
}

void ActivityChrome::performActivity() { openAndFinish(url() ? chromeURL(*url()) : std::nullopt); }

std::shared_ptr<ui::Image> ActivityChrome::sharedActivityImage() {
    static std::once_flag once;
    static std::shared_ptr<ui::Image>* image = nullptr;
    std::call_once(once, [] { image = new std::shared_ptr<ui::Image>(drawActivityIcon(ActivityIcon::Chrome)); });
    return *image;
}

}  // namespace ql
