#include "analytics/client/RezOzovaEnvelope.h"

#include <array>
#include <cmath>
#include <exception>

#include "analytics/StatLog.h"
#include "analytics/WireBinaryProtocol.h"
#include "analytics/WireMemoryBuffer.h"
#include "analytics/client/RezOzovaApp.h"
#include "analytics/client/RezOzovaConfig.h"
#include "analytics/client/RezOzovaRecordHold.h"
#include "analytics/client/RezOzovaRecords.h"
#include "analytics/client/RezOzovaUtility.h"
#include "analytics/client/StatProtocolData.h"
#include "analytics/client/StatUtils.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/FileLock.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/foundation/Zlib.h"

namespace ql {

namespace {

// The time as it lies in memory on the devices the service was made for: least significant byte first,
// whatever this machine's byte order. The service reads it back from the GUID that way.
std::array<std::uint8_t, 4> littleEndian(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits >> 16),
            static_cast<std::uint8_t>(bits >> 24)};
}

std::int32_t fromLittleEndian(const std::array<std::uint8_t, 4>& bytes) {
    return static_cast<std::int32_t>(std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                                     std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24);
}

}  // namespace

RezOzovaEnvelope& RezOzovaEnvelope::sharedInstance() {
    static RezOzovaEnvelope* envelope = new RezOzovaEnvelope;
    return *envelope;
}

RezOzovaEnvelope::RezOzovaEnvelope() { reload(); }

void RezOzovaEnvelope::reload() {
    std::lock_guard lock(mutex_);
    address_ = RezOzovaApp::sharedInstance().appid();
    signature_.reset();
    buildIdentity();
    fetchSignature();
    enveloper_ = std::make_shared<StatEnvelope>();
    enveloper_->setVersion(version_);
    enveloper_->setAddress(address_);
}

void RezOzovaEnvelope::buildIdentity() {
    identityMD5_ = ns::md5(StatProtocolData::deviceIDVendorString() + StatProtocolData::openUDIDString());
}

void RezOzovaEnvelope::fetchSignature() {
    const ns::Value stored = RezOzovaConfig::configureWithKey("statSignature");
    if (stored.isData() && stored.asData()->length() == SignatureLength) signature_ = *stored.asData();
}

void RezOzovaEnvelope::buildSerialNum() {
    const ns::Value stored = RezOzovaConfig::configureWithKey("statSerialNum");
    if (stored.isNumber()) {
        serialNum_ = static_cast<std::int32_t>(stored.int64Value());
    } else {
        serialNum_ = 1;
        RezOzovaConfig::setConfigure(ns::Value(1), "statSerialNum");
    }
    enveloper_->setSerial_num(serialNum_);
}

ns::Data RezOzovaEnvelope::mergeEntityAndIdentity() const {
    std::vector<std::uint8_t> merged(SignatureLength, 0);
    for (std::size_t k = 0; k < DigestLength; ++k) {
        merged[2 * k] = k < entityMD5_.length() ? entityMD5_.bytes()[k] : 0;
        merged[2 * k + 1] = k < identityMD5_.length() ? identityMD5_.bytes()[k] : 0;
    }
    return ns::Data(std::move(merged));
}

void RezOzovaEnvelope::buildGUIDWithData(const ns::Data* signature) {
    const ns::Data merged = mergeEntityAndIdentity();
    std::vector<std::uint8_t> bytes(merged.bytes(), merged.bytes() + merged.length());
    for (std::size_t i : {std::size_t{0}, std::size_t{1}, std::size_t{30}, std::size_t{31}})
        bytes[i] = signature != nullptr && signature->length() == SignatureLength ? signature->bytes()[i] : 0;
    const auto time = littleEndian(timestamp_);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] ^= time[i % 4];
    guid_ = ns::Data(std::move(bytes));
}

void RezOzovaEnvelope::setSignatureWithData(const ns::Data& data) {
    signature_ = data;
    if (RezOzovaConfig::configureWithKey("statSignature").isNil())
        RezOzovaConfig::setConfigure(ns::Value(data), "statSignature");
    buildGUIDWithData(&*signature_);
}

