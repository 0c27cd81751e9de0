#include "platform/foundation/BinaryPropertyList.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/PropertyListUID.h"
#include "platform/foundation/Text.h"

namespace ql::ns::detail {

namespace {

constexpr std::size_t kTrailerSize = 32;

enum Marker : std::uint8_t {
    kFalse = 0x08,
    kTrue = 0x09,
    kInt = 0x10,
    kReal = 0x20,
    kDate = 0x33,
    kData = 0x40,
    kASCIIString = 0x50,
    kUTF16String = 0x60,
    kUID = 0x80,
    kArray = 0xA0,
    kDict = 0xD0,
};

std::uint64_t readBigEndian(const std::uint8_t* p, std::size_t size) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < size; ++i) v = (v << 8) | p[i];
    return v;
}

bool isIntSize(std::uint8_t size) { return size == 1 || size == 2 || size == 4 || size == 8; }

bool isASCII(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

class Reader {
public:
    Reader(std::span<const std::uint8_t> bytes, unsigned options) : bytes_(bytes), options_(options) {}

    Value read(std::string& failure) {
        std::optional<Value> result = readAll();
        if (!result) {
            failure = "Malformed binary property list: " + failure_;
            return {};
        }
        return std::move(*result);
    }

private:
    enum class State : std::uint8_t { Unread, Reading, Read };
    // The size of an object's tree once shared references are expanded. A shared subtree must fit the
    // nesting cap wherever it is used, not only where it was first read.
    struct Extent {
        std::uint64_t weight = 1;
        std::size_t height = 0;  // containers on the deepest path
    };
    struct Slot {
        State state = State::Unread;
        Value value;
        Extent extent;
    };

    std::nullopt_t fail(std::string reason) {
        if (failure_.empty()) failure_ = std::move(reason);
        return std::nullopt;
    }

    std::optional<Value> readAll() {
        const std::size_t size = bytes_.size();
        if (size < kBinaryPropertyListMagic.size() + 1 + kTrailerSize) return fail("too short");
        const std::uint8_t* trailer = bytes_.data() + size - kTrailerSize;
        offsetSize_ = trailer[6];
        refSize_ = trailer[7];
        numObjects_ = readBigEndian(trailer + 8, 8);
        const std::uint64_t top = readBigEndian(trailer + 16, 8);
        tableOffset_ = readBigEndian(trailer + 24, 8);
        if (!isIntSize(offsetSize_) || !isIntSize(refSize_)) return fail("unsupported offset or reference size");
        if (numObjects_ == 0 || top >= numObjects_) return fail("no top object");
        const std::uint64_t tableEnd = size - kTrailerSize;
        if (tableOffset_ < kBinaryPropertyListMagic.size() || tableOffset_ > tableEnd ||
            (tableEnd - tableOffset_) / offsetSize_ < numObjects_)
            return fail("offset table out of range");
        slots_.resize(numObjects_);
        return object(top, 0);
    }

    // Object data lies between the header and the offset table.
    bool has(std::uint64_t position, std::uint64_t length) const {
        return position <= tableOffset_ && length <= tableOffset_ - position;
    }

    std::optional<std::uint64_t> objectOffset(std::uint64_t index) {
        std::uint64_t offset = readBigEndian(bytes_.data() + tableOffset_ + index * offsetSize_, offsetSize_);
        if (offset < kBinaryPropertyListMagic.size() || offset >= tableOffset_) return fail("object offset out of range");
        return offset;
    }

    // The element count of a marker: its low nibble, or an integer object after it when the nibble is 0xF.
    std::optional<std::uint64_t> count(std::uint8_t marker, std::uint64_t& position) {
        if ((marker & 0x0F) != 0x0F) return marker & 0x0F;
        if (!has(position, 1)) return fail("truncated count");
        std::uint8_t intMarker = bytes_[position++];
        if ((intMarker & 0xF0) != kInt || (intMarker & 0x0F) > 3) return fail("malformed count");
        std::size_t width = std::size_t{1} << (intMarker & 0x0F);
        if (!has(position, width)) return fail("truncated count");
        std::uint64_t n = readBigEndian(bytes_.data() + position, width);
        position += width;
        return n;
    }

    // Room for `n` items of `width` bytes at `position`, without overflow.
    bool hasItems(std::uint64_t position, std::uint64_t n, std::uint64_t width) const {
        return position <= tableOffset_ && n <= (tableOffset_ - position) / width;
    }

    std::optional<Value> object(std::uint64_t index, std::size_t depth) {
        if (index >= numObjects_) return fail("object reference out of range");
        Slot& slot = slots_[index];
        if (slot.state == State::Read) {
            if (depth + slot.extent.height > PropertyListSerialization::kMaxDepth) return fail("nested too deeply");
            return slot.value;
        }
        if (slot.state == State::Reading) return fail("object refers to itself");
        auto offset = objectOffset(index);
        if (!offset) return std::nullopt;
        slot.state = State::Reading;
        Extent extent;
        std::optional<Value> value = parse(*offset, depth, extent);
        if (!value) return std::nullopt;
        // `slots_` never reallocates, so `slot` is still valid after the recursion.
        slot.state = State::Read;
        slot.value = *value;
        slot.extent = extent;
        return value;
    }

    std::optional<Value> parse(std::uint64_t position, std::size_t depth, Extent& extent) {
        const std::uint8_t marker = bytes_[position++];
        const std::uint8_t info = marker & 0x0F;
        switch (marker & 0xF0) {
            case 0x00:
                if (marker == kFalse || marker == kTrue) return Value(marker == kTrue);
                return fail("unsupported object type");
            case kInt: return integer(position, info);
            case kReal: {
                if (info != 2 && info != 3) return fail("unsupported real size");
                std::size_t width = std::size_t{1} << info;
                if (!has(position, width)) return fail("truncated real");
                std::uint64_t bits = readBigEndian(bytes_.data() + position, width);
                if (width == 4) return Value(static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(bits))));
                return Value(std::bit_cast<double>(bits));
            }
            case 0x30: {
                if (marker != kDate) return fail("unsupported date size");
                if (!has(position, 8)) return fail("truncated date");
                double since2001 = std::bit_cast<double>(readBigEndian(bytes_.data() + position, 8));
                return Value(Date::fromTimeIntervalSinceReferenceDate(since2001));
            }
            case kData: {
                auto n = count(marker, position);
                if (!n) return std::nullopt;
                if (!hasItems(position, *n, 1)) return fail("truncated data");
                extent.weight += *n;
                Value data(Data(bytes_.data() + position, *n));
                data.setMutable(mutableLeaves());
                return data;
            }
            case kASCIIString: {
                auto n = count(marker, position);
                if (!n) return std::nullopt;
                if (!hasItems(position, *n, 1)) return fail("truncated text");
                extent.weight += *n;
                std::string_view text(reinterpret_cast<const char*>(bytes_.data() + position), *n);
                if (!isASCII(text)) return fail("non-ASCII byte in an ASCII text");
                return leafText(std::string(text));
            }
            case kUTF16String: {
                auto n = count(marker, position);
                if (!n) return std::nullopt;
                if (!hasItems(position, *n, 2)) return fail("truncated text");
                extent.weight += 2 * *n;
                std::u16string units(*n, u'\0');
                for (std::uint64_t i = 0; i < *n; ++i)
                    units[i] = static_cast<char16_t>(readBigEndian(bytes_.data() + position + 2 * i, 2));
                return leafText(fromUTF16(units));
            }
            case kUID: {
                std::size_t width = info + 1u;
                if (width > 8) return fail("unsupported reference size");
                if (!has(position, width)) return fail("truncated reference");
                return PropertyListUID::make(readBigEndian(bytes_.data() + position, width));
            }
            case kArray: return array(marker, position, depth, extent);
            case kDict: return dictionary(marker, position, depth, extent);
            default: return fail("unsupported object type");
        }
    }

    std::optional<Value> integer(std::uint64_t position, std::uint8_t info) {
        if (info > 4) return fail("unsupported integer size");
        std::size_t width = std::size_t{1} << info;
        if (!has(position, width)) return fail("truncated integer");
        const std::uint8_t* p = bytes_.data() + position;
        if (width < 8) return Value(static_cast<std::int64_t>(readBigEndian(p, width)));
        if (width == 8) return Value(static_cast<std::int64_t>(readBigEndian(p, 8)));
        // Sixteen bytes carry what 64 signed bits cannot: unsigned values above INT64_MAX.
        std::uint64_t high = readBigEndian(p, 8), low = readBigEndian(p + 8, 8);
        if (high == 0) {
            if (low <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
                return Value(static_cast<std::int64_t>(low));
            return Value(low);
        }
        if (high == ~std::uint64_t{0} && (low >> 63)) return Value(static_cast<std::int64_t>(low));
        return fail("integer out of range");
    }

    bool mutableLeaves() const { return (options_ & 3) >= PropertyListMutableContainersAndLeaves; }
    bool mutableContainers() const { return (options_ & 3) != PropertyListImmutable; }

    Value leafText(std::string text) {
        Value v(std::move(text));
        v.setMutable(mutableLeaves());
        return v;
    }

    std::uint64_t reference(std::uint64_t position) const {
        return readBigEndian(bytes_.data() + position, refSize_);
    }

    // Reads the child at `index` of a container, adding its extent to the container's.
    std::optional<Value> child(std::uint64_t index, std::size_t depth, Extent& extent) {
        std::optional<Value> v = object(index, depth);
        if (!v) return std::nullopt;
        extent.weight += slots_[index].extent.weight;
        extent.height = std::max(extent.height, slots_[index].extent.height + 1);
        if (extent.weight > expandedWeightBudget(bytes_.size()))
            return fail("too large once shared references are expanded");
        return v;
    }

    std::optional<Value> array(std::uint8_t marker, std::uint64_t position, std::size_t depth,
                               Extent& extent) {
        if (depth >= PropertyListSerialization::kMaxDepth) return fail("nested too deeply");
        extent.height = 1;
        auto n = count(marker, position);
        if (!n) return std::nullopt;
        if (!hasItems(position, *n, refSize_)) return fail("truncated array");
        Array items;
        items.reserve(*n);
        for (std::uint64_t i = 0; i < *n; ++i) {
            auto element = child(reference(position + i * refSize_), depth + 1, extent);
            if (!element) return std::nullopt;
            items.push_back(std::move(*element));
        }
        Value v(std::move(items));
        v.setMutable(mutableContainers());
        return v;
    }

    std::optional<Value> dictionary(std::uint8_t marker, std::uint64_t position, std::size_t depth,
                                    Extent& extent) {
        if (depth >= PropertyListSerialization::kMaxDepth) return fail("nested too deeply");
        extent.height = 1;
        auto n = count(marker, position);
        if (!n) return std::nullopt;
        if (!hasItems(position, *n, 2u * refSize_)) return fail("truncated dictionary");
        Dictionary entries;
        for (std::uint64_t i = 0; i < *n; ++i) {
            auto key = child(reference(position + i * refSize_), depth + 1, extent);
            if (!key) return std::nullopt;
            if (!key->isString()) return fail("dictionary key is not a text");
            auto value = child(reference(position + (*n + i) * refSize_), depth + 1, extent);
            if (!value) return std::nullopt;
            entries.appendUnsorted(std::string(key->asString()), std::move(*value));
        }
        entries.finishAppending();
        Value v(std::move(entries));
        v.setMutable(mutableContainers());
        return v;
    }

    std::span<const std::uint8_t> bytes_;
    unsigned options_;
    std::uint8_t offsetSize_ = 0;
    std::uint8_t refSize_ = 0;
    std::uint64_t numObjects_ = 0;
    std::uint64_t tableOffset_ = 0;
    std::vector<Slot> slots_;
    std::string failure_;
};

