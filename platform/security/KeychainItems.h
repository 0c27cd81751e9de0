#pragma once
// Keychain items: generic passwords kept in the sandbox's own store (Library/Keychains/keychain.db, readable
// by the owner only), looked up, added, changed and deleted through attribute dictionaries keyed as on the
// platform, answering the platform's status codes. Each call opens the store afresh, so calls are safe from
// any thread and follow the sandbox when tests move it. Where the volume refuses writing, lookups still
// read the store and changes answer StatusReadOnly; a volume that fails writing (a full disk) makes them
// answer StatusIO. Both come with a reason (failureReason).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

namespace ql::sec {

using Status = std::int32_t;

inline constexpr Status StatusSuccess = 0;
inline constexpr Status StatusUnimplemented = -4;
inline constexpr Status StatusIO = -36;
inline constexpr Status StatusParam = -50;
inline constexpr Status StatusAllocate = -108;
inline constexpr Status StatusNotAvailable = -25291;
inline constexpr Status StatusReadOnly = -25292;
inline constexpr Status StatusAuthFailed = -25293;
inline constexpr Status StatusDuplicateItem = -25299;
inline constexpr Status StatusItemNotFound = -25300;
inline constexpr Status StatusInteractionNotAllowed = -25308;
inline constexpr Status StatusDecode = -26275;

// Dictionary keys and their well-known values.
inline constexpr std::string_view ItemClass = "class";
inline constexpr std::string_view ClassGenericPassword = "genp";
inline constexpr std::string_view AttrService = "svce";
inline constexpr std::string_view AttrAccount = "acct";
inline constexpr std::string_view AttrAccessGroup = "agrp";
inline constexpr std::string_view AttrLabel = "labl";
inline constexpr std::string_view AttrAccessible = "pdmn";
inline constexpr std::string_view AttrSynchronizable = "sync";
inline constexpr std::string_view AttrSynchronizableAny = "syna";
inline constexpr std::string_view ValueData = "v_Data";
inline constexpr std::string_view ReturnData = "r_Data";
inline constexpr std::string_view ReturnAttributes = "r_Attributes";
inline constexpr std::string_view MatchLimit = "m_Limit";
inline constexpr std::string_view MatchLimitOne = "m_LimitOne";
inline constexpr std::string_view MatchLimitAll = "m_LimitAll";

// When an item may be read; an item added without one is readable when unlocked.
enum class Accessibility : std::uint8_t {
    WhenUnlocked,
    AfterFirstUnlock,
    Always,
    WhenPasscodeSetThisDeviceOnly,
    WhenUnlockedThisDeviceOnly,
    AfterFirstUnlockThisDeviceOnly,
    AlwaysThisDeviceOnly,
};
// The value an item's AttrAccessible holds for an accessibility ("ak", "ck", …).
std::string_view accessibilityValue(Accessibility accessibility);

// Without AttrSynchronizable a query matches only items that are not synchronized; with
// AttrSynchronizableAny it matches both. Attributes of a query must be texts (synchronizable: a boolean).

// Adds an item (AttrSynchronizableAny adds it unsynchronized); StatusDuplicateItem when one with the same service, account, access group and
// synchronizability exists.
Status itemAdd(const ns::Dictionary& attributes);
// Finds matching items. ReturnData and/or ReturnAttributes choose what `result` receives (the password
// bytes, an attribute dictionary, or one holding both); MatchLimitAll gives an array of them. `result`
// may be null.
Status itemCopyMatching(const ns::Dictionary& query, ns::Value* result);
// Applies the changes (texts, ValueData) to every matching item.
Status itemUpdate(const ns::Dictionary& query, const ns::Dictionary& changes);
// Deletes every matching item.
Status itemDelete(const ns::Dictionary& query);

// Why the calling thread's last call above failed, when it answered StatusIO or StatusReadOnly: the store's
// path and what the volume or the database said ("… No space left on device"). Empty otherwise.
std::string failureReason();

}  // namespace ql::sec
