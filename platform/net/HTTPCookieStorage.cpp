#include "platform/net/HTTPCookieStorage.h"

#include <algorithm>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Locked.h"

namespace ql::ns {

namespace {

bool sameSlot(const HTTPCookie& a, const HTTPCookie& b) {
    return a.name() == b.name() && a.domain() == b.domain() && a.path() == b.path();
}

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
    for (const auto& cookie : cookies) setCookie(cookie);
}

}  // namespace ql::ns
