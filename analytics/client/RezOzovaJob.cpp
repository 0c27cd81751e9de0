#include "analytics/client/RezOzovaJob.h"

#include <cstdio>
#include <mutex>

#include "analytics/client/RezOzovaApp.h"
#include "analytics/client/RezOzovaConfig.h"
#include "analytics/client/RezOzovaEnvelope.h"
#include "analytics/client/RezOzovaInternal.h"
#include "analytics/client/RezOzovaSession.h"
#include "analytics/client/RezOzovaUtility.h"
#include "analytics/client/StatProtocolData.h"
#include "analytics/client/StatUtils.h"
#include "platform/foundation/Timer.h"

namespace ql {

namespace {

std::optional<std::int64_t> imprintInteger(std::string_view key) {
    auto text = RezOzovaInternal::imprintValueWithKey(key);
    if (!text) return std::nullopt;
    return ns::Value(*text).int64Value();
}

}  // namespace

RezOzovaJob& RezOzovaJob::sharedInstance() {
    static std::mutex creation;
    std::lock_guard lock(creation);
    static RezOzovaJob* job = new RezOzovaJob;
    const ns::Value defcon = RezOzovaConfig::configureWithKey("statDefcon");
    if (!defcon.isNil()) job->setDefcon(static_cast<std::int32_t>(defcon.int64Value()));
    return *job;
}

double RezOzovaJob::elapsedTimeFromPost() {
    const ns::Value last = RezOzovaConfig::configureWithKey("lastPostInterval");
    if (last.isNil()) return -1.0;
    return RezOzovaUtility::durationNowWith1970TimeInterval(last.doubleValue());
}

bool RezOzovaJob::ready() const {
    if (RezOzovaSession::sharedInstance().sessionStatus() == 0) return false;
    return !jobRunning();
}

bool RezOzovaJob::defconPass() {
    const double elapsed = elapsedTimeFromPost();
    if (elapsed <= 0) return true;
    switch (sharedInstance().defcon()) {
    case 1: return elapsed >= Defcon1Pause;
    case 2: return elapsed >= Defcon2Pause;
    case 3: return elapsed >= Defcon3Pause;
    default: return true;
    }
}

bool RezOzovaJob::shouldCommitJob(int trigger) {
    auto& job = sharedInstance();
    auto& session = RezOzovaSession::sharedInstance();
    auto& app = RezOzovaApp::sharedInstance();
    if (job.bLatencyJob()) return false;
    if (session.appBeKilling()) return false;
    if (StatProtocolData::accessString().empty()) return false;
    const double elapsed = elapsedTimeFromPost();
    switch (app.reportPolicy()) {
    case 8:
        if (session.appInBackGround()) return app.backgroundTaskEnabled();
        return elapsed < 0 || elapsed > (app.backgroundTaskEnabled() ? BackgroundPolicyPause : ForegroundPolicyPause);
    case 6: return elapsed < 0 || elapsed > app.logSendInterval();
    case 0: return elapsed < 0 || elapsed > TestPolicyPause;
    default: return trigger == 0;
    }
}

bool RezOzovaJob::checkLatentCondition() {
    auto& job = sharedInstance();
    job.setBDisguisedLatency(false);
    if (!RezOzovaUtility::envelopeFiles().empty() || job.defcon() != 0) return false;
    double threshold = LatentSilence;
    if (auto hours = imprintInteger("latent_hours"); hours && *hours >= MinLatentHours)
        threshold = static_cast<double>(*hours) * 3600;
    const double elapsed = elapsedTimeFromPost();
    if (elapsed >= threshold) {
        job.setBLatencyJob(true);
        return true;
    }
    if (elapsed > DisguisedSilence) {
        job.setBDisguisedLatency(true);
        return true;
    }
    return false;
}

std::uint32_t RezOzovaJob::randomNumFrom(std::uint32_t from, std::uint32_t to) const {
    return StatUtils::getRand(from, to);
}

std::int32_t RezOzovaJob::latencySeed() const {
    const auto& signature = RezOzovaEnvelope::sharedInstance().signature();
    if (!signature || signature->length() < 6) return 0;
    char hex[5];
    std::snprintf(hex, sizeof hex, "%02hhx%02hhx", signature->bytes()[4], signature->bytes()[5]);
    const int value = std::stoi(std::string(hex + 1, 2), nullptr, 16);
    return value | 0x80;
}

std::int32_t RezOzovaJob::calculateLatency() {
    const std::int32_t seed = latencySeed();
    // The rare long draw needs a seed from 128 up; without a signature the seed is 0 and the range would be
    // empty, so the normal draw stands in.
    if (randomNumFrom(1, 1000) == 1 && seed >= 128) {
        latency_ = static_cast<std::int32_t>(randomNumFrom(128, static_cast<std::uint32_t>(seed)));
        return latency_;
    }
    std::uint32_t bound = 0;
    if (auto latent = imprintInteger("latent")) {
        bound = static_cast<std::uint32_t>(*latent);
        if (bound > MaxServerLatency) bound = MaxServerLatency;
    } else {
        if (latency_sdk_ == 0) latency_sdk_ = DefaultLatencyBound;
        bound = static_cast<std::uint32_t>(latency_sdk_);
    }
    std::uint32_t draw = bound == 0 ? randomNumFrom(0, 0) : randomNumFrom(0, bound - 1);
    if (draw >= 128 && draw <= 255) draw = 127;
    latency_ = static_cast<std::int32_t>(draw);
    return latency_;
}

void RezOzovaJob::preparePerformJob(int trigger) {
    auto& job = sharedInstance();
    if (!job.ready() || !defconPass() || !shouldCommitJob(trigger)) return;
    auto& internal = RezOzovaInternal::sharedInstance();
    if (checkLatentCondition()) {
        if (!job.bDisguisedLatency()) {
            const std::int32_t delay = job.calculateLatency();
            if (internal.hasJob()) internal.generateEnvelopeFile();
            job.setLatency(0);
            if (job.delayedSend_) job.delayedSend_->invalidate();
            job.delayedSend_ = ns::Timer::scheduledTimer(delay, false, [](ns::Timer&) { beginPerformJobDelay(); });
            return;
        }
        job.setLatency(0);
        if (internal.hasJob()) internal.generateEnvelopeFile();
        job.setBDisguisedLatency(false);
    }
    internal.beginPerformJob();
}

void RezOzovaJob::beginPerformJobDelay() {
    auto& job = sharedInstance();
    job.setBLatencyJob(false);
    if (!RezOzovaSession::sharedInstance().appInBackGround()) RezOzovaInternal::sharedInstance().beginPerformJob();
}

std::string RezOzovaJob::description() const {
    return "<RezOzovaJob: self.defcon=" + std::to_string(defcon()) + ", self.latency=" + std::to_string(latency_) +
           ", self.jobRunning=" + std::to_string(jobRunning() ? 1 : 0) + ">";
}

void RezOzova::setLatency(std::int32_t seconds) { RezOzovaJob::sharedInstance().setLatency_sdk(seconds); }

}  // namespace ql