void RezOzovaEnvelope::generateChecksum() {
    const std::string text = (signature_ ? ns::hexString(*signature_) : std::string()) + std::to_string(serialNum_) +
                             std::to_string(timestamp_) + std::to_string(length_.load()) + ns::hexString(guid_);
    checksum_ = ns::hexString(ns::md5(text));
    enveloper_->setChecksum(checksum_);
}

std::optional<ns::Data> RezOzovaEnvelope::toDataWithEntity(const std::optional<ns::Data>& entity) {
    if (!entity) return std::nullopt;
    std::lock_guard lock(mutex_);
    buildSerialNum();
    ns::Data payload = *entity;
    entityMD5_ = ns::md5(payload);
    if (signature_) {
        buildGUIDWithData(&*signature_);
    } else {
        buildGUIDWithData(nullptr);
        setSignatureWithData(guid_);
    }

    const auto codex = RezOzovaRecords::imprintPropertyValueWithKey("codex");
    const bool encrypt = codex ? *codex == "1" : RezOzovaApp::sharedInstance().encryptEnabled();
    if (encrypt) {
        auto encrypted = RezOzovaUtility::AES128EncryptData(payload, signature_->subdata(1, 16));
        // A payload that could not be encrypted is not sent plain against the service's wish.
        if (!encrypted) return std::nullopt;
        payload = std::move(*encrypted);
        entityMD5_ = ns::md5(payload);
        buildGUIDWithData(&*signature_);
    }
    enveloper_->setCodex(encrypt ? 1 : 0);

    enveloper_->setEntity(payload);
    enveloper_->setGuid(ns::hexString(guid_));
    enveloper_->setLength(length_.load());
    enveloper_->setTs_secs(timestamp_);
    enveloper_->setSignature(ns::hexString(*signature_));
    generateChecksum();

    auto buffer = std::make_shared<WireMemoryBuffer>();
    try {
        WireBinaryProtocol protocol(buffer);
        enveloper_->write(protocol);
    } catch (const std::exception& exception) {
        statLog(std::string("Exception occurred: ") + exception.what());
    }
    envelopeData_ = buffer->getBuffer();
    return envelopeData_;
}

std::shared_ptr<WireLogEntry> RezOzovaEnvelope::entryOfEnvelopeData(const ns::Data& envelope) {
    try {
        StatEnvelope record;
        WireBinaryProtocol envelopeProtocol(std::make_shared<WireMemoryBuffer>(envelope));
        record.read(envelopeProtocol);
        if (!record.entity()) return nullptr;
        std::optional<ns::Data> payload = *record.entity();
        if (record.codex() == 1) {
            const auto signature = ns::dataFromHexString(record.signature().value_or(""));
            if (!signature || signature->length() != SignatureLength) return nullptr;
            payload = RezOzovaUtility::AES128DecryptData(*payload, signature->subdata(1, 16));
        }
        const auto serialized = payload ? ns::zlibInflate(*payload, RezOzovaRecords::MaxSerializedLength) : std::nullopt;
        if (!serialized) return nullptr;
        auto entry = std::make_shared<WireLogEntry>();
        WireBinaryProtocol entryProtocol(std::make_shared<WireMemoryBuffer>(*serialized));
        entry->read(entryProtocol);
        return entry;
    } catch (const std::exception&) {
        return nullptr;
    }
}

std::string RezOzovaEnvelope::nextEnvelopePath() {
    auto millis = static_cast<std::int64_t>(std::floor(ns::Clock::now() * 1000));
    // Two envelopes in one millisecond must not share a file: the second would be lost.
    if (millis <= lastFileMillis_) millis = lastFileMillis_ + 1;
    std::string path = RezOzovaUtility::generateEnvelopeFileNameWithTS(std::to_string(millis));
    while (RezOzovaUtility::isExistAtPath(path))
        path = RezOzovaUtility::generateEnvelopeFileNameWithTS(std::to_string(++millis));
    lastFileMillis_ = millis;
    return path;
}

void RezOzovaEnvelope::adoptLockedSerialNum(const ns::FileLock& lock) {
    // Another app may have numbered envelopes since this one last read its settings.
    ns::UserDefaults::standard().synchronize();
    const auto kept = lock.contents(32);
    if (!kept || kept->empty()) return;
    const std::int64_t next = ns::Value(kept->toString()).int64Value();
    const ns::Value stored = RezOzovaConfig::configureWithKey("statSerialNum");
    if (!stored.isNumber() || stored.int64Value() < next) RezOzovaConfig::setConfigure(ns::Value(next), "statSerialNum");
}

