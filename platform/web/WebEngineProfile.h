#pragma once
// The engine's profile folder in the sandbox's tmp. The app holds a lock on it for as long as it uses it, so a
// folder whose lock nobody holds was left by a run that ended without removing it (killed, crashed): such
// folders are removed whenever a new one is made. Folders of another process on the same home are in use and
// stay.

#include <memory>
#include <string>
#include <utility>

namespace ql::ui {

class WebEngineProfile {
public:
    // A fresh folder, held; null with the reason when it cannot be made.
    static std::unique_ptr<WebEngineProfile> make(std::string* problem);

    WebEngineProfile(const WebEngineProfile&) = delete;
    WebEngineProfile& operator=(const WebEngineProfile&) = delete;
    // Removes the folder with everything in it.
    ~WebEngineProfile();

    const std::string& path() const { return path_; }

private:
    WebEngineProfile(std::string path, int lock) : path_(std::move(path)), lock_(lock) {}

    std::string path_;
    int lock_;
};

}  // namespace ql::ui
