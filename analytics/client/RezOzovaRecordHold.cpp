#include "analytics/client/RezOzovaRecordHold.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <mutex>

#include "analytics/client/RezOzovaUtility.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UUID.h"

namespace ql {

namespace {

constexpr std::string_view kHeldPrefix = "held-";
constexpr std::string_view kConsumedPrefix = "consumed-";
constexpr std::string_view kRecordFilePrefix = "records-";
constexpr std::string_view kOutputPrefix = "put-";
constexpr std::string_view kClaimName = "claim";

const ns::FileManager& files() { return ns::FileManager::defaultManager(); }

std::mutex hookMutex;
std::function<void(std::string_view)>& stepHook() {
    static auto& hook = *new std::function<void(std::string_view)>;
    return hook;
}

void reachStep(std::string_view step) {
    std::function<void(std::string_view)> hook;
    {
        std::lock_guard lock(hookMutex);
        hook = stepHook();
    }
    if (hook) hook(step);
}

// Fixed width, so that name order is number order.
std::string padded(long long number, int width) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*lld", width, number);
    return text;
}

// The names in the folder that start with the prefix, in name order.
std::vector<std::string> namesIn(const std::string& folder, std::string_view prefix) {
    auto names = files().contentsOfDirectoryAtPath(folder).value_or(std::vector<std::string>{});
    std::erase_if(names, [&](const std::string& name) { return !name.starts_with(prefix); });
    return names;
}

bool isFolder(const std::string& path) {
    const auto attributes = files().attributesOfItemAtPath(path);
    return attributes && attributes->isDirectory();
}

// Whether the app that made the held folder has ended: no one holds its claim, or it died before making one.
bool abandoned(const std::string& folder) {
    const std::string claim = folder + "/" + std::string(kClaimName);
    return !files().attributesOfItemAtPath(claim) || ns::FileLock::claim(claim).has_value();
}

}  // namespace

RezOzovaFolderLock::RezOzovaFolderLock() : lock_(RezOzovaUtility::folderLockPath()) {
    RezOzovaRecordHold::finishInterrupted();
}

RezOzovaRecordHold::RezOzovaRecordHold(std::string folder, ns::FileLock claim)
    : folder_(std::move(folder)), claim_(std::move(claim)) {}

std::shared_ptr<RezOzovaRecordHold> RezOzovaRecordHold::make() {
    const auto millis = static_cast<long long>(std::floor(ns::Clock::now() * 1000));
    const std::string folder = RezOzovaUtility::analyticsFolder() + "/" + std::string(kHeldPrefix) +
                               padded(millis, 16) + "-" + ns::UUID().UUIDString();
    if (!files().createDirectoryAtPath(folder, false)) return nullptr;
    ns::FileLock claim(folder + "/" + std::string(kClaimName));
    if (!claim.held()) {
        files().removeItemAtPath(folder);
        return nullptr;
    }
    return std::shared_ptr<RezOzovaRecordHold>(new RezOzovaRecordHold(folder, std::move(claim)));
}

std::vector<std::string> RezOzovaRecordHold::leftBehind() {
    const std::string analytics = RezOzovaUtility::analyticsFolder();
    std::vector<std::string> folders;
    for (const std::string& name : namesIn(analytics, kHeldPrefix)) {
        const std::string folder = analytics + "/" + name;
        if (isFolder(folder) && abandoned(folder)) folders.push_back(folder);
    }
    return folders;
}

std::optional<std::string> RezOzovaRecordHold::adopt(const std::string& path) {
    const std::string moved =
        folder_ + "/" + std::string(kRecordFilePrefix) + padded(adopted_ + 1, 6) + ".cache";
    if (!files().moveItemAtPath(path, moved)) return std::nullopt;
    ++adopted_;
    return moved;
}

std::vector<std::string> RezOzovaRecordHold::adoptLeftBehind(const std::string& folder) {
    std::vector<std::string> paths;
    for (const std::string& name : namesIn(folder, kRecordFilePrefix)) {
        auto moved = adopt(folder + "/" + name);
        // What could not be moved stays with its folder, for a later take.
        if (!moved) return paths;
        paths.push_back(std::move(*moved));
    }
    files().removeItemAtPath(folder);
    return paths;
}

bool RezOzovaRecordHold::release(const std::optional<Output>& output) {
    const std::string put = output ? folder_ + "/" + std::string(kOutputPrefix) + output->name : std::string();
    if (output) {
        if (!files().writeAtomically(put, output->bytes, output->mode)) return false;
        reachStep("written");
    }
    const std::string consumed = RezOzovaUtility::analyticsFolder() + "/" + std::string(kConsumedPrefix) +
                                 ns::lastPathComponent(folder_).substr(kHeldPrefix.size());
    if (!files().moveItemAtPath(folder_, consumed)) {
        if (output) files().removeItemAtPath(put);
        return false;
    }
    folder_ = consumed;
    reachStep("committed");
    finish(consumed);
    return true;
}

void RezOzovaRecordHold::finish(const std::string& consumedFolder) {
    const std::string analytics = RezOzovaUtility::analyticsFolder();
    for (const std::string& name : namesIn(consumedFolder, kOutputPrefix)) {
        std::error_code error;
        std::filesystem::rename(consumedFolder + "/" + name, analytics + "/" + name.substr(kOutputPrefix.size()), error);
        // Committed all the same: the next holder of the folder's lock tries again.
        if (error) return;
    }
    reachStep("moved");
    files().removeItemAtPath(consumedFolder);
}

void RezOzovaRecordHold::finishInterrupted() {
    const std::string analytics = RezOzovaUtility::analyticsFolder();
    for (const std::string& name : namesIn(analytics, kConsumedPrefix))
        if (isFolder(analytics + "/" + name)) finish(analytics + "/" + name);
}

void RezOzovaRecordHold::setStepHookForTesting(std::function<void(std::string_view step)> hook) {
    std::lock_guard lock(hookMutex);
    stepHook() = std::move(hook);
}

}  // namespace ql
