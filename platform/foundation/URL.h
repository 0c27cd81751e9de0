#pragma once
// ns::URL: an RFC 3986 URI reference as a value, optionally relative to a base URL. Texts with characters
// a URL may not hold unescaped (blanks, non-ASCII, a stray "%") are refused, as the platform refuses them.
// Components are read from the absolute URL (the reference resolved against its base). URLs that travel
// inside a Value are boxed as "NSURL" objects. A URL never changes, so copies share one representation.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

namespace ql::ns {

class URL {
public:
    // nullopt for text that is no URI reference, and for the empty text.
    static std::optional<URL> fromString(std::string_view text);
    // `text` resolved against `base` (RFC 3986, section 5.2, strict). A text with a scheme of its own
    // ignores the base; otherwise the URL keeps `base` and `text` as its base and relative string.
    static std::optional<URL> fromString(std::string_view text, const URL& base);
    static std::optional<URL> fromString(std::string_view text, const std::optional<URL>& base);
    // "file://" and the absolute, percent-escaped path; a relative path is taken from the current
    // directory. A directory's URL ends in "/". An empty path raises "NSInvalidArgumentException".
    static URL fileURLWithPath(std::string_view path, bool isDirectory);

    const std::string& absoluteString() const { return rep_->absolute.text; }
    const std::string& relativeString() const { return rep_->base ? rep_->relative : rep_->absolute.text; }
    std::optional<URL> baseURL() const;
    URL absoluteURL() const;

    // As written, escapes left in place.
    const std::optional<std::string>& scheme() const { return rep_->absolute.scheme; }
    const std::optional<std::string>& query() const { return rep_->absolute.query; }
    const std::optional<std::string>& fragment() const { return rep_->absolute.fragment; }
    // Percent-decoded; an IPv6 host without its brackets.
    std::optional<std::string> host() const;
    std::optional<std::string> user() const;
    std::optional<std::string> password() const;
    std::optional<std::int64_t> port() const { return rep_->absolute.port; }
    // The percent-decoded path without its trailing "/" (unless it is "/" alone). A path whose escapes
    // do not decode to UTF-8 comes back as written. Decoded components (host, user, password) likewise.
    std::string path() const;
    const std::string& percentEncodedPath() const { return rep_->absolute.path; }
    std::string lastPathComponent() const;
    std::string pathExtension() const;

    bool isFileURL() const;

    // The path operations work on the absolute URL and answer an absolute URL; query and fragment stay.
    // The component is percent-escaped for a path; "" only adds a trailing "/".
    URL URLByAppendingPathComponent(std::string_view component) const;
    // "http://a/b/c" and "http://a/b/c/" both give "http://a/b/"; the root stays the root.
    URL URLByDeletingLastPathComponent() const;
    // The path without "." and ".." segments.
    URL standardizedURL() const;

    // As the platform compares URLs: same relative string and same base.
    bool operator==(const URL& other) const;

    // The URL as a Value (an "NSURL" object whose description is the absolute string) and back.
    Value boxed() const;
    static std::optional<URL> fromValue(const Value& value);

    // A URI reference split up, as the parser and resolver see it. Absent and empty are told apart
    // ("http://a/b?" has an empty query).
    struct Parts {
        std::string text;
        std::optional<std::string> scheme;
        std::optional<std::string> authority;  // user-info, host and port as written
        std::optional<std::string> userInfo;
        std::optional<std::string> host;  // as written, brackets included
        std::optional<std::int64_t> port;
        std::string path;
        std::optional<std::string> query;
        std::optional<std::string> fragment;
    };

private:
    struct Representation {
        std::shared_ptr<const Representation> base;  // the base URL's own, shared with it
        std::string relative;  // the text as written, kept only with a base: without one it is the absolute text
        Parts absolute;
    };

    explicit URL(std::shared_ptr<const Representation> rep) : rep_(std::move(rep)) {}
    explicit URL(Parts absolute)
        : rep_(std::make_shared<const Representation>(Representation{nullptr, {}, std::move(absolute)})) {}
    URL withPath(std::string path) const;

public:
    // Declared so that moving copies: a URL moved from stays the URL it was.
    URL(const URL&) = default;
    URL& operator=(const URL&) = default;

private:
    std::shared_ptr<const Representation> rep_;
};

}  // namespace ql::ns
