#include "platform/foundation/URL.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <filesystem>

#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Text.h"

namespace ql::ns {

namespace {

using Parts = URL::Parts;

// ---- Characters (RFC 3986, section 2) ----

constexpr bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
constexpr bool isUnreserved(char c) { return isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_' || c == '~'; }
constexpr bool isSubDelimiter(char c) { return std::string_view("!$&'()*+,;=").find(c) != std::string_view::npos; }
constexpr bool isRegNameChar(char c) { return isUnreserved(c) || isSubDelimiter(c); }
constexpr bool isUserInfoChar(char c) { return isRegNameChar(c) || c == ':'; }
constexpr bool isPathChar(char c) { return isUserInfoChar(c) || c == '@' || c == '/'; }
constexpr bool isQueryChar(char c) { return isPathChar(c) || c == '?'; }
constexpr bool isSchemeChar(char c) { return isAlpha(c) || isDigit(c) || c == '+' || c == '-' || c == '.'; }

// The character classes above and the delimiters that end each component, one bit each, looked up per
// byte: every URL that is read is scanned character by character.
enum CharClass : std::uint8_t {
    RegNameChars = 1 << 0,
    UserInfoChars = 1 << 1,
    PathChars = 1 << 2,
    QueryChars = 1 << 3,
    SchemeChars = 1 << 4,
    SchemeEnd = 1 << 5,     // ":/?#": a colon before any of the others ends a scheme
    AuthorityEnd = 1 << 6,  // "/?#"
    PathEnd = 1 << 7,       // "?#"
};

constexpr std::array<std::uint8_t, 256> charClasses = [] {
    std::array<std::uint8_t, 256> classes{};
    for (int i = 0; i < 256; ++i) {
        const char c = static_cast<char>(i);
        const auto in = [c](std::string_view set) { return set.find(c) != std::string_view::npos; };
        classes[static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>((isRegNameChar(c) ? RegNameChars : 0) | (isUserInfoChar(c) ? UserInfoChars : 0) |
                                      (isPathChar(c) ? PathChars : 0) | (isQueryChar(c) ? QueryChars : 0) |
                                      (isSchemeChar(c) ? SchemeChars : 0) | (in(":/?#") ? SchemeEnd : 0) |
                                      (in("/?#") ? AuthorityEnd : 0) | (in("?#") ? PathEnd : 0));
    }
    return classes;
}();

bool isIn(char c, CharClass cls) { return (charClasses[static_cast<unsigned char>(c)] & cls) != 0; }

// The first character of the class at or after `from`; the text's size when there is none.
std::size_t find(std::string_view text, std::size_t from, CharClass cls) {
    while (from < text.size() && !isIn(text[from], cls)) ++from;
    return from;
}

// Every character of the class or part of a "%XX" escape.
bool isValid(std::string_view text, CharClass allowed) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isIn(text[i], allowed)) continue;
        if (text[i] != '%' || i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2]))
            return false;
        i += 2;
    }
    return true;
}

// What lies between "[" and "]": an IPv6 address or an "IPvFuture" literal.
bool isValidIPLiteral(std::string_view literal) {
    if (!literal.empty() && (literal[0] == 'v' || literal[0] == 'V')) {
        std::size_t dot = literal.find('.');
        if (dot == std::string_view::npos || dot < 2 || dot + 1 == literal.size()) return false;
        return std::all_of(literal.begin() + 1, literal.begin() + static_cast<std::ptrdiff_t>(dot), isHexDigit) &&
               std::all_of(literal.begin() + static_cast<std::ptrdiff_t>(dot) + 1, literal.end(),
                           [](char c) { return isIn(c, UserInfoChars); });
    }
    in6_addr address;
    return inet_pton(AF_INET6, std::string(literal).c_str(), &address) == 1;
}

// A URI reference's components as they lie in its text, checked against their grammar; nothing is
// copied until the whole text has proved to be a URI reference.
struct Split {
    std::optional<std::string_view> scheme;
    std::optional<std::string_view> authority;
    std::optional<std::string_view> userInfo;
    std::string_view host;
    std::optional<std::int64_t> port;
    std::string_view path;
    std::optional<std::string_view> query;
    std::optional<std::string_view> fragment;
};

