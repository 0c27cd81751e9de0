#pragma once
// The host app's choices for the analytics client: app key, report policy, send interval and the switches
// for background sending, payload encryption and logging.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "platform/ui/Application.h"

namespace ql {

class RezOzovaApp {
public:
    static RezOzovaApp& sharedInstance();

    // The policy in force, one of 0, 1, 6, 8: outside integrated test mode the stored experiment value
    // ("statExperimentReportPolicy") when there is one, else the imprint's "report_policy", else the stored
    // "report_policy", else the stored "statcReportPolicy", else the host app's choice, each passed through
    // verifyReportPolicy.
    std::int32_t reportPolicy() const;
    // 0, 1, 6 and 8 stand; 0 only in integrated test mode; anything else becomes 1.
    std::int32_t verifyReportPolicy(std::int64_t policy) const;

    void setHostReportPolicy(std::int32_t policy);
    void setIntegratedTestMode(bool on);
    // Seconds between sends under policy 6.
    double logSendInterval() const;
    void setLogSendInterval(double seconds);

    bool backgroundTaskEnabled() const;
    void setBackgroundTaskEnabled(bool enabled);
    bool encryptEnabled() const;
    void setEncryptEnabled(bool enabled);
    // Also the switch of the "STATLOG: " lines.
    bool logEnabled() const;
    void setLogEnabled(bool enabled);

    std::string appid() const;
    void setAppid(std::string appid);
    // Where the host app was distributed; "App Store" unless it says otherwise.
    std::string channel() const;
    void setChannel(std::string channel);
    // The version the host app set, else the bundle's "CFBundleVersion".
    std::string appVersionString() const;
    void setAppVersion(std::string version);

    // With background sending enabled and no background task running, begins one; its expiry ends it.
    void activeBackgroundTask();

private:
    mutable std::mutex mutex_;
    std::int32_t hostPolicy_ = 1;
    bool integratedTestMode_ = false;
    double logSendInterval_ = 90;
    bool backgroundTaskEnabled_ = false;
    bool encryptEnabled_ = false;
    std::string appid_;
    std::string channel_ = "App Store";
    std::optional<std::string> appVersion_;
    std::optional<ui::BackgroundTaskIdentifier> backgroundTask_;
};

}  // namespace ql
