#include "platform/foundation/StringEncoding.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
#include <unicode/unistr.h>

#include <array>
#include <climits>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/foundation/Text.h"

namespace ql::ns {

namespace {

struct KnownEncoding {
    StringEncoding code;
    const char* converterName;
};

constexpr std::array<KnownEncoding, 25> kKnownEncodings{{
    {ASCIIStringEncoding, "US-ASCII"},
    {JapaneseEUCStringEncoding, "EUC-JP"},
    {UTF8StringEncoding, "UTF-8"},
    {ISOLatin1StringEncoding, "ISO-8859-1"},
    {ShiftJISStringEncoding, "Shift_JIS"},
    {ISOLatin2StringEncoding, "ISO-8859-2"},
    {UnicodeStringEncoding, "UTF-16"},
    {WindowsCP1251StringEncoding, "windows-1251"},
    {WindowsCP1252StringEncoding, "windows-1252"},
    {WindowsCP1253StringEncoding, "windows-1253"},
    {WindowsCP1254StringEncoding, "windows-1254"},
    {WindowsCP1250StringEncoding, "windows-1250"},
    {ISO2022JPStringEncoding, "ISO-2022-JP"},
    {MacOSRomanStringEncoding, "macintosh"},
    {UTF16BigEndianStringEncoding, "UTF-16BE"},
    {UTF16LittleEndianStringEncoding, "UTF-16LE"},
    {UTF32StringEncoding, "UTF-32"},
    {UTF32BigEndianStringEncoding, "UTF-32BE"},
    {UTF32LittleEndianStringEncoding, "UTF-32LE"},
    {GBKStringEncoding, "GBK"},
    {GB18030StringEncoding, "GB18030"},
    {EUCCNStringEncoding, "GB2312"},
    {EUCKRStringEncoding, "EUC-KR"},
    {Big5StringEncoding, "Big5"},
    {KOI8RStringEncoding, "KOI8-R"},
}};

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// A converter that stops at the first character or byte sequence it cannot convert, instead of
// substituting, so that lossy conversions are reported.
Converter strictConverter(const char* name) {
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open(name, &status));
    if (U_FAILURE(status) || !converter) return nullptr;
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status)) return nullptr;
    return converter;
}

const char* converterNameFor(StringEncoding encoding) {
    for (const KnownEncoding& known : kKnownEncodings)
        if (known.code == encoding) return known.converterName;
    return nullptr;
}

// ICU's own name for whatever a name is an alias of; empty when ICU does not know the name.
std::string canonicalName(const char* name) {
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open(name, &status));
    if (U_FAILURE(status) || !converter) return {};
    const char* canonical = ucnv_getName(converter.get(), &status);
    return U_SUCCESS(status) && canonical ? std::string(canonical) : std::string();
}

}  // namespace

std::optional<StringEncoding> stringEncodingForIANACharsetName(std::string_view name) {
    static const auto& canonicalNames = *new std::vector<std::string>([] {
        std::vector<std::string> names;
        for (const KnownEncoding& known : kKnownEncodings) names.push_back(canonicalName(known.converterName));
        return names;
    }());
    if (name.empty()) return std::nullopt;
    const std::string wanted = canonicalName(std::string(name).c_str());
    if (wanted.empty()) return std::nullopt;
    for (std::size_t i = 0; i < kKnownEncodings.size(); ++i)
        if (canonicalNames[i] == wanted) return kKnownEncodings[i].code;
    return std::nullopt;
}

std::optional<Data> encodeText(std::string_view text, StringEncoding encoding) {
    if (encoding == UTF8StringEncoding) {
        if (!isValidUTF8(text)) return std::nullopt;
        return Data(text);
    }
    const char* name = converterNameFor(encoding);
    if (!name || !isValidUTF8(text)) return std::nullopt;
    Converter converter = strictConverter(name);
    if (!converter) return std::nullopt;
    const icu::UnicodeString unicode =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = unicode.extract(nullptr, 0, converter.get(), status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length) + 1);
    status = U_ZERO_ERROR;
    ucnv_reset(converter.get());
    unicode.extract(reinterpret_cast<char*>(bytes.data()), static_cast<int32_t>(bytes.size()), converter.get(), status);
    if (U_FAILURE(status)) return std::nullopt;
    bytes.resize(static_cast<std::size_t>(length));
    return Data(std::move(bytes));
}

std::optional<std::string> decodeText(const Data& bytes, StringEncoding encoding) {
    if (encoding == UTF8StringEncoding) {
        if (!isValidUTF8(bytes.view())) return std::nullopt;
        return bytes.toString();
    }
    const char* name = converterNameFor(encoding);
    if (!name) return std::nullopt;
    Converter converter = strictConverter(name);
    if (!converter) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString unicode(reinterpret_cast<const char*>(bytes.bytes()), static_cast<int32_t>(bytes.length()),
                                     converter.get(), status);
    if (U_FAILURE(status) || unicode.isBogus()) return std::nullopt;
    std::string text;
    unicode.toUTF8String(text);
    return text;
}

std::optional<std::string> decodeTextReplacingInvalid(std::string_view bytes, StringEncoding encoding) {
    if (encoding == UTF8StringEncoding && isValidUTF8(bytes)) return std::string(bytes);
    const char* name = converterNameFor(encoding);
    // ICU counts in 32-bit lengths; no document this reads comes near that.
    if (!name || bytes.size() > static_cast<std::size_t>(INT32_MAX)) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    // A fresh converter substitutes U+FFFD for whatever it cannot read.
    Converter converter(ucnv_open(name, &status));
    if (U_FAILURE(status) || !converter) return std::nullopt;
    const icu::UnicodeString unicode(bytes.data(), static_cast<int32_t>(bytes.size()), converter.get(), status);
    if (U_FAILURE(status) || unicode.isBogus()) return std::nullopt;
    std::string text;
    unicode.toUTF8String(text);
    return text;
}

}  // namespace ql::ns