bool splitAuthority(std::string_view authority, Split& s) {
    std::string_view hostPort = authority;
    if (std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        s.userInfo = authority.substr(0, at);
        if (!isValid(*s.userInfo, UserInfoChars)) return false;
        hostPort = authority.substr(at + 1);
    }
    std::string_view host = hostPort, port;
    bool hasPort = false;
    if (hostPort.starts_with('[')) {
        std::size_t close = hostPort.find(']');
        if (close == std::string_view::npos || !isValidIPLiteral(hostPort.substr(1, close - 1))) return false;
        host = hostPort.substr(0, close + 1);
        std::string_view rest = hostPort.substr(close + 1);
        if (!rest.empty() && rest[0] != ':') return false;
        hasPort = !rest.empty();
        if (hasPort) port = rest.substr(1);
    } else {
        std::size_t colon = hostPort.rfind(':');
        hasPort = colon != std::string_view::npos;
        if (hasPort) host = hostPort.substr(0, colon), port = hostPort.substr(colon + 1);
        if (!isValid(host, RegNameChars)) return false;
    }
    s.host = host;
    if (hasPort && !port.empty()) {
        // Ports name 16-bit numbers; anything longer is a typing error, not a port.
        if (port.size() > 5 || !std::all_of(port.begin(), port.end(), isDigit)) return false;
        std::int64_t number = 0;
        for (const char digit : port) number = number * 10 + (digit - '0');
        if (number > 65535) return false;
        s.port = number;
    }
    return true;
}

// Splits a URI reference into its components (RFC 3986, Appendix B) and checks each one's grammar.
std::optional<Split> split(std::string_view text) {
    Split s;
    std::size_t pos = 0;
    std::size_t colon = find(text, 0, SchemeEnd);
    if (colon < text.size() && text[colon] == ':') {
        // A colon before any "/" makes a scheme; a relative path's first segment may not hold one.
        std::string_view scheme = text.substr(0, colon);
        if (scheme.empty() || !isAlpha(scheme[0]) ||
            !std::all_of(scheme.begin(), scheme.end(), [](char c) { return isIn(c, SchemeChars); }))
            return std::nullopt;
        s.scheme = scheme;
        pos = colon + 1;
    }
    if (text.substr(pos).starts_with("//")) {
        std::size_t end = find(text, pos + 2, AuthorityEnd);
        s.authority = text.substr(pos + 2, end - pos - 2);
        if (!splitAuthority(*s.authority, s)) return std::nullopt;
        pos = end;
    }
    std::size_t end = find(text, pos, PathEnd);
    s.path = text.substr(pos, end - pos);
    if (!isValid(s.path, PathChars)) return std::nullopt;
    pos = end;
    if (pos < text.size() && text[pos] == '?') {
        end = std::min(text.find('#', pos + 1), text.size());
        s.query = text.substr(pos + 1, end - pos - 1);
        if (!isValid(*s.query, QueryChars)) return std::nullopt;
        pos = end;
    }
    if (pos < text.size()) {
        s.fragment = text.substr(pos + 1);
        if (!isValid(*s.fragment, QueryChars)) return std::nullopt;
    }
    return s;
}

std::optional<std::string> copied(const std::optional<std::string_view>& text) {
    if (!text) return std::nullopt;
    return std::string(*text);
}

// The components of `text`, which `s` split, into `parts`.
void fill(std::string_view text, const Split& s, Parts& parts) {
    parts.text = text;
    parts.scheme = copied(s.scheme);
    parts.authority = copied(s.authority);
    parts.userInfo = copied(s.userInfo);
    if (s.authority) parts.host = std::string(s.host);
    parts.port = s.port;
    parts.path = s.path;
    parts.query = copied(s.query);
    parts.fragment = copied(s.fragment);
}

std::optional<Parts> parse(std::string_view text) {
    const auto s = split(text);
    if (!s) return std::nullopt;
    Parts parts;
    fill(text, *s, parts);
    return parts;
}

// ---- Resolution (RFC 3986, section 5.2) ----

// Whether a segment of the path is "." or "..": most paths have none, and come out of the removal as they went in.
bool hasDotSegment(std::string_view path) {
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view segment = path.substr(start, end - start);
        if (segment == "." || segment == "..") return true;
        start = end + 1;
    }
    return false;
}

// Section 5.2.4.
std::string removeDotSegments(std::string path) {
    if (!hasDotSegment(path)) return path;
    std::string in(std::move(path)), out;
    std::size_t pos = 0;  // `in` is consumed from the front; in[pos] may be rewritten to "/"
    auto rest = [&] { return std::string_view(in).substr(pos); };
    auto dropLastSegment = [&] {
        std::size_t slash = out.rfind('/');
        out.erase(slash == std::string::npos ? 0 : slash);
    };
    while (pos < in.size()) {
        std::string_view r = rest();
        if (r.starts_with("../")) {
            pos += 3;
        } else if (r.starts_with("./") || r.starts_with("/./")) {
            pos += 2;
        } else if (r == "/.") {
            in[++pos] = '/';
        } else if (r.starts_with("/../")) {
            pos += 3;
            dropLastSegment();
        } else if (r == "/..") {
            pos += 2;
            in[pos] = '/';
            dropLastSegment();
        } else if (r == "." || r == "..") {
            pos = in.size();
        } else {
            std::size_t next = in.find('/', pos + 1);
            if (next == std::string::npos) next = in.size();
            out.append(in, pos, next - pos);
            pos = next;
        }
    }
    return out;
}

