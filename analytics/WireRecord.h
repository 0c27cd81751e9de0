#pragma once
// WireRecord: what every analytics record shares. A record is a fixed set of numbered fields, each with a
// kind (WireField.h) and a flag telling whether it is set; it writes and reads itself through a
// WireProtocol, checks its required fields, prints itself and goes into keyed archives. A record class
// derives from WireRecord<Itself>, names its struct and declares each field once:
//
//   class WireIdSnapshot final : public WireRecord<WireIdSnapshot> {
//       QL_OBJECT(WireIdSnapshot, ns::Object)
//       QL_WIRE_FIELD(1, WireString, identity, Identity, Required)
//       QL_WIRE_FIELD(2, WireI64, ts, Ts, Required)
//   public:
//       static constexpr std::string_view structName = "IdSnapshot";
//   };
//
// which gives the accessors identity(), setIdentity(v), identityIsSet() and unsetIdentity() per field.
// Every algorithm visits the fields in ascending field id.

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "analytics/WireException.h"
#include "analytics/WireField.h"
#include "analytics/WireProtocol.h"
#include "analytics/WireProtocolUtil.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Object.h"

namespace ql {

// What the protocol layer asks of a record.
class WireBase {
public:
    virtual ~WireBase() = default;
    virtual void read(WireProtocol& protocol) = 0;
    virtual void write(WireProtocol& protocol) const = 0;
};

inline constexpr bool WireRequired = true;
inline constexpr bool WireOptional = false;
// Field ids of every record lie in 1 ... WireMaxFieldId.
inline constexpr int WireMaxFieldId = 32;

struct WireFieldInfo {
    std::int16_t id;
    std::string_view name;
    bool required;
};

// One field as the record algorithms see it: its value, and its flag, which the record keeps with the
// other fields' flags in one word (a flag beside every value would cost a padded word per field).
template <class Kind, bool Mutable = true>
class WireSlot {
public:
    using Value = std::conditional_t<Mutable, typename Kind::Held, const typename Kind::Held>;
    using Flags = std::conditional_t<Mutable, std::uint32_t, const std::uint32_t>;

    WireSlot(Value& value, Flags& flags, std::uint32_t bit) : value(value), flags_(flags), bit_(bit) {}

    bool isSet() const { return (flags_ & bit_) != 0; }
    void setSet(bool on)
        requires Mutable
    {
        flags_ = on ? (flags_ | bit_) : (flags_ & ~bit_);
    }

    Value& value;

private:
    Flags& flags_;
    std::uint32_t bit_;
};
template <class Kind>
using WireConstSlot = WireSlot<Kind, false>;

template <int Id>
struct WireFieldId {};

namespace wire {

template <class R, int Id = 1, class Self, class Visitor>
void visitFields(Self& record, Visitor& visit) {
    if constexpr (Id <= WireMaxFieldId) {
        if constexpr (requires { R::ql_wire_field_(WireFieldId<Id>{}, record, visit); })
            R::ql_wire_field_(WireFieldId<Id>{}, record, visit);
        visitFields<R, Id + 1>(record, visit);
    }
}

[[noreturn]] void raiseRequiredFieldNotSet(std::string_view name);

}  // namespace wire

template <class R>
class WireRecord : public ns::Object, public ns::Coding, public WireBase {
public:
    static constexpr std::uint32_t ql_wire_bit_(int id) { return std::uint32_t{1} << (id - 1); }

    // Writes the fields that are set and hold a value; never validates.
    void write(WireProtocol& protocol) const override {
        protocol.writeStructBeginWithName(R::structName);
        forEachField([&]<class Kind>(const WireFieldInfo& field, const WireConstSlot<Kind>& slot) {
            if (!slot.isSet() || !Kind::holds(slot.value)) return;
            protocol.writeFieldBeginWithName(field.name, Kind::type, field.id);
            Kind::write(protocol, slot.value);
            protocol.writeFieldEnd();
        });
        protocol.writeFieldStop();
        protocol.writeStructEnd();
    }

