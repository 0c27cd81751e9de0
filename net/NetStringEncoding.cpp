#include "net/NetStringEncoding.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
#include <unicode/unistr.h>

#include <array>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/foundation/Text.h"

namespace ql {

namespace {

struct KnownEncoding {
    std::uint64_t code;
    const char* converterName;
};

constexpr std::array<KnownEncoding, 25> kKnownEncodings{{
    {NetASCIIStringEncoding, "US-ASCII"},
    {NetJapaneseEUCStringEncoding, "EUC-JP"},
    {NetUTF8StringEncoding, "UTF-8"},
    {NetISOLatin1StringEncoding, "ISO-8859-1"},
    {NetShiftJISStringEncoding, "Shift_JIS"},
    {NetISOLatin2StringEncoding, "ISO-8859-2"},
    {NetUnicodeStringEncoding, "UTF-16"},
    {NetWindowsCP1251StringEncoding, "windows-1251"},
    {NetWindowsCP1252StringEncoding, "windows-1252"},
    {NetWindowsCP1253StringEncoding, "windows-1253"},
    {NetWindowsCP1254StringEncoding, "windows-1254"},
    {NetWindowsCP1250StringEncoding, "windows-1250"},
    {NetISO2022JPStringEncoding, "ISO-2022-JP"},
    {NetMacOSRomanStringEncoding, "macintosh"},
    {NetUTF16BigEndianStringEncoding, "UTF-16BE"},
    {NetUTF16LittleEndianStringEncoding, "UTF-16LE"},
    {NetUTF32StringEncoding, "UTF-32"},
    {NetUTF32BigEndianStringEncoding, "UTF-32BE"},
    {NetUTF32LittleEndianStringEncoding, "UTF-32LE"},
    {NetGBKStringEncoding, "GBK"},
    {NetGB18030StringEncoding, "GB18030"},
    {NetEUCCNStringEncoding, "GB2312"},
    {NetEUCKRStringEncoding, "EUC-KR"},
    {NetBig5StringEncoding, "Big5"},
    {NetKOI8RStringEncoding, "KOI8-R"},
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

const char* converterNameFor(std::uint64_t encoding) {
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

std::optional<std::uint64_t> NetStringEncodingForIANACharsetName(std::string_view name) {
    static const std::vector<std::string> canonicalNames = [] {
        std::vector<std::string> names;
        for (const KnownEncoding& known : kKnownEncodings) names.push_back(canonicalName(known.converterName));
        return names;
    }();
    if (name.empty()) return std::nullopt;
    const std::string wanted = canonicalName(std::string(name).c_str());
    if (wanted.empty()) return std::nullopt;
    for (std::size_t i = 0; i < kKnownEncodings.size(); ++i)
        if (canonicalNames[i] == wanted) return kKnownEncodings[i].code;
    return std::nullopt;
}

std::optional<ns::Data> NetEncodeText(std::string_view text, std::uint64_t encoding) {
    if (encoding == NetUTF8StringEncoding) {
        if (!ns::isValidUTF8(text)) return std::nullopt;
        return ns::Data(text);
    }
    const char* name = converterNameFor(encoding);
    if (!name || !ns::isValidUTF8(text)) return std::nullopt;
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
    return ns::Data(std::move(bytes));
}

std::optional<std::string> NetDecodeText(const ns::Data& bytes, std::uint64_t encoding) {
    if (encoding == NetUTF8StringEncoding) {
        if (!ns::isValidUTF8(bytes.view())) return std::nullopt;
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

}  // namespace ql