// Section 5.2.3.
std::string merge(const Parts& base, std::string_view path) {
    std::string_view directory = "/";
    if (!base.authority || !base.path.empty()) {
        const std::size_t slash = base.path.rfind('/');
        directory = slash == std::string::npos ? std::string_view() : std::string_view(base.path).substr(0, slash + 1);
    }
    std::string merged;
    merged.reserve(directory.size() + path.size());
    merged.append(directory).append(path);
    return merged;
}

using OptionalView = std::optional<std::string_view>;

OptionalView view(const std::optional<std::string>& text) { return text ? OptionalView(*text) : std::nullopt; }

// Section 5.3.
std::string compose(OptionalView scheme, OptionalView authority, std::string_view path, OptionalView query,
                    OptionalView fragment) {
    const auto size = [](OptionalView part) { return part ? part->size() + 2 : 0; };
    std::string text;
    text.reserve(size(scheme) + size(authority) + 2 + path.size() + size(query) + size(fragment));
    if (scheme) text.append(*scheme).append(":");
    if (authority) text.append("//").append(*authority);
    // Without an authority a path may not begin with "//"; "/." keeps its meaning and its parse.
    if (!authority && path.starts_with("//")) text += "/.";
    text += path;
    if (query) text.append("?").append(*query);
    if (fragment) text.append("#").append(*fragment);
    return text;
}

// Section 5.2.2, strict: a reference with a scheme is taken as it is, even the base's own scheme.
std::string resolve(const Split& r, const Parts& base) {
    if (r.scheme) return compose(r.scheme, r.authority, removeDotSegments(std::string(r.path)), r.query, r.fragment);
    if (r.authority) return compose(view(base.scheme), r.authority, removeDotSegments(std::string(r.path)), r.query, r.fragment);
    if (r.path.empty())
        return compose(view(base.scheme), view(base.authority), base.path, r.query ? r.query : view(base.query),
                       r.fragment);
    std::string path = removeDotSegments(r.path.starts_with('/') ? std::string(r.path) : merge(base, r.path));
    return compose(view(base.scheme), view(base.authority), path, r.query, r.fragment);
}

std::optional<std::string> decoded(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    return stringByRemovingPercentEncoding(*text).value_or(*text);
}

// How a URL travels inside a Value: the platform's URL object. It archives as the platform's does, its
// relative text under "NS.relative" and its base (or nil) under "NS.base".
class URLBox final : public Object, public Coding {
public:
    URLBox() = default;
    explicit URLBox(URL url) : url(std::move(url)) {}
    static const Class& classObject() {
        static const Class& cls = *new Class("NSURL", &Object::classObject(), [] { return std::make_shared<URLBox>(); });
        return cls;
    }
    const Class& objectClass() const override { return classObject(); }
    std::string description() const override { return url ? url->absoluteString() : std::string(); }
    bool isEqual(const Object& other) const override {
        auto* box = dynamic_cast<const URLBox*>(&other);
        return box && box->url == url;
    }
    std::shared_ptr<Object> copy() const override {
        auto box = std::make_shared<URLBox>();
        box->url = url;
        return box;
    }

    void encodeWithCoder(KeyedArchiver& coder) const override {
        auto base = url ? url->baseURL() : std::nullopt;
        coder.encodeObject(base ? base->boxed() : Value(), "NS.base");
        coder.encodeObject(url ? Value(url->relativeString()) : Value(), "NS.relative");
    }
    bool initWithCoder(KeyedUnarchiver& coder) override {
        const Value relative = coder.decodeObjectForKey("NS.relative");
        if (!relative.isString()) return false;
        url = URL::fromString(relative.asString(), URL::fromValue(coder.decodeObjectForKey("NS.base")));
        return url.has_value();
    }
    bool supportsSecureCoding() const override { return true; }

    std::optional<URL> url;
};

const bool urlClassRegistered = (Class::registerClass(URLBox::classObject()), true);

}  // namespace

std::optional<URL> URL::fromString(std::string_view text) {
    if (text.empty()) return std::nullopt;
    const auto s = split(text);
    if (!s) return std::nullopt;
    // The components are written straight into the shared representation, without a copy on the way.
    auto rep = std::make_shared<Representation>();
    fill(text, *s, rep->absolute);
    return URL(std::move(rep));
}