    // Reads fields into this record without clearing it first. A field of unknown id, or of a known id
    // with another type, is skipped. Whatever the protocol raises is passed on, with the fields read
    // before it left set.
    void read(WireProtocol& protocol) override {
        protocol.readStructBeginReturningName(nullptr);
        for (;;) {
            WireType type = WireType::Stop;
            std::int16_t id = 0;
            protocol.readFieldBeginReturningName(nullptr, &type, &id);
            if (type == WireType::Stop) break;
            bool stored = false;
            forEachField([&]<class Kind>(const WireFieldInfo& field, WireSlot<Kind>& slot) {
                if (field.id != id || type != Kind::type) return;
                slot.value = Kind::read(protocol);
                slot.setSet(true);
                stored = true;
            });
            if (!stored) WireProtocolUtil::skipType(type, protocol);
            protocol.readFieldEnd();
        }
        protocol.readStructEnd();
    }

    // Raises WireProtocolException "Required field '<name>' is not set." for the required field of lowest
    // id whose flag is not set.
    void validate() const {
        forEachField([&]<class Kind>(const WireFieldInfo& field, const WireConstSlot<Kind>& slot) {
            if (field.required && !slot.isSet()) wire::raiseRequiredFieldNotSet(field.name);
        });
    }

    // "IdSnapshot(identity:\"ab\",ts:5,version:1)": every field, set or not.
    std::string description() const override {
        std::string out(R::structName);
        out += '(';
        bool first = true;
        forEachField([&]<class Kind>(const WireFieldInfo& field, const WireConstSlot<Kind>& slot) {
            if (!first) out += ',';
            first = false;
            out += field.name;
            out += ':';
            Kind::print(out, slot.value);
        });
        out += ')';
        return out;
    }

    // One archive entry per set field, under the field's name.
    void encodeWithCoder(ns::KeyedArchiver& coder) const override {
        forEachField([&]<class Kind>(const WireFieldInfo& field, const WireConstSlot<Kind>& slot) {
            if (slot.isSet()) Kind::encode(coder, slot.value, field.name);
        });
    }

    // Starts from nothing set, defaults included, and sets exactly the fields the archive holds.
    bool initWithCoder(ns::KeyedUnarchiver& coder) override {
        forEachField([&]<class Kind>(const WireFieldInfo& field, WireSlot<Kind>& slot) {
            slot.value = typename Kind::Held{};
            slot.setSet(false);
            if (!coder.containsValueForKey(field.name)) return;
            slot.value = Kind::decode(coder, field.name);
            slot.setSet(true);
        });
        return !coder.error();
    }

protected:
    WireRecord() = default;

    // Bit id - 1 tells whether the field of that id is set.
    std::uint32_t wireSetFlags_ = 0;

private:
    template <class Visitor>
    void forEachField(Visitor&& visit) {
        wire::visitFields<R>(static_cast<R&>(*this), visit);
    }
    template <class Visitor>
    void forEachField(Visitor&& visit) const {
        wire::visitFields<R>(static_cast<const R&>(*this), visit);
    }
};

}  // namespace ql

// Declares field `name` of kind `Kind` with id `Id`; `Name` is the name with its first letter in upper
// case, for the setter and unsetter; `Requirement` is Required or Optional.
#define QL_WIRE_FIELD(Id, Kind, name, Name, Requirement)                                                  \
public:                                                                                                   \
    Kind::Get name() const { return name##_; }                                                            \
    void set##Name(Kind::Held value) {                                                                    \
        name##_ = std::move(value);                                                                       \
        wireSetFlags_ |= ql_wire_bit_(Id);                                                                \
    }                                                                                                     \
    bool name##IsSet() const { return (wireSetFlags_ & ql_wire_bit_(Id)) != 0; }                          \
    void unset##Name() {                                                                                  \
        Kind::drop(name##_);                                                                              \
        wireSetFlags_ &= ~ql_wire_bit_(Id);                                                               \
    }                                                                                                     \
    template <class Self, class Visitor>                                                                  \
    static void ql_wire_field_(::ql::WireFieldId<Id>, Self& record, Visitor& visit) {                     \
        using Slot = ::ql::WireSlot<Kind, !std::is_const_v<Self>>;                                        \
        Slot slot(record.name##_, record.wireSetFlags_, ql_wire_bit_(Id));                                \
        visit(::ql::WireFieldInfo{Id, #name, ::ql::Wire##Requirement}, slot);                             \
    }                                                                                                     \
                                                                                                          \
private:                                                                                                  \
    Kind::Held name##_{};                                                                                 \
                                                                                                          \
public:
