// Encoding and decoding 10,000 event records with the binary record protocol, against a hand-written
// big-endian writer that produces the same bytes for the same fields and a hand-written reader that makes
// the same records from them. Items are records. Also the heap that decoding the smallest possible
// elements takes per input byte.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "analytics/WireBinaryProtocol.h"
#include "analytics/WireEvent.h"
#include "analytics/WireInstantMsg.h"
#include "analytics/WireMemoryBuffer.h"

using namespace ql;

namespace {

constexpr int kRecords = 10'000;

std::vector<std::shared_ptr<WireEvent>> makeEvents() {
    std::vector<std::shared_ptr<WireEvent>> events;
    for (int i = 0; i < kRecords; ++i) {
        auto properties = std::make_shared<WireRecordMap<WirePropertyValue>>();
        (*properties)["page"] = std::make_shared<WirePropertyValue>("book_detail_" + std::to_string(i % 17), 0);
        (*properties)["page"]->unsetLong_value();
        auto count = std::make_shared<WirePropertyValue>();
        count->setLong_value(i);
        (*properties)["count"] = count;
        events.push_back(std::make_shared<WireEvent>("tap_collect_" + std::to_string(i % 5), properties, 1200 + i,
                                                     i % 3, 1'700'000'000'000 + i));
    }
    return events;
}

const std::vector<std::shared_ptr<WireEvent>>& events() {
    static const auto all = makeEvents();
    return all;
}

ns::Data encodeWithRecords() {
    auto buffer = std::make_shared<WireMemoryBuffer>();
    WireBinaryProtocol protocol(buffer);
    for (const auto& event : events()) event->write(protocol);
    return buffer->getBuffer();
}

// The same bytes, written field by field without the protocol layer.
class HandWriter {
public:
    std::vector<std::uint8_t> bytes;
    void u8(std::uint8_t v) { bytes.push_back(v); }
    void i16(std::int16_t v) {
        u8(static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8));
        u8(static_cast<std::uint8_t>(v));
    }
    void i32(std::int32_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        const std::uint8_t b[4] = {std::uint8_t(u >> 24), std::uint8_t(u >> 16), std::uint8_t(u >> 8), std::uint8_t(u)};
        bytes.insert(bytes.end(), b, b + 4);
    }
    void i64(std::int64_t v) {
        i32(static_cast<std::int32_t>(static_cast<std::uint64_t>(v) >> 32));
        i32(static_cast<std::int32_t>(v));
    }
    void text(const std::string& s) {
        i32(static_cast<std::int32_t>(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
    }
    void field(std::uint8_t type, std::int16_t id) {
        u8(type);
        i16(id);
    }
    void event(const WireEvent& e) {
        field(11, 1);
        text(*e.name());
        field(13, 2);
        u8(11);
        u8(12);
        i32(static_cast<std::int32_t>(e.properties()->size()));
        for (const auto& [key, value] : *e.properties()) {
            text(key);
            if (value->string_valueIsSet()) {
                field(11, 1);
                text(*value->string_value());
            }
            if (value->long_valueIsSet()) {
                field(10, 2);
                i64(value->long_value());
            }
            u8(0);
        }
        field(10, 3);
        i64(e.duration());
        field(8, 4);
        i32(e.acc());
        field(10, 5);
        i64(e.ts());
        u8(0);
    }
};

std::vector<std::uint8_t> encodeByHand() {
    HandWriter writer;
    for (const auto& event : events()) writer.event(*event);
    return std::move(writer.bytes);
}

void checkSameBytes() {
    const ns::Data records = encodeWithRecords();
    const std::vector<std::uint8_t> hand = encodeByHand();
    if (records.length() != hand.size() || !std::equal(hand.begin(), hand.end(), records.bytes())) std::abort();
}

void BM_EncodeEventRecords(benchmark::State& state) {
    checkSameBytes();
    for (auto _ : state) benchmark::DoNotOptimize(encodeWithRecords());
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_EncodeEventRecords)->Unit(benchmark::kMillisecond);

void BM_EncodeEventsByHand(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(encodeByHand());
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_EncodeEventsByHand)->Unit(benchmark::kMillisecond);

void BM_DecodeEventRecords(benchmark::State& state) {
    const ns::Data encoded = encodeWithRecords();
    for (auto _ : state) {
        WireBinaryProtocol protocol(std::make_shared<WireMemoryBuffer>(encoded));
        std::vector<std::shared_ptr<WireEvent>> decoded;
        decoded.reserve(kRecords);
        for (int i = 0; i < kRecords; ++i) {
            auto event = std::make_shared<WireEvent>();
            event->read(protocol);
            decoded.push_back(std::move(event));
        }
        benchmark::DoNotOptimize(decoded);
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_DecodeEventRecords)->Unit(benchmark::kMillisecond);

// The same records read back field by field without the protocol layer: bounds-checked big-endian reads,
// fields by type and id, unknown ones refused (the records hold no others).
class HandReader {
public:
    explicit HandReader(const ns::Data& data) : at_(data.bytes()), end_(data.bytes() + data.length()) {}

    std::shared_ptr<WireEvent> event() {
        auto event = std::make_shared<WireEvent>();
        for (std::uint8_t type; (type = u8()) != 0;) {
            switch (i16()) {
                case 1: event->setName(text()); break;
                case 2: event->setProperties(properties()); break;
                case 3: event->setDuration(i64()); break;
                case 4: event->setAcc(i32()); break;
                case 5: event->setTs(i64()); break;
                default: throw std::runtime_error("unexpected field of type " + std::to_string(type));
            }
        }
        return event;
    }

private:
    std::shared_ptr<WireRecordMap<WirePropertyValue>> properties() {
        if (u8() != 11 || u8() != 12) throw std::runtime_error("unexpected map types");
        const std::int32_t count = i32();
        if (count < 0 || count > end_ - at_) throw std::runtime_error("bad map size");
        auto map = std::make_shared<WireRecordMap<WirePropertyValue>>();
        for (std::int32_t i = 0; i < count; ++i) {
            std::string key = text();
            auto value = std::make_shared<WirePropertyValue>();
            for (std::uint8_t type; (type = u8()) != 0;) {
                const std::int16_t id = i16();
                if (id == 1 && type == 11) value->setString_value(text());
                else if (id == 2 && type == 10) value->setLong_value(i64());
                else throw std::runtime_error("unexpected value field");
            }
            map->insert_or_assign(std::move(key), std::move(value));
        }
        return map;
    }

    const std::uint8_t* take(std::size_t size) {
        if (static_cast<std::size_t>(end_ - at_) < size) throw std::runtime_error("short input");
        const std::uint8_t* from = at_;
        at_ += size;
        return from;
    }
    std::uint8_t u8() { return *take(1); }
    std::int16_t i16() {
        const std::uint8_t* b = take(2);
        return static_cast<std::int16_t>(b[0] << 8 | b[1]);
    }
    std::int32_t i32() {
        const std::uint8_t* b = take(4);
        return static_cast<std::int32_t>(std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3]);
    }
    std::int64_t i64() {
        const auto high = static_cast<std::uint32_t>(i32());
        return static_cast<std::int64_t>(std::uint64_t{high} << 32 | static_cast<std::uint32_t>(i32()));
    }
    std::string text() {
        const std::int32_t size = i32();
        if (size < 0) throw std::runtime_error("negative text size");
        const std::uint8_t* bytes = take(static_cast<std::size_t>(size));
        return std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
    }

    const std::uint8_t* at_;
    const std::uint8_t* end_;
};

std::vector<std::shared_ptr<WireEvent>> decodeByHand(const ns::Data& encoded) {
    HandReader reader(encoded);
    std::vector<std::shared_ptr<WireEvent>> decoded;
    decoded.reserve(kRecords);
    for (int i = 0; i < kRecords; ++i) decoded.push_back(reader.event());
    return decoded;
}

// The hand reader's records write back the same bytes.
void checkHandReader() {
    const ns::Data encoded = encodeWithRecords();
    HandWriter writer;
    for (const auto& event : decodeByHand(encoded)) writer.event(*event);
    if (writer.bytes.size() != encoded.length() || std::memcmp(writer.bytes.data(), encoded.bytes(), encoded.length()))
        std::abort();
}

void BM_DecodeEventsByHand(benchmark::State& state) {
    checkHandReader();
    const ns::Data encoded = encodeWithRecords();
    for (auto _ : state) benchmark::DoNotOptimize(decodeByHand(encoded));
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_DecodeEventsByHand)->Unit(benchmark::kMillisecond);

// The worst input for memory: a list of empty records, one byte each. Reports the heap the decoded list
// holds per input byte (counter heap_per_byte); decoding stays within the protocol's budget.
void BM_DecodeOneByteElements(benchmark::State& state) {
    constexpr std::int32_t elements = 1 << 18;
    std::string bytes = {0x0F, 0x00, 0x03, 0x0C};
    for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>((elements >> shift) & 0xFF);
    bytes.append(elements + 1, '\0');
    const ns::Data input(bytes);
    double heapPerByte = 0;
    for (auto _ : state) {
        const std::size_t before = mallinfo2().uordblks;
        WireBinaryProtocol protocol(std::make_shared<WireMemoryBuffer>(input));
        WireInstantMsg message;
        message.read(protocol);
        heapPerByte = static_cast<double>(mallinfo2().uordblks - before) / static_cast<double>(input.length());
        benchmark::DoNotOptimize(message);
    }
    state.counters["heap_per_byte"] = heapPerByte;
    state.SetItemsProcessed(state.iterations() * elements);
}
BENCHMARK(BM_DecodeOneByteElements)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
