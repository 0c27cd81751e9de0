#include "platform/foundation/XMLPropertyList.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "platform/foundation/Base64.h"
#include "platform/foundation/CivilDate.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/PropertyListUID.h"
#include "platform/foundation/QuietLibXML.h"

namespace ql::ns::detail {

namespace {

constexpr std::string_view kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n";
constexpr std::string_view kFooter = "</plist>\n";
constexpr std::string_view kUIDKey = "CF$UID";


constexpr double kFirstXMLSecond = static_cast<double>(daysFromCivil(0, 1, 1) * 86400);
constexpr double kLastXMLSecond = static_cast<double>(daysFromCivil(10000, 1, 1) * 86400 - 1);

// ---- Writing ----

class Writer {
public:
    std::string write(const Value& plist) {
        out_ = kHeader;
        value(plist, 0);
        out_ += kFooter;
        return std::move(out_);
    }

private:
    void indent(std::size_t level) { out_.append(level, '\t'); }

    void escaped(std::string_view text) {
        for (char c : text) {
            switch (c) {
                case '&': out_ += "&amp;"; break;
                case '<': out_ += "&lt;"; break;
                case '>': out_ += "&gt;"; break;
                // A bare carriage return would come back as a line feed from any XML reader.
                case '\r': out_ += "&#13;"; break;
                default: out_ += c;
            }
        }
    }

    void element(std::size_t level, std::string_view tag, std::string_view text) {
        indent(level);
        out_ += '<';
        out_ += tag;
        out_ += '>';
        out_ += text;
        out_ += "</";
        out_ += tag;
        out_ += ">\n";
    }

    void real(std::size_t level, double d) {
        if (std::isnan(d)) return element(level, "real", "nan");
        if (std::isinf(d)) return element(level, "real", d > 0 ? "+infinity" : "-infinity");
        char buf[32];
        auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 17);
        element(level, "real", std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
    }

    void date(std::size_t level, Date date) {
        const auto seconds = static_cast<std::int64_t>(std::floor(date.timeIntervalSince1970()));
        const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
        const std::int64_t secondOfDay = seconds - days * 86400;
        const CivilDate civil = civilFromDays(days);
        char buf[96];
        std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ", static_cast<long long>(civil.year),
                      civil.month, civil.day, static_cast<long long>(secondOfDay / 3600),
                      static_cast<long long>(secondOfDay / 60 % 60), static_cast<long long>(secondOfDay % 60));
        element(level, "date", buf);
    }

    // Base64 lines of 76 characters less eight per level of indentation (at most eight levels), each
    // indented like the element.
    void data(std::size_t level, const Data& data) {
        indent(level);
        out_ += "<data>\n";
        const std::string text = base64EncodedString(data);
        const std::size_t lineLength = 76 - 8 * std::min<std::size_t>(level, 8);
        for (std::size_t i = 0; i < text.size(); i += lineLength) {
            indent(level);
            out_.append(text, i, lineLength);
            out_ += '\n';
        }
        indent(level);
        out_ += "</data>\n";
    }

    void value(const Value& v, std::size_t level) {
        switch (v.kind()) {
            case Value::Kind::Bool:
                indent(level);
                out_ += v.boolValue() ? "<true/>\n" : "<false/>\n";
                break;
            case Value::Kind::Int:
            case Value::Kind::UInt: element(level, "integer", v.stringValue()); break;
            case Value::Kind::Double: real(level, v.doubleValue()); break;
            case Value::Kind::Date: date(level, *v.asDate()); break;
            case Value::Kind::Data: data(level, *v.asData()); break;
            case Value::Kind::String:
                indent(level);
                out_ += "<string>";
                escaped(v.asString());
                out_ += "</string>\n";
                break;
            case Value::Kind::Array: {
                indent(level);
                if (v.count() == 0) {
                    out_ += "<array/>\n";
                    break;
                }
                out_ += "<array>\n";
                for (const Value& element : *v.asArray()) value(element, level + 1);
                indent(level);
                out_ += "</array>\n";
                break;
            }
            case Value::Kind::Dictionary: {
                indent(level);
                if (v.count() == 0) {
                    out_ += "<dict/>\n";
                    break;
                }
                out_ += "<dict>\n";
                for (const auto& [key, entry] : *v.asDictionary()) {
                    indent(level + 1);
                    out_ += "<key>";
                    escaped(key);
                    out_ += "</key>\n";
                    value(entry, level + 1);
                }
                indent(level);
                out_ += "</dict>\n";
                break;
            }
            default: {
                // Keyed-archive references, in the platform's XML form.
                indent(level);
                out_ += "<dict>\n";
                element(level + 1, "key", kUIDKey);
                element(level + 1, "integer", std::to_string(*PropertyListUID::valueOf(v)));
                indent(level);
                out_ += "</dict>\n";
            }
        }
    }

    std::string out_;
};

// ---- Reading ----

struct DocumentFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct ContextFree {
    void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

std::string_view nameOf(const xmlNode* node) { return reinterpret_cast<const char*>(node->name); }

class Reader {
public:
    explicit Reader(unsigned options) : options_(options) {}

