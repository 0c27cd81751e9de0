#pragma once
// File and crypto helpers of the analytics client: the analytics folder, envelope files, payload encryption.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Data.h"

namespace ql {

class RezOzovaUtility {
public:
    // The analytics folder in the caches directory, made when missing.
    static std::string analyticsFolder();
    // Paths of the files in the analytics folder whose names end in "_envelope.log", in name order.
    static std::vector<std::string> envelopeFiles();
    static void removeFile(const std::string& path);
    static bool isExistAtPath(const std::string& path);
    // Now minus the time, in seconds.
    static double durationNowWith1970TimeInterval(double seconds);
    // AES-128-CBC with PKCS#7 padding and the client's fixed initialisation vector; nothing on failure.
    static std::optional<ns::Data> AES128EncryptData(const ns::Data& data, const ns::Data& key);
    static std::optional<ns::Data> AES128DecryptData(const ns::Data& data, const ns::Data& key);
    // The analytics folder joined with "<ts>_envelope.log".
    static std::string generateEnvelopeFileNameWithTS(std::string_view ts);
    // Writes atomically, only when data is given and nothing exists at the path yet; whether it was written.
    static bool saveData(const std::optional<ns::Data>& data, const std::string& path);
    // "exchangeIdentity.json" in the analytics folder.
    static std::string exchangeIdentityPath();
    // The file whose lock (ns::FileLock) apps sharing a home take around their work in the analytics folder:
    // numbering and naming envelopes, and the record cache.
    static std::string folderLockPath();
};

}  // namespace ql
