#pragma once
// The keyed-coding protocol. A class adopts it next to ns::Object (`class Login : public Object, public
// Coding`) and registers with QL_OBJECT, so that an unarchiver can find it by name, make an instance with
// its factory and hand that instance the archived state.

namespace ql::ns {

class KeyedArchiver;
class KeyedUnarchiver;

class Coding {
public:
    virtual ~Coding() = default;

    virtual void encodeWithCoder(KeyedArchiver& coder) const = 0;
    // Called on a new instance made by the class's factory. Answering false makes the object decode as
    // nil; coder.failWithError() fails the whole unarchiving instead.
    virtual bool initWithCoder(KeyedUnarchiver& coder) = 0;
    // Whether an unarchiver that requires secure coding may make instances of this class. A subclass
    // that decodes more than its superclass answers for itself.
    virtual bool supportsSecureCoding() const { return false; }
};

}  // namespace ql::ns
