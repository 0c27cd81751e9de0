#pragma once
// The SharedUDID: a 40-digit hex device identifier that every app of the scheme shares through up to 100
// named persistent pasteboards ("org.SharedUDID.slot.0" to ".99"), with a local copy in the user defaults.
// Each app's answer is its local identifier; the slots vote when it has none yet.

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace ql {

namespace ui {
class Pasteboard;
}

inline constexpr std::string_view SharedUDIDErrorDomain = "org.SharedUDID";

// The scheme with its in-process cache; each class of the client that uses it keeps its own.
class SharedUDIDScheme {
public:
    static constexpr int SlotCount = 100;

    // The identifier, 40 zeros when opted out; the error out-parameter tells how it was found.
    std::optional<std::string> valueWithError(ns::Error* error);
    void setOptOut(bool optOut);
    // Forgets the cached answer, as a new launch of the app would.
    void clearCache();

    static std::string _generateFreshSharedUDID();
    static ns::Dictionary _getDictFromPasteboard(const ui::Pasteboard& pasteboard);
    static void _setDict(const ns::Dictionary& dictionary, ui::Pasteboard& pasteboard);

private:
    std::mutex mutex_;
    std::optional<std::string> cache_;
};

template <class Owner>
class SharedUDIDClass {
public:
    static std::optional<std::string> value() { return scheme().valueWithError(nullptr); }
    static std::optional<std::string> valueWithError(ns::Error* error) { return scheme().valueWithError(error); }
    static void setOptOut(bool optOut) { scheme().setOptOut(optOut); }
    static SharedUDIDScheme& scheme() {
        static SharedUDIDScheme* own = new SharedUDIDScheme;
        return *own;
    }
};

// Used by the device facts and the share-count analytics.
class StatSharedUDID : public SharedUDIDClass<StatSharedUDID> {};
// Used by the online configuration client.
class OCSharedUDID : public SharedUDIDClass<OCSharedUDID> {};

}  // namespace ql