void RezOzovaEnvelope::keepLockedSerialNum(const ns::FileLock& lock) {
    lock.replaceContents(std::to_string(RezOzovaConfig::configureWithKey("statSerialNum").int64Value()));
}

std::optional<ns::Data> RezOzovaEnvelope::makeEnvelopeData() {
    const auto payload = RezOzovaRecords::sharedInstance().entityData();
    timestamp_ = static_cast<std::int32_t>(ns::Clock::now());
    const RezOzovaFolderLock lock;
    adoptLockedSerialNum(lock.file());
    {
        // Another app on this home may have made the installation's signature since this one looked.
        std::lock_guard signatureLock(mutex_);
        if (!signature_) fetchSignature();
    }
    auto data = toDataWithEntity(payload);
    // A save that fails (a full or read-only disk) is not reported, but what it was to keep is not let go:
    // without an answer the caller keeps the records for the next envelope.
    if (data && !RezOzovaRecords::sharedInstance().saveEnvelopeLocked(*data, nextEnvelopePath())) data.reset();
    if (data) RezOzovaRecords::sharedInstance().setActivateMsgFlag();
    RezOzovaConfig::addToCount("statSerialNum", 1);
    keepLockedSerialNum(lock.file());
    checkExchangeData();
    return data;
}

void RezOzovaEnvelope::printBytes(const std::uint8_t* bytes, std::size_t length) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string line = "< ";
    line.reserve(3 * length + 3);
    for (std::size_t i = 0; i < length; ++i) {
        line += Digits[bytes[i] >> 4];
        line += Digits[bytes[i] & 0xF];
        line += ' ';
    }
    line += '>';
    statLog(line);
}

void RezOzovaEnvelope::checkExchangeData() {
    // The exchange file names the installation by its signature: there is nothing to tell before the first one.
    if (!signature_) return;
    ns::Dictionary exchange{{"appkey", ns::Value(address_)},
                            {"signature", ns::Value(enveloper_->signature().value_or(ns::hexString(*signature_)))}};
    if (auto umid = RezOzovaRecords::imprintPropertyValueWithKey("umid"); umid && !umid->empty())
        exchange.set("umid", ns::Value(*umid));
    exchange.set("checksum", ns::Value(ns::hexString(ns::md5(ns::hexString(signature_->subdata(2, 16))),
                                                     ns::HexCase::Upper)));
    const auto json = StatUtils::JSONFragment(ns::Value(exchange));
    if (!json) return;
    const ns::Data content(*json);
    const std::string path = RezOzovaUtility::exchangeIdentityPath();
    // Only a file of the same length can hold the same bytes: a longer one is not read.
    const auto existing = ns::dataWithContentsOfFile(path, content.length());
    if (existing && existing->compare(content) == 0) return;
    ns::FileManager::defaultManager().writeAtomically(path, content, std::nullopt);
}

bool RezOzovaEnvelope::verifyTimestamp() const {
    if (guid_.length() != SignatureLength || !signature_) return false;
    const auto* g = guid_.bytes();
    const auto* s = signature_->bytes();
    const std::int32_t time = fromLittleEndian({static_cast<std::uint8_t>(g[0] ^ s[0]), static_cast<std::uint8_t>(g[1] ^ s[1]),
                                                static_cast<std::uint8_t>(g[30] ^ s[30]),
                                                static_cast<std::uint8_t>(g[31] ^ s[31])});
    return time == timestamp_ || (time == 0 && serialNum_ == 1);
}

bool RezOzovaEnvelope::verifyChecksum() const {
    if (guid_.length() != SignatureLength || entityMD5_.length() != DigestLength || identityMD5_.length() != DigestLength)
        return false;
    const auto time = littleEndian(timestamp_);
    for (std::size_t k = 2; k <= 13; ++k) {
        const std::uint8_t entity = guid_.bytes()[2 * k] ^ time[(2 * k) % 4];
        const std::uint8_t identity = guid_.bytes()[2 * k + 1] ^ time[(2 * k + 1) % 4];
        if (entity != entityMD5_.bytes()[k] || identity != identityMD5_.bytes()[k]) return false;
    }
    return true;
}

}  // namespace ql
