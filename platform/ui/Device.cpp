#include "platform/ui/Device.h"

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Sandbox.h"

namespace ql::ui {

namespace {

// Longer than any identifier's text: anything bigger is not one, and is never read whole.
constexpr std::uint64_t MaxIdentifierFileSize = 64;

std::optional<ns::UUID> readIdentifier(const std::string& path) {
    auto& files = ns::FileManager::defaultManager();
    const auto attributes = files.attributesOfItemAtPath(path);
    // Only a small regular file is read: opening a pipe put in its place would wait for a writer.
    if (!attributes || !attributes->isRegularFile() || attributes->size > MaxIdentifierFileSize) return std::nullopt;
    const auto bytes = files.contentsAtPath(path);
    if (!bytes) return std::nullopt;
    std::string text = bytes->toString();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return ns::UUID::fromString(text);
}

}  // namespace

Device& Device::currentDevice() {
    static auto* device = new std::shared_ptr<Device>(std::make_shared<Device>());
    return **device;
}

ns::UUID Device::identifierForVendor() const {
    const std::string path = ns::Sandbox::library() + "/VendorIdentifier";
    if (auto kept = readIdentifier(path)) return *kept;
    auto& files = ns::FileManager::defaultManager();
    const ns::UUID fresh;
    const ns::Data text(fresh.UUIDString() + "\n");
    bool stored = false;
    if (files.attributesOfItemAtPath(path)) {
        // Something that is no identifier: nothing can be recovered from it, so a new one replaces it.
        stored = files.writeAtomically(path, text, 0600);
    } else {
        // Made beside it and moved in without replacing, so that of two apps starting together on one home
        // the first to arrive decides and the other reads its identifier.
        const std::string made = path + "." + fresh.UUIDString();
        stored = files.writeAtomically(made, text, 0600) && files.moveItemAtPath(made, path);
        files.removeItemAtPath(made);
        stored = stored || files.attributesOfItemAtPath(path).has_value();
    }
    if (stored)
        if (auto kept = readIdentifier(path)) return *kept;
    static const ns::UUID forThisProcess;
    return forThisProcess;
}

std::string Device::model() const { return idiom_ == UserInterfaceIdiom::Pad ? "iPad" : "iPhone"; }

void Device::setOrientation(DeviceOrientation orientation) {
    if (orientation == orientation_) return;
    orientation_ = orientation;
    ns::NotificationCenter::defaultCenter().post(DeviceOrientationDidChangeNotification, this);
}

}  // namespace ql::ui