// ---- Writing ----

std::size_t byteWidth(std::uint64_t v) {
    if (v <= 0xFF) return 1;
    if (v <= 0xFFFF) return 2;
    if (v <= 0xFFFFFFFF) return 4;
    return 8;
}

std::uint8_t log2Width(std::size_t width) { return static_cast<std::uint8_t>(std::countr_zero(width)); }

class Writer {
public:
    Data write(const Value& plist) {
        const std::uint64_t top = flatten(plist);
        refSize_ = byteWidth(items_.size() - 1);
        out_.assign(kBinaryPropertyListMagic.begin(), kBinaryPropertyListMagic.end());
        std::vector<std::uint64_t> offsets;
        offsets.reserve(items_.size());
        for (const Item& item : items_) {
            offsets.push_back(out_.size());
            emit(item);
        }
        const std::uint64_t tableOffset = out_.size();
        const std::size_t offsetSize = byteWidth(tableOffset);
        for (std::uint64_t offset : offsets) putBigEndian(offset, offsetSize);
        out_.insert(out_.end(), 6, 0);
        putByte(static_cast<std::uint8_t>(offsetSize));
        putByte(static_cast<std::uint8_t>(refSize_));
        putBigEndian(items_.size(), 8);
        putBigEndian(top, 8);
        putBigEndian(tableOffset, 8);
        return Data(std::move(out_));
    }

private:
    // One entry of the object table: a value, or a dictionary key (which has no Value of its own).
    struct Item {
        const Value* value = nullptr;
        std::string_view key;
        std::vector<std::uint64_t> refs;
    };

