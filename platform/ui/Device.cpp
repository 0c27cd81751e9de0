#include "platform/ui/Device.h"

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/AtomicWriteTemporary.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/Text.h"

namespace ql::ui {

namespace {

// Longer than any identifier's text: anything bigger is not one, and is never read whole.
constexpr std::uint64_t MaxIdentifierFileSize = 64;

std::optional<ns::UUID> readIdentifier(const std::string& path) {
    const auto bytes = ns::dataWithContentsOfFile(path, MaxIdentifierFileSize);
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
    // A write of it that a kill cut short left its temporary beside it, whether or not one is kept now.
    ns::removeStaleAtomicWriteTemporariesAtFirstOpening(ns::Sandbox::library(), ns::lastPathComponent(path));
    if (auto kept = readIdentifier(path)) return *kept;
    auto& files = ns::FileManager::defaultManager();
    const ns::Data text(ns::UUID().UUIDString() + "\n");
    // Something that is no identifier: nothing can be recovered from it, so a new one replaces it. Otherwise
    // one is made only where nothing is, so that of two apps starting together on one home the first to
    // arrive decides and the other reads its identifier.
    const bool stored = files.attributesOfItemAtPath(path)
                            ? files.writeAtomically(path, text, 0600)
                            : files.createAtomically(path, text, 0600) || files.attributesOfItemAtPath(path).has_value();
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
