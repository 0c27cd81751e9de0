#pragma once
// ui::ReuseQueue: the views a table or collection view has taken off screen, waiting under their keys to
// be handed out again, and the registrations (a factory or a nib) that make a new view for a key when
// none waits.

#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/ui/Nib.h"

namespace ql::ui {

template <class ReusableView, class Factory>
class ReuseQueue {
public:
    struct Registration {
        Factory factory;
        std::shared_ptr<Nib> nib;
    };

    // A later registration under the same key replaces the earlier one.
    void registerFactory(std::string key, Factory factory) {
        registrations_[std::move(key)] = {std::move(factory), nullptr};
    }
    void registerNib(std::string key, std::shared_ptr<Nib> nib) { registrations_[std::move(key)] = {nullptr, std::move(nib)}; }
    // Null when nothing is registered under the key.
    const Registration* registration(const std::string& key) const {
        auto it = registrations_.find(key);
        return it == registrations_.end() ? nullptr : &it->second;
    }

    void enqueue(const std::string& key, std::shared_ptr<ReusableView> view) { queues_[key].push_back(std::move(view)); }
    // The view queued last under the key, after its prepareForReuse; null when none waits.
    std::shared_ptr<ReusableView> dequeue(const std::string& key) {
        auto queue = queues_.find(key);
        if (queue == queues_.end() || queue->second.empty()) return nullptr;
        auto view = std::move(queue->second.back());
        queue->second.pop_back();
        view->prepareForReuse();
        return view;
    }

    // The first of the nib's top-level objects that is a ReusableView; null when none is.
    static std::shared_ptr<ReusableView> instantiate(Nib& nib) {
        for (const auto& object : nib.instantiateWithOwner(nullptr)) {
            if (auto view = std::dynamic_pointer_cast<ReusableView>(object)) return view;
        }
        return nullptr;
    }

private:
    std::unordered_map<std::string, std::vector<std::shared_ptr<ReusableView>>> queues_;
    std::unordered_map<std::string, Registration> registrations_;
};

}  // namespace ql::ui
