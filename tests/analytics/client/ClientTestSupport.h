#pragma once
// A fresh installation for each analytics client test: an empty sandbox (user defaults, caches), an empty
// shared pasteboard folder, a manual clock, a Wi-Fi interface, and the client's singletons back at their
// starting state.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analytics/StatEvent.h"
#include "analytics/WireBinaryProtocol.h"
#include "analytics/WireImprint.h"
#include "analytics/WireMemoryBuffer.h"
#include "analytics/client/RezOzovaApp.h"
#include "analytics/client/RezOzovaConfig.h"
#include "analytics/client/RezOzovaEnvelope.h"
#include "analytics/client/RezOzovaInternal.h"
#include "analytics/client/RezOzovaJob.h"
#include "analytics/client/RezOzovaRecords.h"
#include "analytics/client/RezOzovaSession.h"
#include "analytics/client/RezOzovaUtility.h"
#include "analytics/client/StatEndpoints.h"
#include "analytics/client/StatSharedUDID.h"
#include "analytics/client/StatUtils.h"
#include "analytics/client/StatWorkDispatch.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/TimeZone.h"
#include "platform/system/HostFacts.h"
#include "platform/ui/Pasteboard.h"

namespace ql::test {

inline sys::NetworkInterface fakeInterface(std::string name, bool wireless, bool loopback = false) {
    sys::NetworkInterface interface;
    interface.name = std::move(name);
    interface.up = interface.hasIPv4 = true;
    interface.wireless = wireless;
    interface.loopback = loopback;
    return interface;
}

template <class R>
ns::Data serializedRecord(const R& record) {
    auto buffer = std::make_shared<WireMemoryBuffer>();
    WireBinaryProtocol protocol(buffer);
    record.write(protocol);
    return buffer->getBuffer();
}

template <class R>
std::shared_ptr<R> decodedRecord(const ns::Data& bytes) {
    auto record = std::make_shared<R>();
    WireBinaryProtocol protocol(std::make_shared<WireMemoryBuffer>(bytes));
    record->read(protocol);
    return record;
}

inline std::shared_ptr<WireImprint> imprintOf(const std::map<std::string, std::string>& properties) {
    auto map = std::make_shared<WireRecordMap<WireImprintValue>>();
    for (const auto& [key, value] : properties) (*map)[key] = std::make_shared<WireImprintValue>(value, 1, "g");
    return std::make_shared<WireImprint>(map, 1, "imprint-checksum");
}

// As if the log endpoint had handed out an imprint with these properties.
inline void storeImprint(const std::map<std::string, std::string>& properties) {
    RezOzovaConfig::setConfigure(ns::Value(serializedRecord(*imprintOf(properties))), "statImprint");
}

// Runs the dispatched work for the type now, as the main thread would.
inline void workEvent(std::int16_t type, ns::Value object = {}) {
    StatDispatchEvent event;
    event.setEEventType(type);
    event.setObject(std::move(object));
    RezOzovaInternal::sharedInstance().workEvent(event);
}

inline std::shared_ptr<StatEvent> eventRecord(std::string id, std::optional<std::string> label = std::nullopt) {
    auto record = std::make_shared<StatEvent>();
    record->event_id = std::move(id);
    record->label = std::move(label);
    return record;
}

// Envelope files with distinct bodies, oldest first.
inline std::vector<std::string> envelopeFiles(int count) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        paths.push_back(RezOzovaUtility::generateEnvelopeFileNameWithTS(std::to_string(1700000000000 + i)));
        RezOzovaUtility::saveData(ns::Data("envelope body " + std::to_string(i)), paths.back());
    }
    return paths;
}

// Runs the body in a child process, another app on the same home; its exit status is the body's answer.
inline pid_t inAnotherApp(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(body());
    return child;
}

// The child's exit status, or minus the signal that ended it.
inline int exitStatus(pid_t child) {
    int status = 0;
    if (::waitpid(child, &status, 0) != child) return -1000;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

inline void resetAnalyticsClient() {
    RezOzovaRecords::sharedInstance().clearAll();
    RezOzovaRecords::sharedInstance().setIdTracking(nullptr);
    RezOzovaInternal::sharedInstance().timedEvents().clear();
    RezOzovaSession::sharedInstance().resetForTesting();
    auto& app = RezOzovaApp::sharedInstance();
    app.setAppid("test-app-key");
    app.setChannel("App Store");
    app.setHostReportPolicy(1);
    app.setIntegratedTestMode(false);
    app.setLogSendInterval(90);
    app.setBackgroundTaskEnabled(false);
    app.setEncryptEnabled(false);
    app.setLogEnabled(false);
    auto& job = RezOzovaJob::sharedInstance();
    job.setDefcon(0);
    job.setLatency(0);
    job.setLatency_sdk(0);
    job.setJobRunning(false);
    job.setBLatencyJob(false);
    job.setBDisguisedLatency(false);
    StatSharedUDID::scheme().clearCache();
    OCSharedUDID::scheme().clearCache();
    StatUtils::setRandomSourceForTesting({});
}

class AnalyticsClientTest : public ::testing::Test {
protected:
    AnalyticsClientTest() : clock_(1'700'000'000.0) {
        ui::Pasteboard::setSharedFolderForTesting(sandbox_.path() + "/pasteboards");
        sys::setNetworkInterfacesForTesting(std::vector{fakeInterface("lo", false, true), fakeInterface("wlan0", true)});
        resetAnalyticsClient();
    }
    ~AnalyticsClientTest() override {
        sys::setNetworkInterfacesForTesting(std::nullopt);
        ui::Pasteboard::setSharedFolderForTesting("");
        StatEndpoints::setHostsForTesting(std::nullopt);
        ns::TimeZone::setDefault(std::nullopt);
        resetAnalyticsClient();
    }

    // Runs the main run loop until the condition holds (the real seconds only cap a failing wait).
    static bool pumpUntil(const std::function<bool()>& condition, double seconds = 30) {
        return ns::RunLoop::main()->runUntil(condition, seconds);
    }

    ns::TemporarySandbox sandbox_;
    ns::ManualClockScope clock_;
};

}  // namespace ql::test