    // Equal scalars share one entry; the key tags the kind so that true and 1 stay apart.
    static std::string scalarKey(const Value& v) {
        auto bits = [](char tag, std::uint64_t u) {
            std::string k(1, tag);
            k.append(reinterpret_cast<const char*>(&u), sizeof u);
            return k;
        };
        switch (v.kind()) {
            case Value::Kind::Bool: return bits('b', v.boolValue());
            case Value::Kind::Int: return bits('i', v.uint64Value());
            case Value::Kind::UInt: return bits('u', v.uint64Value());
            case Value::Kind::Double: return bits('r', std::bit_cast<std::uint64_t>(v.doubleValue()));
            case Value::Kind::Date: return bits('t', std::bit_cast<std::uint64_t>(v.doubleValue()));
            case Value::Kind::String: return "s" + std::string(v.asString());
            case Value::Kind::Data: return "d" + v.asData()->toString();
            default: return bits('#', *PropertyListUID::valueOf(v));
        }
    }

    std::uint64_t scalar(Item item, std::string key) {
        auto [it, inserted] = scalars_.try_emplace(std::move(key), items_.size());
        if (inserted) items_.push_back(std::move(item));
        return it->second;
    }

    std::uint64_t flatten(const Value& v) {
        const Array* a = v.asArray();
        const Dictionary* d = v.asDictionary();
        if (!a && !d) return scalar({&v, {}, {}}, scalarKey(v));
        // The container takes its index before its contents, so the top object comes first.
        const std::uint64_t index = items_.size();
        items_.push_back({&v, {}, {}});
        std::vector<std::uint64_t> refs;
        if (a) {
            refs.reserve(a->size());
            for (const Value& element : *a) refs.push_back(flatten(element));
        } else {
            refs.reserve(2 * d->size());
            for (const auto& entry : *d) refs.push_back(scalar({nullptr, entry.first, {}}, "s" + entry.first));
            for (const auto& entry : *d) refs.push_back(flatten(entry.second));
        }
        items_[index].refs = std::move(refs);
        return index;
    }

