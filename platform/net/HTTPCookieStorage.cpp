#include "platform/net/HTTPCookieStorage.h"

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Locked.h"

namespace ql::ns {

namespace {

bool sameSlot(const HTTPCookie& a, const HTTPCookie& b) {
    return a.name() == b.name() && a.domain() == b.domain() && a.path() == b.path();
}

// The slots of a set of cookies, found by hashing, so that storing a reply's many cookies takes time linear
// in their number rather than one pass over the store per cookie.
struct SlotHash {
    std::size_t operator()(const HTTPCookie* cookie) const {
        const std::hash<std::string> hash;
        std::size_t h = hash(cookie->name());
        h = h * 31 + hash(cookie->domain());
        return h * 31 + hash(cookie->path());
    }
};
struct SlotEqual {
    bool operator()(const HTTPCookie* a, const HTTPCookie* b) const { return sameSlot(*a, *b); }
};
using SlotSet = std::unordered_set<const HTTPCookie*, SlotHash, SlotEqual>;

// The registrable part of a host, roughly: its last two labels ("www.example.com" gives "example.com").
std::string siteOf(const std::string& host) {
    const auto last = host.rfind('.');
    if (last == std::string::npos || last == 0) return host;
    const auto previous = host.rfind('.', last - 1);
    return previous == std::string::npos ? host : host.substr(previous + 1);
}

}  // namespace

std::shared_ptr<HTTPCookieStorage> HTTPCookieStorage::sharedHTTPCookieStorage() {
    static const auto* shared = new std::shared_ptr<HTTPCookieStorage>(std::make_shared<HTTPCookieStorage>());
    return *shared;
}

HTTPCookieAcceptPolicy HTTPCookieStorage::cookieAcceptPolicy() const { return ns::lockedCopy(mutex_, policy_); }

void HTTPCookieStorage::setCookieAcceptPolicy(HTTPCookieAcceptPolicy policy) {
    ns::lockedStore(mutex_, policy_, policy);
}

std::vector<std::shared_ptr<HTTPCookie>> HTTPCookieStorage::liveCookies() const {
    const double now = Clock::now();
    std::vector<std::shared_ptr<HTTPCookie>> live;
    for (const auto& cookie : cookies_) {
        if (!cookie->isExpiredAt(now)) live.push_back(cookie);
    }
    return live;
}

std::vector<std::shared_ptr<HTTPCookie>> HTTPCookieStorage::cookies() const {
    std::lock_guard lock(mutex_);
    return liveCookies();
}

std::vector<std::shared_ptr<HTTPCookie>> HTTPCookieStorage::cookiesForURL(const URL& url) const {
    std::vector<std::shared_ptr<HTTPCookie>> matching;
    {
        std::lock_guard lock(mutex_);
        for (auto& cookie : liveCookies()) {
            if (cookie->matchesURL(url)) matching.push_back(std::move(cookie));
        }
    }
    std::stable_sort(matching.begin(), matching.end(),
                     [](const auto& a, const auto& b) { return a->path().size() > b->path().size(); });
    return matching;
}

void HTTPCookieStorage::setCookie(const std::shared_ptr<HTTPCookie>& cookie) {
    if (!cookie) return;
    std::lock_guard lock(mutex_);
    std::erase_if(cookies_, [&](const auto& stored) { return sameSlot(*stored, *cookie); });
    if (!cookie->isExpiredAt(Clock::now())) cookies_.push_back(cookie);
    trimLocked();
}

// The store is in the order cookies were set, so the newest are kept by walking it from its end.
void HTTPCookieStorage::trimLocked() {
    const double now = Clock::now();
    std::erase_if(cookies_, [now](const auto& stored) { return stored->isExpiredAt(now); });
    if (cookies_.size() <= kMostCookiesPerDomain) return;
    std::unordered_map<std::string_view, std::size_t> perDomain;
    std::vector<bool> keep(cookies_.size());
    std::size_t kept = 0;
    for (std::size_t i = cookies_.size(); i-- > 0 && kept < kMostCookies;) {
        std::size_t& count = perDomain[cookies_[i]->domain()];
        if (count == kMostCookiesPerDomain) continue;
        ++count;
        ++kept;
        keep[i] = true;
    }
    std::vector<std::shared_ptr<HTTPCookie>> trimmed;
    trimmed.reserve(kept);
    for (std::size_t i = 0; i < cookies_.size(); ++i) {
        if (keep[i]) trimmed.push_back(std::move(cookies_[i]));
    }
    cookies_ = std::move(trimmed);
}

void HTTPCookieStorage::deleteCookie(const std::shared_ptr<HTTPCookie>& cookie) {
    if (!cookie) return;
    std::lock_guard lock(mutex_);
    std::erase_if(cookies_, [&](const auto& stored) { return sameSlot(*stored, *cookie); });
}

void HTTPCookieStorage::setCookies(const std::vector<std::shared_ptr<HTTPCookie>>& cookies, const URL& url,
                                   const std::optional<URL>& mainDocumentURL) {
    const HTTPCookieAcceptPolicy policy = cookieAcceptPolicy();
    if (policy == HTTPCookieAcceptPolicy::Never) return;
    if (policy == HTTPCookieAcceptPolicy::OnlyFromMainDocumentDomain && mainDocumentURL &&
        siteOf(mainDocumentURL->host().value_or("")) != siteOf(url.host().value_or("")))
        return;
    // As if each were set in turn: a cookie replaces the stored one of its slot and an earlier one of the
    // same reply, and an expired one only removes.
    SlotSet slots;
    std::vector<bool> isLastOfSlot(cookies.size());
    for (std::size_t i = cookies.size(); i-- > 0;) {
        if (cookies[i]) isLastOfSlot[i] = slots.insert(cookies[i].get()).second;
    }
    const double now = Clock::now();
    std::lock_guard lock(mutex_);
    std::erase_if(cookies_, [&](const auto& stored) { return slots.contains(stored.get()); });
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        if (isLastOfSlot[i] && !cookies[i]->isExpiredAt(now)) cookies_.push_back(cookies[i]);
    }
    trimLocked();
}

}  // namespace ql::ns
