#pragma once
// ui::Nib: the platform's interface files. They cannot exist here, so a nib is a builder function
// registered under the nib's name: it makes the same objects in code, connects them to the owner
// (outlets and actions) and returns the top-level objects. Every object the builder makes through the
// loading context is sent awakeFromNib once all of them exist.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql::ui {

class Nib : public ns::Object {
    QL_OBJECT_NAMED(Nib, ns::Object, "UINib")
public:
    // What a builder works with: the owner and options, and a maker that records the objects.
    class Loading {
    public:
        Loading(ns::Object* owner, const ns::Dictionary& options) : owner_(owner), options_(options) {}

        ns::Object* owner() const { return owner_; }
        template <class T>
        T* ownerAs() const {
            return dynamic_cast<T*>(owner_);
        }
        const ns::Dictionary& options() const { return options_; }

        template <class T, class... Args>
        std::shared_ptr<T> make(Args&&... args) {
            auto object = std::make_shared<T>(std::forward<Args>(args)...);
            objects_.push_back(object);
            return object;
        }
        const std::vector<std::shared_ptr<ns::Object>>& objects() const { return objects_; }

    private:
        ns::Object* owner_;
        const ns::Dictionary& options_;
        std::vector<std::shared_ptr<ns::Object>> objects_;
    };

    using Builder = std::function<std::vector<std::shared_ptr<ns::Object>>(Loading&)>;

    explicit Nib(Builder builder) : builder_(std::move(builder)) {}

    // Registering a name again replaces its builder.
    static void registerNib(std::string name, Builder builder);
    static bool isRegistered(std::string_view name);
    // The nib registered under the name; null when there is none.
    static std::shared_ptr<Nib> nibWithNibName(std::string_view name);
    // Loads the named nib; raises "NSInternalInconsistencyException" when no nib has that name.
    static std::vector<std::shared_ptr<ns::Object>> loadNibNamed(std::string_view name, ns::Object* owner,
                                                                 const ns::Dictionary& options = {});

    // Runs the builder and wakes what it made; returns the top-level objects.
    std::vector<std::shared_ptr<ns::Object>> instantiateWithOwner(ns::Object* owner,
                                                                  const ns::Dictionary& options = {}) const;

private:
    Builder builder_;
};

}  // namespace ql::ui