    void putByte(std::uint8_t b) { out_.push_back(b); }

    void putBigEndian(std::uint64_t v, std::size_t width) {
        for (std::size_t i = width; i-- > 0;) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }

    void putMarker(std::uint8_t type, std::uint64_t count) {
        if (count < 15) return putByte(static_cast<std::uint8_t>(type | count));
        putByte(type | 0x0F);
        putUnsigned(count);
    }

    void putUnsigned(std::uint64_t v) {
        std::size_t width = byteWidth(v);
        putByte(static_cast<std::uint8_t>(kInt | log2Width(width)));
        putBigEndian(v, width);
    }

    void putText(std::string_view text) {
        if (isASCII(text)) {
            putMarker(kASCIIString, text.size());
            out_.insert(out_.end(), text.begin(), text.end());
            return;
        }
        std::u16string units = toUTF16(text);
        putMarker(kUTF16String, units.size());
        for (char16_t unit : units) putBigEndian(unit, 2);
    }

    void emit(const Item& item) {
        if (!item.value) return putText(item.key);
        const Value& v = *item.value;
        switch (v.kind()) {
            case Value::Kind::Bool: putByte(v.boolValue() ? kTrue : kFalse); break;
            case Value::Kind::Int:
            case Value::Kind::UInt:
                if (v.kind() == Value::Kind::Int && v.int64Value() < 0) {
                    putByte(kInt | 3);
                    putBigEndian(v.uint64Value(), 8);
                } else if (v.uint64Value() > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                    // Sixteen bytes, so that the reader does not take the top bit for a sign.
                    putByte(kInt | 4);
                    putBigEndian(0, 8);
                    putBigEndian(v.uint64Value(), 8);
                } else {
                    putUnsigned(v.uint64Value());
                }
                break;
            case Value::Kind::Double:
                putByte(kReal | 3);
                putBigEndian(std::bit_cast<std::uint64_t>(v.doubleValue()), 8);
                break;
            case Value::Kind::Date:
                putByte(kDate);
                putBigEndian(std::bit_cast<std::uint64_t>(v.asDate()->timeIntervalSinceReferenceDate()), 8);
                break;
            case Value::Kind::String: putText(v.asString()); break;
            case Value::Kind::Data: {
                const Data& data = *v.asData();
                putMarker(kData, data.length());
                out_.insert(out_.end(), data.bytes(), data.bytes() + data.length());
                break;
            }
            case Value::Kind::Array:
            case Value::Kind::Dictionary:
                putMarker(v.isArray() ? kArray : kDict, v.count());
                for (std::uint64_t ref : item.refs) putBigEndian(ref, refSize_);
                break;
            default: {
                std::uint64_t uid = *PropertyListUID::valueOf(v);
                std::size_t width = byteWidth(uid);
                putByte(static_cast<std::uint8_t>(kUID | (width - 1)));
                putBigEndian(uid, width);
            }
        }
    }

    std::vector<Item> items_;
    std::unordered_map<std::string, std::uint64_t> scalars_;
    std::size_t refSize_ = 1;
    std::vector<std::uint8_t> out_;
};

}  // namespace

Value readBinaryPropertyList(std::span<const std::uint8_t> bytes, unsigned options, std::string& failure) {
    return Reader(bytes, options).read(failure);
}

Data writeBinaryPropertyList(const Value& plist) { return Writer().write(plist); }

}  // namespace ql::ns::detail
