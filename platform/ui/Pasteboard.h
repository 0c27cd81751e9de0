#pragma once
// ui::Pasteboard: named stores of typed data that outlive a copy and paste. The general pasteboard and
// persistent named ones are files in a folder shared by every app of the machine, each replaced atomically,
// so another process (another app) reads what this one wrote (what writes a kill cut short left in the
// folder goes at the first access and at every write); a named pasteboard that is not persistent
// lives only in this process, as it would vanish when its app quits.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Object.h"

namespace ql::ui {

// The type under which plain text travels.
inline constexpr std::string_view PasteboardTypeUTF8PlainText = "public.utf8-plain-text";

class Pasteboard : public ns::Object {
    QL_OBJECT_NAMED(Pasteboard, ns::Object, "UIPasteboard")
public:
    static std::shared_ptr<Pasteboard> generalPasteboard();
    // The pasteboard of that name, made when `create` is true; nothing when it does not exist and is not
    // to be made, or when the name is empty.
    static std::shared_ptr<Pasteboard> pasteboardWithName(const std::string& name, bool create);
    static void removePasteboardWithName(const std::string& name);

    const std::string& name() const { return name_; }
    bool isPersistent() const;
    // A persistent pasteboard is written to the shared folder at once with everything it holds.
    void setPersistent(bool persistent);

    // Replaces every item with this one value.
    void setData(const ns::Data& data, std::string_view type);
    std::optional<ns::Data> dataForPasteboardType(std::string_view type) const;
    // Plain text, as UTF-8 under the plain-text type.
    void setString(const std::string& string);
    std::optional<std::string> string() const;
    // Goes up with every change, by whichever process made it.
    std::int64_t changeCount() const;

    // The shared folder: QUILLORY_PASTEBOARDS when set, else "quillory-pasteboards" in the user's data folder
    // (inside the sandbox while a test has moved the sandbox). Tests may point it elsewhere; an empty path
    // goes back to the default.
    static std::string sharedFolder();
    static void setSharedFolderForTesting(std::string path);

    explicit Pasteboard(std::string name) : name_(std::move(name)) {}

private:
    struct Contents;
    std::string path() const;
    Contents load() const;
    void store(const Contents& contents);

    const std::string name_;
    mutable std::mutex mutex_;
    // Set only for pasteboards kept in this process; shared ones are read from their file on every access.
    std::shared_ptr<Contents> local_;
};

}  // namespace ql::ui
