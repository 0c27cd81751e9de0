#pragma once
// The app's sandbox: one home folder holding Documents/, Library/Caches/, Library/Preferences/ and tmp/,
// each made when first asked for, and the platform's search-path lookups over it. The home is
// QUILLORY_HOME when set, else "quillory" in the user's data folder ($XDG_DATA_HOME or ~/.local/share).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ql::ns {

class Sandbox {
public:
    // Absolute paths without a trailing slash; the folder exists when the call returns (unless the file
    // system refuses, in which case later file operations report why).
    static std::string home();
    static std::string documents();
    static std::string library();
    static std::string caches();
    static std::string preferences();
    static std::string temporary();

    // Points the sandbox at another folder; an empty path goes back to the default home. For tests: whatever
    // was bound to the old home (the standard user defaults) rebinds on its next use.
    static void setHomeForTesting(std::string path);
    // Changes whenever the home does, so holders of paths inside it can tell they must rebind.
    static std::uint64_t generation();
    // Whether a test has pointed the sandbox elsewhere: what apps would share then stays inside it too.
    static bool hasHomeForTesting();
};

// A folder made the sandbox's home for the lifetime of the scope (created when missing); afterwards the
// previous home is restored. The folder and what the app left in it stay. At its end, the work queued on
// background queues is let finish first, within the allowance of the end of background work
// (BackgroundWork::finishQueuedWork), so that what the app queued for this home (a cache's writes, say) lands in
// it and not in the next one or a folder already gone.
class SandboxHome {
public:
    explicit SandboxHome(std::string path);
    ~SandboxHome();
    SandboxHome(const SandboxHome&) = delete;
    SandboxHome& operator=(const SandboxHome&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previousOverride_;
};

// A fresh, empty temporary folder made the sandbox's home for the lifetime of the scope; afterwards the
// background work is let finish, the previous home is restored and the folder removed with everything in it.
class TemporarySandbox {
public:
    TemporarySandbox();
    ~TemporarySandbox();
    TemporarySandbox(const TemporarySandbox&) = delete;
    TemporarySandbox& operator=(const TemporarySandbox&) = delete;

    const std::string& path() const { return home_->path(); }

private:
    std::unique_ptr<SandboxHome> home_;
};

// The platform's search-path directories and domains (only the user domain exists in a sandbox).
enum SearchPathDirectory : unsigned {
    LibraryDirectory = 5,
    DocumentDirectory = 9,
    CachesDirectory = 13,
};

enum SearchPathDomainMask : unsigned {
    UserDomainMask = 1,
    LocalDomainMask = 2,
    NetworkDomainMask = 4,
    SystemDomainMask = 8,
    AllDomainsMask = 0x0ffff,
};

// The sandbox's folder for the directory when the mask includes the user domain, else nothing. Without
// tilde expansion the path is given relative to "~", the home.
std::vector<std::string> searchPathForDirectoriesInDomains(SearchPathDirectory directory, unsigned domainMask,
                                                           bool expandTilde);
// The sandbox's home folder.
std::string homeDirectory();
// The user's data folder outside any sandbox ($XDG_DATA_HOME or ~/.local/share), where what apps share lives.
std::string userDataFolder();
// The sandbox's tmp/ folder with a trailing slash, as the platform gives it.
std::string temporaryDirectory();

}  // namespace ql::ns
