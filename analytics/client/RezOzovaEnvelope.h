#pragma once
// The envelope builder: wraps one compressed log entry in an envelope record with a serial number, a time, a
// GUID that ties it to this device and installation, a signature and a checksum, encrypts the payload when
// the service or the host app asks, and saves it as an envelope file for the upload worker.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "analytics/StatEnvelope.h"
#include "analytics/WireLogEntry.h"
#include "platform/foundation/Data.h"

namespace ql {

namespace ns {
class FileLock;
}

class RezOzovaEnvelope {
public:
    static constexpr std::size_t DigestLength = 16;
    static constexpr std::size_t SignatureLength = 32;

    static RezOzovaEnvelope& sharedInstance();

    // Reads the installation's identity and stored signature; the process uses the shared instance.
    RezOzovaEnvelope();

    // Reads the app key, the identity and the stored signature again: the host app may set its key after the
    // first use, and a test may start a fresh installation.
    void reload();

    // Builds an envelope of the waiting records, saves it as an envelope file and answers its bytes; nothing
    // when no record waits, and nothing when the file could not be saved (the records then stay for the next
    // envelope). The stored serial number advances either way. Apps sharing a home number and name their
    // envelopes one at a time, so that no serial number and no file name is given twice.
    std::optional<ns::Data> makeEnvelopeData();
    // The serialized envelope around the payload; nothing without a payload.
    std::optional<ns::Data> toDataWithEntity(const std::optional<ns::Data>& entity);
    // The log entry an envelope file carries, decrypted with the envelope's own signature when it is
    // encrypted; nothing when the bytes are no such envelope.
    static std::shared_ptr<WireLogEntry> entryOfEnvelopeData(const ns::Data& envelope);

    void buildIdentity();
    void fetchSignature();
    void buildSerialNum();
    // 32 bytes from the payload and identity digests, stamped with the signature's outer bytes (zeros without
    // one) and the time.
    void buildGUIDWithData(const ns::Data* signature);
    ns::Data mergeEntityAndIdentity() const;
    void setSignatureWithData(const ns::Data& data);
    void generateChecksum();
    bool verifyTimestamp() const;
    bool verifyChecksum() const;
    // Rewrites the identity exchange file when its content changed.
    void checkExchangeData();
    // Logs the bytes as "< 0a ff … >".
    static void printBytes(const std::uint8_t* bytes, std::size_t length);

    const ns::Data& identityMD5() const { return identityMD5_; }
    const ns::Data& entityMD5() const { return entityMD5_; }
    const std::optional<ns::Data>& signature() const { return signature_; }
    const ns::Data& guid() const { return guid_; }
    const std::string& checksum() const { return checksum_; }
    const std::string& address() const { return address_; }
    const std::string& version() const { return version_; }
    const ns::Data& envelopeData() const { return envelopeData_; }
    std::int32_t timestamp() const { return timestamp_; }
    void setTimestamp(std::int32_t timestamp) { timestamp_ = timestamp; }
    std::int32_t serialNum() const { return serialNum_; }
    std::int32_t length() const { return length_.load(); }
    void setLength(std::int32_t length) { length_.store(length); }

private:
    // Under the folder lock: the serial number the lock file keeps, when it is ahead of the stored one, is
    // the one to go on from. The settings can lag behind it: an app whose write of the number failed (a full
    // or read-only disk) keeps the number waiting and writes it later, over another app's newer one.
    static void adoptLockedSerialNum(const ns::FileLock& lock);
    static void keepLockedSerialNum(const ns::FileLock& lock);
    // A name no envelope file has: the time in milliseconds, moved past the last one handed out.
    std::string nextEnvelopePath();

    std::mutex mutex_;
    ns::Data identityMD5_;
    ns::Data entityMD5_;
    std::string checksum_;
    std::string version_ = "V1.0";
    std::string address_;
    std::int32_t timestamp_ = 0;
    std::int32_t serialNum_ = 0;
    std::atomic<std::int32_t> length_{0};
    std::shared_ptr<StatEnvelope> enveloper_;
    std::optional<ns::Data> signature_;
    ns::Data guid_;
    ns::Data envelopeData_;
    std::int64_t lastFileMillis_ = 0;
};

}  // namespace ql
