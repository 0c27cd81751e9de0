#include "platform/foundation/JSONSerialization.h"

#include <optional>
#include <string>

#include "platform/foundation/JSONReader.h"
#include "platform/foundation/JSONSyntax.h"
#include "platform/foundation/JSONWriter.h"
#include "platform/foundation/Text.h"

namespace ql::ns {

namespace {

Error makeError(std::int64_t code, std::string description) {
    return Error(std::string(CocoaErrorDomain), code,
                 Dictionary{{std::string(DebugDescriptionErrorKey), Value(std::move(description))}});
}

// ---- Text encodings ----

enum class Encoding { UTF8, UTF16BE, UTF16LE, UTF32BE, UTF32LE };

struct DetectedEncoding {
    Encoding encoding;
    std::size_t markLength;  // bytes of the byte-order mark, skipped before reading
};

// The platform's detection: a byte-order mark, else the pattern of zero bytes in the first characters
// (JSON text starts with ASCII, so UTF-16 and UTF-32 show zeros there).
DetectedEncoding detectEncoding(std::string_view bytes) {
    auto b = [&](std::size_t k) { return k < bytes.size() ? static_cast<unsigned char>(bytes[k]) : -1; };
    if (b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF) return {Encoding::UTF8, 3};
    if (b(0) == 0 && b(1) == 0 && b(2) == 0xFE && b(3) == 0xFF) return {Encoding::UTF32BE, 4};
    if (b(0) == 0xFF && b(1) == 0xFE && b(2) == 0 && b(3) == 0) return {Encoding::UTF32LE, 4};
    if (b(0) == 0xFE && b(1) == 0xFF) return {Encoding::UTF16BE, 2};
    if (b(0) == 0xFF && b(1) == 0xFE) return {Encoding::UTF16LE, 2};
    if (bytes.size() >= 4 && b(0) == 0 && b(1) == 0 && b(2) == 0 && b(3) != 0) return {Encoding::UTF32BE, 0};
    if (bytes.size() >= 4 && b(0) != 0 && b(1) == 0 && b(2) == 0 && b(3) == 0) return {Encoding::UTF32LE, 0};
    if (bytes.size() >= 2 && b(0) == 0 && b(1) != 0) return {Encoding::UTF16BE, 0};
    if (bytes.size() >= 2 && b(0) != 0 && b(1) == 0) return {Encoding::UTF16LE, 0};
    return {Encoding::UTF8, 0};
}

// UTF-16 or UTF-32 text as UTF-8; on a broken sequence, the index of the offending character.
std::optional<std::size_t> transcodeToUtf8(std::string_view bytes, Encoding encoding, std::string& out) {
    const std::size_t width = encoding == Encoding::UTF16BE || encoding == Encoding::UTF16LE ? 2 : 4;
    const bool bigEndian = encoding == Encoding::UTF16BE || encoding == Encoding::UTF32BE;
    auto unit = [&](std::size_t index) {
        std::uint32_t u = 0;
        for (std::size_t k = 0; k < width; ++k) {
            auto byte = static_cast<unsigned char>(bytes[index * width + (bigEndian ? k : width - 1 - k)]);
            u = (u << 8) | byte;
        }
        return u;
    };
    const std::size_t count = bytes.size() / width;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t cp = unit(i);
        if (width == 2 && cp >= 0xD800 && cp <= 0xDBFF) {
            std::uint32_t low = i + 1 < count ? unit(i + 1) : 0;
            if (low < 0xDC00 || low > 0xDFFF) return i;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        } else if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            return i;
        }
        appendUTF8(out, cp);
    }
    if (bytes.size() % width != 0) return count;
    return std::nullopt;
}

}  // namespace

Value JSONSerialization::JSONObjectWithData(const Data& data, unsigned options, Error* error) {
    return JSONObjectWithData(data.view(), options, error);
}

Value JSONSerialization::JSONObjectWithData(std::string_view text, unsigned options, Error* error) {
    auto [encoding, markLength] = detectEncoding(text);
    text.remove_prefix(markLength);
    std::string transcoded;
    if (encoding != Encoding::UTF8) {
        if (auto bad = transcodeToUtf8(text, encoding, transcoded)) {
            if (error)
                *error = makeError(PropertyListReadCorruptError,
                                   "Unable to convert data to string around character " + std::to_string(*bad) + ".");
            return Value();
        }
        text = transcoded;
    }
    Value result = detail::readJSON(text, options);
    if (result.isNil() && error) {
        // simdjson only says that the text is bad; the grammar check says what and where.
        auto reason = firstJSONSyntaxError(text, (options & JSONReadingFragmentsAllowed) != 0);
        *error = makeError(PropertyListReadCorruptError, reason.value_or("Invalid value around character 0."));
    }
    return result;
}

std::optional<Data> JSONSerialization::dataWithJSONObject(const Value& object, unsigned options, Error* error) {
    detail::WrittenJSON written;
    if (!object.isArray() && !object.isDictionary() && (!(options & JSONWritingFragmentsAllowed) || object.isNil()))
        written.failure = "Invalid top-level type in JSON write";
    else
        written = detail::writeJSON(object, options & JSONWritingPrettyPrinted);
    if (!written.text && error) *error = makeError(PropertyListWriteInvalidError, std::move(written.failure));
    return std::move(written.text);
}

bool JSONSerialization::isValidJSONObject(const Value& object) {
    return (object.isArray() || object.isDictionary()) && detail::isWritableJSON(object);
}

}  // namespace ql::ns
