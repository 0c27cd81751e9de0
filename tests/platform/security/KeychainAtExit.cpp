// A program whose thread looks an item up in the keychain at the end of its process, for KeychainItemsTests. The
// keychain's file is a folder, so each look-up fails with a reason. The main thread looks up once, then returns;
// an exit handler looks up again on it and prints "at the end: " and the reason.
//   security_keychain_at_exit

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/foundation/Sandbox.h"
#include "platform/security/KeychainItems.h"

using namespace ql;

namespace {

void lookUp() {
    ns::Dictionary query;
    query.set(std::string(sec::ItemClass), ns::Value(sec::ClassGenericPassword));
    query.set(std::string(sec::AttrService), ns::Value("mail"));
    sec::itemCopyMatching(query, nullptr);
}

void lookUpAtTheEnd() {
    lookUp();
    const std::string reason = sec::failureReason();
    std::printf("at the end: %s\n", reason.substr(reason.rfind('/') + 1).c_str());
}

}  // namespace

int main() {
    std::filesystem::create_directories(ns::Sandbox::library() + "/Keychains/keychain.db");
    lookUp();
    std::atexit(lookUpAtTheEnd);
    return sec::failureReason().empty() ? 2 : 0;
}
