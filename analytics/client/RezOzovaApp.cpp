#include "analytics/client/RezOzovaApp.h"

#include "analytics/StatLog.h"
#include "analytics/client/RezOzovaConfig.h"
#include "analytics/client/RezOzovaRecords.h"
#include "analytics/client/StatProtocolData.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Locked.h"

namespace ql {

RezOzovaApp& RezOzovaApp::sharedInstance() {
    static RezOzovaApp* app = new RezOzovaApp;
    return *app;
}

std::int32_t RezOzovaApp::verifyReportPolicy(std::int64_t policy) const {
    std::lock_guard lock(mutex_);
    if (policy == 0) return integratedTestMode_ ? 0 : 1;
    if (policy == 1 || policy == 6 || policy == 8) return static_cast<std::int32_t>(policy);
    return 1;
}

std::int32_t RezOzovaApp::reportPolicy() const {
    if (!ns::lockedCopy(mutex_, integratedTestMode_)) {
        const ns::Value experiment = RezOzovaConfig::configureWithKey("statExperimentReportPolicy");
        if (experiment.isNumber() || experiment.isString()) return verifyReportPolicy(experiment.int64Value());
    }
    if (auto imprinted = RezOzovaRecords::imprintPropertyValueWithKey("report_policy"))
        return verifyReportPolicy(ns::Value(*imprinted).int64Value());
    for (std::string_view key : {"report_policy", "statcReportPolicy"}) {
        const ns::Value stored = RezOzovaConfig::configureWithKey(key);
        if (stored.isNumber() || stored.isString()) return verifyReportPolicy(stored.int64Value());
    }
    return verifyReportPolicy(ns::lockedCopy(mutex_, hostPolicy_));
}

void RezOzovaApp::setHostReportPolicy(std::int32_t policy) { ns::lockedStore(mutex_, hostPolicy_, policy); }

void RezOzovaApp::setIntegratedTestMode(bool on) { ns::lockedStore(mutex_, integratedTestMode_, on); }

double RezOzovaApp::logSendInterval() const { return ns::lockedCopy(mutex_, logSendInterval_); }

void RezOzovaApp::setLogSendInterval(double seconds) { ns::lockedStore(mutex_, logSendInterval_, seconds); }

bool RezOzovaApp::backgroundTaskEnabled() const { return ns::lockedCopy(mutex_, backgroundTaskEnabled_); }

void RezOzovaApp::setBackgroundTaskEnabled(bool enabled) { ns::lockedStore(mutex_, backgroundTaskEnabled_, enabled); }

bool RezOzovaApp::encryptEnabled() const { return ns::lockedCopy(mutex_, encryptEnabled_); }

void RezOzovaApp::setEncryptEnabled(bool enabled) { ns::lockedStore(mutex_, encryptEnabled_, enabled); }

bool RezOzovaApp::logEnabled() const { return statLogEnabled(); }

void RezOzovaApp::setLogEnabled(bool enabled) { setStatLogEnabled(enabled); }

std::string RezOzovaApp::appid() const { return ns::lockedCopy(mutex_, appid_); }

void RezOzovaApp::setAppid(std::string appid) { ns::lockedStore(mutex_, appid_, std::move(appid)); }

std::string RezOzovaApp::channel() const { return ns::lockedCopy(mutex_, channel_); }

void RezOzovaApp::setChannel(std::string channel) { ns::lockedStore(mutex_, channel_, std::move(channel)); }

std::string RezOzovaApp::appVersionString() const {
    if (auto set = ns::lockedCopy(mutex_, appVersion_)) return *set;
    return StatProtocolData::appBundleVersionString();
}

void RezOzovaApp::setAppVersion(std::string version) { ns::lockedStore(mutex_, appVersion_, std::move(version)); }

void RezOzovaApp::activeBackgroundTask() {
    if (!backgroundTaskEnabled()) return;
    // The application object belongs to the main thread; the upload worker asks from its own.
    ns::DispatchQueue::main()->async([this] {
        std::lock_guard lock(mutex_);
        if (backgroundTask_) return;
        auto& application = ui::Application::sharedApplication();
        backgroundTask_ = application.beginBackgroundTask([this] {
            std::optional<ui::BackgroundTaskIdentifier> task;
            {
                std::lock_guard inner(mutex_);
                task.swap(backgroundTask_);
            }
            if (task) ui::Application::sharedApplication().endBackgroundTask(*task);
        });
    });
}

}  // namespace ql
