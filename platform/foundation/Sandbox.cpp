#include "platform/foundation/Sandbox.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <exception>
#include <filesystem>
#include <mutex>

#include "platform/foundation/BackgroundWork.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"

namespace ql::ns {

namespace {

std::mutex homeMutex;
// Guarded by homeMutex; empty: the default home.
std::string& homeOverride() {
    static auto& path = *new std::string;
    return path;
}
std::atomic<std::uint64_t> homeGeneration{1};

std::string nonEmptyEnvironment(const char* name) {
    const char* value = ::getenv(name);
    return value && *value ? std::string(value) : std::string();
}

std::string defaultHome() {
    if (std::string home = nonEmptyEnvironment("QUILLORY_HOME"); !home.empty())
        return std::filesystem::absolute(home).lexically_normal().string();
    return userDataFolder() + "/quillory";
}

}  // namespace

std::string userDataFolder() {
    std::string dataFolder = nonEmptyEnvironment("XDG_DATA_HOME");
    if (dataFolder.empty()) {
        std::string userHome = nonEmptyEnvironment("HOME");
        if (userHome.empty()) {
            if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) userHome = entry->pw_dir;
        }
        if (userHome.empty())
            throw Exception(InternalInconsistencyException, "no home folder for the sandbox: set QUILLORY_HOME");
        dataFolder = userHome + "/.local/share";
    }
    return std::filesystem::absolute(dataFolder).lexically_normal().string();
}

namespace {

std::string currentHome() {
    std::lock_guard lock(homeMutex);
    if (!homeOverride().empty()) return homeOverride();
    static const auto& home = *new std::string(defaultHome());
    return home;
}

// The sandbox is private to the app: what it makes, only the owner may enter.
std::string ensured(std::string path) {
    FileManager::defaultManager().createDirectoryAtPath(path, true, {{std::string(FilePosixPermissions), 0700}});
    return path;
}

std::string inHome(std::string_view relative) { return ensured(currentHome() + std::string(relative)); }

}  // namespace

std::string Sandbox::home() { return ensured(currentHome()); }
std::string Sandbox::documents() { return inHome("/Documents"); }
std::string Sandbox::library() { return inHome("/Library"); }
std::string Sandbox::caches() { return inHome("/Library/Caches"); }
std::string Sandbox::preferences() { return inHome("/Library/Preferences"); }
std::string Sandbox::temporary() { return inHome("/tmp"); }

void Sandbox::setHomeForTesting(std::string path) {
    std::lock_guard lock(homeMutex);
    homeOverride() = path.empty() ? std::string() : std::filesystem::absolute(path).lexically_normal().string();
    homeGeneration.fetch_add(1);
}

bool Sandbox::hasHomeForTesting() {
    std::lock_guard lock(homeMutex);
    return !homeOverride().empty();
}

std::uint64_t Sandbox::generation() { return homeGeneration.load(); }

SandboxHome::SandboxHome(std::string path) : path_(std::filesystem::absolute(path).lexically_normal().string()) {
    std::error_code error;
    std::filesystem::create_directories(path_, error);
    if (!std::filesystem::is_directory(path_))
        throw Exception(InvalidArgumentException, "cannot make the sandbox " + path_ + ": " + error.message());
    {
        std::lock_guard lock(homeMutex);
        previousOverride_ = homeOverride();
    }
    Sandbox::setHomeForTesting(path_);
}

SandboxHome::~SandboxHome() {
    // What the app queued for this home lands in it before the home changes or goes. The main queue's blocks
    // run meanwhile, and one may raise: the home changes all the same.
    try {
        if (!BackgroundWork::finishQueuedWork()) {
            Log::write("background work still under way as the sandbox " + path_ + " ends: it goes on without it");
        }
    } catch (const std::exception& error) {
        Log::write("the sandbox " + path_ + " ends without waiting for the rest of its work: " + error.what());
    }
    Sandbox::setHomeForTesting(previousOverride_);
}

namespace {

std::string makeTemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillory-sandbox-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw Exception(InternalInconsistencyException, "cannot make a temporary sandbox in " + pattern);
    return pattern;
}

}  // namespace

TemporarySandbox::TemporarySandbox() : home_(std::make_unique<SandboxHome>(makeTemporaryFolder())) {}

TemporarySandbox::~TemporarySandbox() {
    const std::string folder = home_->path();
    home_.reset();
    FileManager::defaultManager().removeItemAtPath(folder);
}

std::vector<std::string> searchPathForDirectoriesInDomains(SearchPathDirectory directory, unsigned domainMask,
                                                           bool expandTilde) {
    if (!(domainMask & UserDomainMask)) return {};
    std::string relative;
    switch (directory) {
        case LibraryDirectory: relative = "/Library"; break;
        case DocumentDirectory: relative = "/Documents"; break;
        case CachesDirectory: relative = "/Library/Caches"; break;
        default: return {};
    }
    std::string home = currentHome();
    ensured(home + relative);
    return {expandTilde ? home + relative : "~" + relative};
}

std::string homeDirectory() { return Sandbox::home(); }

std::string temporaryDirectory() { return Sandbox::temporary() + "/"; }

}  // namespace ql::ns
