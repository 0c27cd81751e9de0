#include "analytics/client/RezOzovaUtility.h"

#include <algorithm>

#include "analytics/client/StatClientConstants.h"
#include "platform/foundation/Cipher.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"

namespace ql {

namespace {

constexpr std::string_view EnvelopeSuffix = "_envelope.log";

std::optional<ns::Data> aes128(ns::CryptOperation operation, const ns::Data& data, const ns::Data& key) {
    const ns::Data iv(StatEncryptionIV.data(), StatEncryptionIV.size());
    auto result = ns::aes128CBC(operation, key, iv, data);
    if (!result.succeeded()) return std::nullopt;
    return std::move(result.data);
}

}  // namespace

std::string RezOzovaUtility::analyticsFolder() {
    const std::string folder = ns::Sandbox::caches() + "/" + std::string(StatAnalyticsFolderName);
    ns::FileManager::defaultManager().createDirectoryAtPath(folder, true);
    return folder;
}

std::vector<std::string> RezOzovaUtility::envelopeFiles() {
    const std::string folder = analyticsFolder();
    std::vector<std::string> paths;
    auto names = ns::FileManager::defaultManager().contentsOfDirectoryAtPath(folder);
    if (!names) return paths;
    std::sort(names->begin(), names->end());
    for (const auto& name : *names)
        if (name.size() > EnvelopeSuffix.size() && name.ends_with(EnvelopeSuffix)) paths.push_back(folder + "/" + name);
    return paths;
}

void RezOzovaUtility::removeFile(const std::string& path) {
    if (isExistAtPath(path)) ns::FileManager::defaultManager().removeItemAtPath(path);
}

bool RezOzovaUtility::isExistAtPath(const std::string& path) {
    return ns::FileManager::defaultManager().fileExistsAtPath(path);
}

double RezOzovaUtility::durationNowWith1970TimeInterval(double seconds) { return ns::Clock::now() - seconds; }

std::optional<ns::Data> RezOzovaUtility::AES128EncryptData(const ns::Data& data, const ns::Data& key) {
    return aes128(ns::CryptOperation::Encrypt, data, key);
}

std::optional<ns::Data> RezOzovaUtility::AES128DecryptData(const ns::Data& data, const ns::Data& key) {
    return aes128(ns::CryptOperation::Decrypt, data, key);
}

std::string RezOzovaUtility::generateEnvelopeFileNameWithTS(std::string_view ts) {
    return analyticsFolder() + "/" + std::string(ts) + std::string(EnvelopeSuffix);
}

bool RezOzovaUtility::saveData(const std::optional<ns::Data>& data, const std::string& path) {
    if (!data || isExistAtPath(path)) return false;
    return ns::FileManager::defaultManager().writeAtomically(path, *data, std::nullopt);
}

std::string RezOzovaUtility::exchangeIdentityPath() { return analyticsFolder() + "/exchangeIdentity.json"; }

std::string RezOzovaUtility::folderLockPath() { return analyticsFolder() + "/analytics.lock"; }

}  // namespace ql