    Value read(std::span<const std::uint8_t> bytes, std::string& failure) {
        std::optional<Value> result = document(bytes);
        if (!result) {
            failure = failure_;
            return {};
        }
        return std::move(*result);
    }

private:
    std::nullopt_t fail(const xmlNode* node, std::string what) {
        failure_ = std::move(what) + " on line " + std::to_string(xmlGetLineNo(node));
        return std::nullopt;
    }

    std::optional<Value> document(std::span<const std::uint8_t> bytes) {
        QuietLibXML quiet;
        if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
            failure_ = "XML property list too large";
            return std::nullopt;
        }
        std::unique_ptr<xmlParserCtxt, ContextFree> context(xmlNewParserCtxt());
        if (!context) {
            failure_ = "out of memory";
            return std::nullopt;
        }
        std::unique_ptr<xmlDoc, DocumentFree> doc(
            xmlCtxtReadMemory(context.get(), reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()),
                              nullptr, nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA));
        if (!doc) {
            const xmlError* error = xmlCtxtGetLastError(context.get());
            std::string message(error && error->message ? trimmed(error->message) : "unreadable XML");
            failure_ = message + " on line " + std::to_string(error ? error->line : 0);
            return std::nullopt;
        }
        const xmlNode* root = xmlDocGetRootElement(doc.get());
        if (!root) {
            failure_ = "No property list found";
            return std::nullopt;
        }
        if (nameOf(root) != "plist") return value(root, 0);
        auto top = elements(root);
        if (!top) return std::nullopt;
        if (top->size() != 1) return fail(root, top->empty() ? "Empty <plist>" : "More than one value inside <plist>");
        return value(top->front(), 0);
    }

    // The element children of a node; character data between them may only be white space.
    std::optional<std::vector<const xmlNode*>> elements(const xmlNode* parent) {
        std::vector<const xmlNode*> out;
        for (const xmlNode* child = parent->children; child; child = child->next) {
            switch (child->type) {
                case XML_ELEMENT_NODE: out.push_back(child); break;
                case XML_TEXT_NODE:
                case XML_CDATA_SECTION_NODE:
                    if (!trimmed(reinterpret_cast<const char*>(child->content)).empty())
                        return fail(child, "Unexpected character data inside <" + std::string(nameOf(parent)) + ">");
                    break;
                case XML_COMMENT_NODE:
                case XML_PI_NODE: break;
                default: return fail(child, "Unsupported XML construct inside <" + std::string(nameOf(parent)) + ">");
            }
        }
        return out;
    }

    // The character data of an element that holds nothing else.
    std::optional<std::string> text(const xmlNode* element) {
        std::string out;
        for (const xmlNode* child = element->children; child; child = child->next) {
            switch (child->type) {
                case XML_TEXT_NODE:
                case XML_CDATA_SECTION_NODE: out += reinterpret_cast<const char*>(child->content); break;
                case XML_COMMENT_NODE:
                case XML_PI_NODE: break;
                default: return fail(child, "Unexpected content inside <" + std::string(nameOf(element)) + ">");
            }
        }
        return out;
    }

    bool mutableLeaves() const { return (options_ & 3) >= PropertyListMutableContainersAndLeaves; }
    bool mutableContainers() const { return (options_ & 3) != PropertyListImmutable; }

    std::optional<Value> value(const xmlNode* node, std::size_t depth) {
        const std::string_view name = nameOf(node);
        if (name == "dict" || name == "array") {
            if (depth >= PropertyListSerialization::kMaxDepth) return fail(node, "Property list nested too deeply");
            auto container = name == "dict" ? dictionary(node, depth) : array(node, depth);
            if (container && !container->isObject()) container->setMutable(mutableContainers());
            return container;
        }
        if (name == "true" || name == "false") {
            auto content = text(node);
            if (!content) return std::nullopt;
            if (!trimmed(*content).empty()) return fail(node, "Unexpected character data inside <" + std::string(name) + ">");
            return Value(name == "true");
        }
        auto content = text(node);
        if (!content) return std::nullopt;
        if (name == "string") {
            Value v(std::move(*content));
            v.setMutable(mutableLeaves());
            return v;
        }
        if (name == "integer") return integer(node, trimmed(*content));
        if (name == "real") return real(node, trimmed(*content));
        if (name == "date") return date(node, trimmed(*content));
        if (name == "data") {
            std::string compact;
            for (char c : *content)
                if (!isSpace(c)) compact += c;
            auto data = dataWithBase64EncodedString(compact);
            if (!data) return fail(node, "Malformed base64 inside <data>");
            Value v(std::move(*data));
            v.setMutable(mutableLeaves());
            return v;
        }
        return fail(node, "Encountered unknown tag <" + std::string(name) + ">");
    }

    std::optional<Value> array(const xmlNode* node, std::size_t depth) {
        auto children = elements(node);
        if (!children) return std::nullopt;
        Array items;
        items.reserve(children->size());
        for (const xmlNode* child : *children) {
            auto element = value(child, depth + 1);
            if (!element) return std::nullopt;
            items.push_back(std::move(*element));
        }
        return Value(std::move(items));
    }

