#include "analytics/client/StatWorker.h"

#include <chrono>
#include <cmath>

#include "analytics/StatLog.h"
#include "analytics/client/RezOzovaApp.h"
#include "analytics/client/RezOzovaConfig.h"
#include "analytics/client/RezOzovaEnvelope.h"
#include "analytics/client/RezOzovaJob.h"
#include "analytics/client/RezOzovaRecords.h"
#include "analytics/client/RezOzovaSession.h"
#include "analytics/client/RezOzovaUtility.h"
#include "analytics/client/StatClientConstants.h"
#include "analytics/client/StatEndpoints.h"
#include "analytics/client/StatProtocolData.h"
#include "analytics/client/StatUtils.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/FileLock.h"
#include "platform/foundation/FileManager.h"
#include "platform/net/URLConnection.h"
#include "platform/net/URLResponse.h"

namespace ql {

namespace {
constexpr std::string_view ReplyContentType = "application/x-wire-records";
}

StatWorker::StatWorker(std::vector<std::string> envelopeFilePaths) : envelopeFilePaths_(std::move(envelopeFilePaths)) {}

void StatWorker::main() {
    auto& app = RezOzovaApp::sharedInstance();
    if (app.backgroundTaskEnabled()) app.activeBackgroundTask();
    while (!envelopeFilePaths_.empty()) {
        if (!postDataWithFile(envelopeFilePaths_.front())) break;
        if (RezOzovaSession::sharedInstance().appInBackGround() && !app.backgroundTaskEnabled()) break;
    }
    RezOzovaJob::sharedInstance().setJobRunning(false);
}

bool StatWorker::postDataWithFile(const std::string& path) {
    // Another app sharing this home may be posting the same folder: a file is posted only by the one that
    // holds its claim, and the claim of an app that died is let go with it.
    const auto claim = ns::FileLock::claim(path);
    if (!claim) {
        // Being posted elsewhere, or delivered already: not this worker's, and no reason to stop.
        dropPath(path);
        return true;
    }
    for (const std::string& url : {StatEndpoints::primaryLogURL(), StatEndpoints::backupLogURL()}) {
        if (postDataToServer(url, path)) return true;
        if (RezOzovaJob::sharedInstance().defcon() != 0) {
            // Under throttling the service is not pressed again: this job's files are given up.
            for (const auto& waiting : envelopeFilePaths_) RezOzovaUtility::removeFile(waiting);
            envelopeFilePaths_.clear();
            return false;
        }
    }
    return false;
}

std::optional<ns::URLRequest> StatWorker::setupRequest(const std::string& url) {
    auto location = ns::URL::fromString(url);
    if (!location) return std::nullopt;
    ns::URLRequest request(location);
    request.setCachePolicy(ns::URLRequestCachePolicy::ReloadIgnoringLocalAndRemoteCacheData);
    request.setValue("envelope", "Msg-Type");
    request.setValue("envelope", "Content-Type");
    const std::string sdk = std::string(StatSdkType) + "/" + std::string(StatSdkVersion) + " " +
                            StatUtils::urlEncode(StatProtocolData::appDisplayNameString()) + "/" +
                            StatUtils::urlEncode(RezOzovaApp::sharedInstance().appVersionString()) + " " +
                            StatProtocolData::deviceModelString() + "/" + StatProtocolData::osVersionString() + " " +
                            StatUtils::md5Value(RezOzovaApp::sharedInstance().appid());
    request.setValue(sdk, "X-Ziviv-Sdk");
    request.setValue(std::to_string(static_cast<long long>(std::floor(ns::Clock::now() * 1000))), "X-Ziviv-UTC");
    return request;
}

bool StatWorker::postDataToServer(const std::string& url, const std::string& path) {
    auto request = setupRequest(url);
    const auto body = ns::FileManager::defaultManager().contentsAtPath(path);
    if (!request || !body) return false;
    request->setHTTPBody(*body);
    request->setHTTPMethod("POST");

    // The request's own duration, on the steady clock: the platform clock may be a test's manual one.
    const auto started = std::chrono::steady_clock::now();
    std::shared_ptr<ns::URLResponse> response;
    ns::Error error("", 0);
    const auto reply = ns::URLConnection::sendSynchronousRequest(*request, &response, &error);
    const auto usedMS = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
    RezOzovaConfig::setLastPostDate();

    auto http = std::dynamic_pointer_cast<ns::HTTPURLResponse>(response);
    const auto contentType = http ? http->valueForHTTPHeaderField("Content-Type") : std::nullopt;
    if (!reply || reply->empty() || !contentType || *contentType != ReplyContentType) {
        RezOzovaConfig::incrementRequest(false, usedMS);
        if (!reply) statLog("(Error   Applog) " + error.localizedDescription());
        return false;
    }
    if (http->statusCode() != 200) {
        statLog("(Response Applog) {\"fail\": \"statusCode\":" + std::to_string(http->statusCode()) + "}");
        RezOzovaConfig::incrementRequest(false, usedMS);
        return false;
    }
    auto& records = RezOzovaRecords::sharedInstance();
    const bool verified = records.verifyResponseData(*reply);
    if (verified) {
        statLog("(Response Applog) {\"success\": \"ok\"}");
        const auto delivered = RezOzovaEnvelope::entryOfEnvelopeData(*body);
        records.saveIdTracking(delivered ? delivered->id_tracking().get() : nullptr);
    } else {
        statLog("(Response Applog) {\"fail\": \"error\"}");
    }
    RezOzovaConfig::incrementRequest(verified, usedMS);
    RezOzovaUtility::removeFile(path);
    dropPath(path);
    return true;
}

void StatWorker::dropPath(const std::string& path) {
    if (!envelopeFilePaths_.empty() && envelopeFilePaths_.front() == path) envelopeFilePaths_.erase(envelopeFilePaths_.begin());
    else std::erase(envelopeFilePaths_, path);
}

}  // namespace ql
