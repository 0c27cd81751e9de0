// The binary record reader on arbitrary bytes, for every record type (chosen by the first byte): reading
// either succeeds or raises WireProtocolException, never anything else and never a crash. A record that
// was read writes bytes that read back into a record writing the same bytes, and it survives a keyed
// archive unchanged.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <tuple>

#include "analytics/StatEnvelope.h"
#include "analytics/WireActivateMsg.h"
#include "analytics/WireAppInfo.h"
#include "analytics/WireBinaryProtocol.h"
#include "analytics/WireClientStats.h"
#include "analytics/WireDeviceInfo.h"
#include "analytics/WireError.h"
#include "analytics/WireEvent.h"
#include "analytics/WireException.h"
#include "analytics/WireIdJournal.h"
#include "analytics/WireIdSnapshot.h"
#include "analytics/WireIdTracking.h"
#include "analytics/WireImprint.h"
#include "analytics/WireImprintValue.h"
#include "analytics/WireInstantMsg.h"
#include "analytics/WireLogEntry.h"
#include "analytics/WireLocation.h"
#include "analytics/WireMemoryBuffer.h"
#include "analytics/WireMiscInfo.h"
#include "analytics/WirePage.h"
#include "analytics/WirePropertyValue.h"
#include "analytics/WireResolution.h"
#include "analytics/WireResponse.h"
#include "analytics/WireTraffic.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace ql;

namespace {

using fuzz::check;

ns::Data written(const WireBase& record) {
    auto buffer = std::make_shared<WireMemoryBuffer>();
    WireBinaryProtocol protocol(buffer);
    record.write(protocol);
    return buffer->getBuffer();
}

template <class R>
void fuzz(const ns::Data& input) {
    auto record = std::make_shared<R>();
    try {
        WireBinaryProtocol protocol(std::make_shared<WireMemoryBuffer>(input));
        record->read(protocol);
    } catch (const WireProtocolException&) {
        return;
    }
    try {
        record->validate();
    } catch (const WireProtocolException&) {
    }
    const ns::Data once = written(*record);
    auto again = std::make_shared<R>();
    WireBinaryProtocol protocol(std::make_shared<WireMemoryBuffer>(once));
    again->read(protocol);
    check(protocol.transport()->bytesRemaining() == 0);
    check(written(*again) == once);
    check(again->description() == record->description());

    auto archive = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(record), nullptr);
    check(archive.has_value());
    auto restored = ns::KeyedUnarchiver::unarchiveObjectWithData(*archive, nullptr).asObject<R>();
    check(restored != nullptr);
    check(written(*restored) == once);
}

using Records = std::tuple<WireIdSnapshot, WireIdJournal, WireIdTracking, WireImprintValue, WireImprint, WireResponse,
                           WireAppInfo, WireResolution, WireTraffic, WireDeviceInfo, WireClientStats, WireMiscInfo,
                           WirePage, WireError, WirePropertyValue, WireEvent, WireLocation, WireActivateMsg,
                           WireInstantMsg, StatEnvelope, WireSession, WireLogEntry>;

template <std::size_t... I>
void dispatch(std::size_t which, const ns::Data& input, std::index_sequence<I...>) {
    ((which == I ? fuzz<std::tuple_element_t<I, Records>>(input) : void()), ...);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size == 0) return 0;
    constexpr std::size_t count = std::tuple_size_v<Records>;
    dispatch(bytes[0] % count, ns::Data(bytes + 1, size - 1), std::make_index_sequence<count>());
    return 0;
}