    std::optional<Value> dictionary(const xmlNode* node, std::size_t depth) {
        auto children = elements(node);
        if (!children) return std::nullopt;
        Dictionary entries;
        for (std::size_t i = 0; i < children->size(); i += 2) {
            const xmlNode* keyNode = (*children)[i];
            if (nameOf(keyNode) != "key") return fail(keyNode, "Found non-key inside <dict>");
            if (i + 1 == children->size()) return fail(keyNode, "Value missing for key inside <dict>");
            auto key = text(keyNode);
            if (!key) return std::nullopt;
            auto entry = value((*children)[i + 1], depth + 1);
            if (!entry) return std::nullopt;
            entries.appendUnsorted(std::move(*key), std::move(*entry));
        }
        entries.finishAppending();
        // A lone CF$UID integer is how XML spells a keyed-archive reference.
        if (const Value* uid = entries.find(kUIDKey); uid && entries.size() == 1) {
            if (uid->kind() == Value::Kind::UInt || (uid->kind() == Value::Kind::Int && uid->int64Value() >= 0))
                return PropertyListUID::make(uid->uint64Value());
        }
        return Value(std::move(entries));
    }

    std::optional<Value> integer(const xmlNode* node, std::string_view text) {
        bool negative = false;
        if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
            negative = text[0] == '-';
            text.remove_prefix(1);
        }
        int base = 10;
        if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
            base = 16;
            text.remove_prefix(2);
        }
        std::uint64_t magnitude = 0;
        auto r = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
        if (text.empty() || r.ptr != text.data() + text.size()) return fail(node, "Malformed <integer>");
        constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
        if (r.ec == std::errc::result_out_of_range || (negative && magnitude > kMax + 1))
            return fail(node, "<integer> out of range");
        if (negative) return Value(magnitude == kMax + 1 ? std::numeric_limits<std::int64_t>::min()
                                                         : -static_cast<std::int64_t>(magnitude));
        if (magnitude > kMax) return Value(magnitude);
        return Value(static_cast<std::int64_t>(magnitude));
    }

    std::optional<Value> real(const xmlNode* node, std::string_view text) {
        std::string lower;
        for (char c : text) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (lower == "nan") return Value(std::numeric_limits<double>::quiet_NaN());
        if (lower == "inf" || lower == "+inf" || lower == "infinity" || lower == "+infinity")
            return Value(std::numeric_limits<double>::infinity());
        if (lower == "-inf" || lower == "-infinity") return Value(-std::numeric_limits<double>::infinity());
        if (!text.empty() && text[0] == '+') text.remove_prefix(1);
        double d = 0;
        auto r = std::from_chars(text.data(), text.data() + text.size(), d);
        if (text.empty() || r.ec == std::errc::invalid_argument || r.ptr != text.data() + text.size())
            return fail(node, "Malformed <real>");
        if (r.ec == std::errc::result_out_of_range) return fail(node, "<real> out of range");
        return Value(d);
    }

    // "YYYY-MM-DDTHH:MM:SSZ", in UTC.
    std::optional<Value> date(const xmlNode* node, std::string_view text) {
        auto number = [&](std::size_t at, std::size_t width, unsigned& out) {
            auto r = std::from_chars(text.data() + at, text.data() + at + width, out);
            return r.ec == std::errc() && r.ptr == text.data() + at + width;
        };
        unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
        bool ok = text.size() == 20 && text[4] == '-' && text[7] == '-' && text[10] == 'T' && text[13] == ':' &&
                  text[16] == ':' && text[19] == 'Z' && number(0, 4, year) && number(5, 2, month) &&
                  number(8, 2, day) && number(11, 2, hour) && number(14, 2, minute) && number(17, 2, second);
        if (!ok || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 || minute > 59 ||
            second > 59)
            return fail(node, "Malformed <date>");
        const std::int64_t seconds = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
        return Value(Date::fromTimeIntervalSince1970(static_cast<double>(seconds)));
    }

    unsigned options_;
    std::string failure_;
};

}  // namespace

Value readXMLPropertyList(std::span<const std::uint8_t> bytes, unsigned options, std::string& failure) {
    return Reader(options).read(bytes, failure);
}

std::string writeXMLPropertyList(const Value& plist) { return Writer().write(plist); }

bool isXMLText(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            if (lead < 0x20 && lead != '\t' && lead != '\n' && lead != '\r') return false;
            ++i;
            continue;
        }
        std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        if (length == 0 || lead > 0xF4 || i + length > text.size()) return false;
        std::uint32_t cp = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        const std::uint32_t minimum = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF)
            return false;
        i += length;
    }
    return true;
}

bool isXMLDate(Date date) {
    const double seconds = std::floor(date.timeIntervalSince1970());
    return seconds >= kFirstXMLSecond && seconds <= kLastXMLSecond;
}

}  // namespace ql::ns::detail