std::optional<URL> URL::fromString(std::string_view text, const URL& base) {
    const auto reference = split(text);
    if (!reference) return std::nullopt;
    if (reference->scheme) return fromString(text);  // taken as it is, without the base
    const std::string resolved = resolve(*reference, base.rep_->absolute);
    const auto absolute = split(resolved);
    if (!absolute) return std::nullopt;
    auto rep = std::make_shared<Representation>();
    rep->base = base.rep_;
    rep->relative = text;
    fill(resolved, *absolute, rep->absolute);
    return URL(std::move(rep));
}

std::optional<URL> URL::fromString(std::string_view text, const std::optional<URL>& base) {
    return base ? fromString(text, *base) : fromString(text);
}

URL URL::fileURLWithPath(std::string_view path, bool isDirectory) {
    if (path.empty()) throw Exception(InvalidArgumentException, "fileURLWithPath:isDirectory:: empty path");
    std::string absolute = path.starts_with('/') ? std::string(path)
                                                 : std::filesystem::current_path().string() + "/" + std::string(path);
    if (isDirectory && !absolute.ends_with('/')) absolute += '/';
    std::string text = "file://" + stringByAddingPercentEncodingWithAllowedCharacters(
                                       absolute, CharacterSet::URLPathAllowedCharacterSet());
    return URL(*parse(text));
}

std::optional<URL> URL::baseURL() const {
    if (!rep_->base) return std::nullopt;
    return URL(rep_->base);
}

URL URL::absoluteURL() const {
    return rep_->base ? URL(rep_->absolute) : *this;
}

std::optional<std::string> URL::host() const {
    const std::optional<std::string>& written = rep_->absolute.host;
    // An address literal loses its brackets; brackets escaped in a name are part of the name.
    if (written && written->starts_with('[')) return written->substr(1, written->size() - 2);
    return decoded(written);
}

std::optional<std::string> URL::user() const {
    if (!rep_->absolute.userInfo) return std::nullopt;
    return decoded(rep_->absolute.userInfo->substr(0, rep_->absolute.userInfo->find(':')));
}

std::optional<std::string> URL::password() const {
    if (!rep_->absolute.userInfo) return std::nullopt;
    std::size_t colon = rep_->absolute.userInfo->find(':');
    if (colon == std::string::npos) return std::nullopt;
    return decoded(rep_->absolute.userInfo->substr(colon + 1));
}

std::string URL::path() const {
    std::string path = *decoded(rep_->absolute.path);
    if (path.size() > 1 && path.ends_with('/')) path.pop_back();
    return path;
}

std::string URL::lastPathComponent() const { return ns::lastPathComponent(path()); }

std::string URL::pathExtension() const { return ns::pathExtension(path()); }

bool URL::isFileURL() const {
    const auto& scheme = rep_->absolute.scheme;
    return scheme && scheme->size() == 4 && lowercaseString(*scheme) == "file";
}

URL URL::withPath(std::string path) const {
    const Parts& parts = rep_->absolute;
    std::string text = compose(parts.scheme, parts.authority, path, parts.query, parts.fragment);
    return URL(*parse(text));
}

URL URL::URLByAppendingPathComponent(std::string_view component) const {
    std::string escaped = stringByAddingPercentEncodingWithAllowedCharacters(
        component, CharacterSet::URLPathAllowedCharacterSet());
    std::string path = rep_->absolute.path;
    if (path.empty() ? rep_->absolute.authority.has_value() : !path.ends_with('/')) path += '/';
    std::string_view tail = escaped;
    if (path.ends_with('/')) tail.remove_prefix(std::min(tail.find_first_not_of('/'), tail.size()));
    return withPath(path + std::string(tail));
}

URL URL::URLByDeletingLastPathComponent() const {
    std::string path = rep_->absolute.path;
    if (path.empty() || path == "/") return withPath(path);
    if (path.ends_with('/')) path.pop_back();
    std::size_t slash = path.rfind('/');
    return withPath(slash == std::string::npos ? std::string() : path.substr(0, slash + 1));
}

URL URL::standardizedURL() const { return withPath(removeDotSegments(rep_->absolute.path)); }

bool URL::operator==(const URL& other) const {
    if (rep_ == other.rep_) return true;
    if (relativeString() != other.relativeString() || static_cast<bool>(rep_->base) != static_cast<bool>(other.rep_->base))
        return false;
    return !rep_->base || URL(rep_->base) == URL(other.rep_->base);
}

Value URL::boxed() const {
    (void)urlClassRegistered;
    return Value(std::make_shared<URLBox>(*this));
}

std::optional<URL> URL::fromValue(const Value& value) {
    if (auto box = value.asObject<URLBox>()) return box->url;
    return std::nullopt;
}

}  // namespace ql::ns
