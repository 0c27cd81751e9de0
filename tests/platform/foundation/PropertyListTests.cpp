#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/PropertyListUID.h"
#include "tests/platform/foundation/ValueCorpus.h"
#include "tests/support/PeerProcess.h"

using namespace ql::ns;
using namespace std::string_literals;
using ql::ns::testing::identical;
using ql::ns::testing::nested;
using ql::ns::testing::plistCorpus;

namespace {

Value read(std::string_view bytes, unsigned options = 0, PropertyListFormat* format = nullptr, Error* error = nullptr) {
    return PropertyListSerialization::propertyListWithData(Data(bytes), options, format, error);
}

// The reader's verdict on bytes that must be refused: the debug description of its error.
std::string refusal(std::string_view bytes) {
    Error error(std::string(), 0);
    Value v = read(bytes, 0, nullptr, &error);
    if (!v.isNil()) return "accepted: " + v.description();
    EXPECT_EQ(error.domain(), CocoaErrorDomain);
    EXPECT_EQ(error.code(), PropertyListReadCorruptError);
    return std::string(error.userInfo()[DebugDescriptionErrorKey].asString());
}

std::string bigEndian(std::uint64_t v, std::size_t width) {
    std::string out;
    for (std::size_t i = width; i-- > 0;) out += static_cast<char>(v >> (8 * i));
    return out;
}

// A binary property list assembled by hand from encoded objects, so that the reader is checked against
// the format rather than against the writer.
std::string bplist(const std::vector<std::string>& objects, std::uint64_t top = 0, std::size_t refSize = 1,
                   std::optional<std::uint64_t> numObjects = std::nullopt,
                   std::optional<std::uint64_t> tableOffset = std::nullopt) {
    std::string out = "bplist00";
    std::vector<std::uint64_t> offsets;
    for (const auto& o : objects) {
        offsets.push_back(out.size());
        out += o;
    }
    const std::uint64_t table = out.size();
    for (auto offset : offsets) out += bigEndian(offset, 4);
    out += std::string(6, '\0') + char(4) + char(refSize);
    out += bigEndian(numObjects.value_or(objects.size()), 8) + bigEndian(top, 8) + bigEndian(tableOffset.value_or(table), 8);
    return out;
}

std::string ref(std::uint64_t index, std::size_t size = 1) { return bigEndian(index, size); }

std::string xml(std::string_view body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + std::string(body) + "\n</plist>\n";
}

}  // namespace

TEST(PropertyList, CorpusRoundTripsExactlyInBothFormats) {
    const Value corpus = plistCorpus();
    for (auto format : {PropertyListFormat::XML, PropertyListFormat::Binary}) {
        SCOPED_TRACE(static_cast<int>(format));
        EXPECT_TRUE(PropertyListSerialization::propertyListIsValidForFormat(corpus, format));
        Error error(std::string(), 0);
        auto data = PropertyListSerialization::dataWithPropertyList(corpus, format, &error);
        ASSERT_TRUE(data) << error.description();
        PropertyListFormat detected = PropertyListFormat::OpenStep;
        Value back = PropertyListSerialization::propertyListWithData(*data, 0, &detected, &error);
        EXPECT_EQ(detected, format);
        EXPECT_TRUE(identical(corpus, back));
    }
}

TEST(PropertyList, XMLIsWrittenInThePlatformsLayout) {
    const Data fox(std::string_view("The quick brown fox jumps over the lazy dog, then naps in the sun."));
    Value plist(Dictionary{
        {"big", Value(std::numeric_limits<std::uint64_t>::max())},
        {"data", Value(fox)},
        {"date", Value(Date::fromTimeIntervalSince1970(1425445567.75))},
        {"empty", Value(Array{})},
        {"flag", Value(true)},
        {"list", Value(Array{Value(1), Value(-2), Value(1.5), Value(false), Value(fox), Value(0.1),
                             Value(-std::numeric_limits<double>::infinity())})},
        {"none", Value(Dictionary{})},
        {"text", Value("a < b & c > d\r")},
    });
    auto data = PropertyListSerialization::dataWithPropertyList(plist, PropertyListFormat::XML, nullptr);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->toString(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
              "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
              "<plist version=\"1.0\">\n"
              "<dict>\n"
              "\t<key>big</key>\n"
              "\t<integer>18446744073709551615</integer>\n"
              "\t<key>data</key>\n"
              "\t<data>\n"
              "\tVGhlIHF1aWNrIGJyb3duIGZveCBqdW1wcyBvdmVyIHRoZSBsYXp5IGRvZywgdGhlbiBu\n"
              "\tYXBzIGluIHRoZSBzdW4u\n"
              "\t</data>\n"
              "\t<key>date</key>\n"
              "\t<date>2015-03-04T05:06:07Z</date>\n"
              "\t<key>empty</key>\n"
              "\t<array/>\n"
              "\t<key>flag</key>\n"
              "\t<true/>\n"
              "\t<key>list</key>\n"
              "\t<array>\n"
              "\t\t<integer>1</integer>\n"
              "\t\t<integer>-2</integer>\n"
              "\t\t<real>1.5</real>\n"
              "\t\t<false/>\n"
              "\t\t<data>\n"
              "\t\tVGhlIHF1aWNrIGJyb3duIGZveCBqdW1wcyBvdmVyIHRoZSBsYXp5IGRvZywg\n"
              "\t\tdGhlbiBuYXBzIGluIHRoZSBzdW4u\n"
              "\t\t</data>\n"
              "\t\t<real>0.10000000000000001</real>\n"
              "\t\t<real>-infinity</real>\n"
              "\t</array>\n"
              "\t<key>none</key>\n"
              "\t<dict/>\n"
              "\t<key>text</key>\n"
              "\t<string>a &lt; b &amp; c &gt; d&#13;</string>\n"
              "</dict>\n"
              "</plist>\n");

    auto top = PropertyListSerialization::dataWithPropertyList(Value(fox), PropertyListFormat::XML, nullptr);
    ASSERT_TRUE(top);
    EXPECT_NE(top->view().find("<data>\nVGhlIHF1aWNrIGJyb3duIGZveCBqdW1wcyBvdmVyIHRoZSBsYXp5IGRvZywgdGhlbiBuYXBzIGlu\n"
                               "IHRoZSBzdW4u\n</data>\n"),
              std::string_view::npos);
}

TEST(PropertyList, ReadsWhatOtherWritersProduce) {
    // {"a": 1} as the platform lays it out.
    EXPECT_TRUE(identical(read(bplist({"\xD1\x01\x02", "\x51" "a", "\x10\x01"})), Value(Dictionary{{"a", Value(1)}})));
    // Sixteen-byte integers, four-byte reals, UTF-16 texts (with a surrogate pair), references.
    Value mixed = read(bplist({"\xA5\x01\x02\x03\x04\x05", "\x14" + bigEndian(0, 8) + bigEndian(~0ull, 8),
                               "\x14" + bigEndian(~0ull, 8) + bigEndian(~0ull, 8), "\x22" + bigEndian(0x3FC00000, 4),
                               std::string("\x63\x00\x68\xD8\x3D\xDE\x00", 7), "\x81\x01\x00"s}));
    EXPECT_TRUE(identical(mixed[0], Value(std::numeric_limits<std::uint64_t>::max())));
    EXPECT_TRUE(identical(mixed[1], Value(-1)));
    EXPECT_TRUE(identical(mixed[2], Value(1.5)));
    EXPECT_EQ(mixed[3].asString(), "h😀");
    EXPECT_EQ(PropertyListUID::valueOf(mixed[4]), 256u);

    // XML from other writers: no DOCTYPE, no <plist>, comments, CDATA, hex and signed integers, CF$UID.
    Value x = read("<dict><!-- note --><key>s</key><string><![CDATA[<raw>]]> &amp; more</string>"
                   "<key>h</key><integer> 0x1F </integer><key>n</key><integer>-9223372036854775808</integer>"
                   "<key>r</key><real>+Infinity</real><key>u</key><dict><key>CF$UID</key><integer>7</integer></dict>"
                   "<key>d</key><data>aGVs\n  bG8=</data><key>t</key><date>1999-12-31T23:59:59Z</date></dict>");
    EXPECT_EQ(x["s"].asString(), "<raw> & more");
    EXPECT_TRUE(identical(x["h"], Value(31)));
    EXPECT_TRUE(identical(x["n"], Value(std::numeric_limits<std::int64_t>::min())));
    EXPECT_EQ(x["r"].doubleValue(), std::numeric_limits<double>::infinity());
    EXPECT_EQ(PropertyListUID::valueOf(x["u"]), 7u);
    EXPECT_TRUE(identical(read(xml("<dict><key>CF$uid</key><integer>7</integer></dict>")),
                          Value(Dictionary{{"CF$uid", Value(7)}})));
    EXPECT_EQ(x["d"].asData()->toString(), "hello");
    EXPECT_EQ(x["t"].asDate()->timeIntervalSince1970(), 946684799.0);
}

namespace {

// One property list as Python's plistlib builds it, and a typed form of a list that tells true from 1 and
// -0.0 from 0.0 when two are compared.
const std::string peerCorpus = R"(
import datetime, plistlib, sys
def corpus(uids):
    d = {
        'ints': [0, 1, -1, 255, 256, 65535, 65536, 2**31, 2**32, 2**63 - 1, -2**63, 2**64 - 1],
        'reals': [0.1, -0.0, 1e308, 5e-324, float('inf'), -float('inf'), 1.5, 1e-7],
        'texts': ['', 'ascii', '\u00e9\u4e66', '\U0001F600 astral', 'a<b&c>d', 'line\nbreak\ttab', '\u00ff'],
        'data': [b'', bytes(range(256))],
        'dates': [datetime.datetime(2001, 1, 1), datetime.datetime(1970, 1, 1), datetime.datetime(1900, 2, 28, 23, 59, 59),
                  datetime.datetime(2015, 3, 4, 5, 6, 7), datetime.datetime(9999, 12, 31, 23, 59, 59)],
        'flags': [True, False, 1, 0],
        'nested': {'a': {'b': [[], {}, [1, [2, [3]]]]}},
        '': 'empty key', '\u043a\u043b\u044e\u0447': 'key beyond ASCII', 'shared': ['same', 'same', 'same'],
    }
    if uids: d['uids'] = [plistlib.UID(0), plistlib.UID(255), plistlib.UID(65536), plistlib.UID(2**40)]
    return d
def typed(x):
    if isinstance(x, dict): return ('dict', sorted((k, typed(v)) for k, v in x.items()))
    if isinstance(x, list): return ('list', [typed(e) for e in x])
    if isinstance(x, float): return ('float', repr(x))
    if isinstance(x, plistlib.UID): return ('uid', x.data)
    return (type(x).__name__, x)
)";

std::optional<std::string> peer(const std::string& program, std::string_view input = {}) {
    return ql::test::runPeer(ql::test::pythonCommand(peerCorpus + program), input);
}

}  // namespace

TEST(PropertyList, AnIndependentReaderAndWriterAgree) {
    for (const bool binary : {true, false}) {
        SCOPED_TRACE(binary ? "binary" : "XML");
        const std::string format = binary ? "plistlib.FMT_BINARY" : "plistlib.FMT_XML";
        const std::string uids = binary ? "True" : "False";
        const auto written = peer("sys.stdout.buffer.write(plistlib.dumps(corpus(" + uids + "), fmt=" + format + "))");
        ASSERT_TRUE(written);
        Error error(std::string(), 0);
        const Value plist = read(*written, 0, nullptr, &error);
        ASSERT_FALSE(plist.isNil()) << error.description();
        // What this reader took in comes back the same through this writer and the peer's reader.
        for (auto back : {PropertyListFormat::Binary, PropertyListFormat::XML}) {
            if (binary && back == PropertyListFormat::XML) continue;  // XML has no references to hold
            auto data = PropertyListSerialization::dataWithPropertyList(plist, back, &error);
            ASSERT_TRUE(data) << error.description();
            EXPECT_EQ(peer("got = plistlib.loads(sys.stdin.buffer.read())\n"
                           "print('same' if typed(got) == typed(corpus(" + uids + ")) else repr(got))",
                           data->view()),
                      "same\n");
        }
    }
}

TEST(PropertyList, ReadingOptionsMakeContainersAndLeavesMutable) {
    auto data = PropertyListSerialization::dataWithPropertyList(
        Value(Dictionary{{"a", Value(Array{Value("s"), Value(Data(std::string_view("d"))), Value(1)})}}),
        PropertyListFormat::Binary, nullptr);
    ASSERT_TRUE(data);
    for (unsigned options : {0u, 1u, 2u}) {
        for (auto bytes : {data->toString(), xml("<dict><key>a</key><array><string>s</string><data>ZA==</data>"
                                                 "<integer>1</integer></array></dict>")}) {
            Value v = read(bytes, options);
            EXPECT_EQ(v.isMutable(), options != 0);
            EXPECT_EQ(v["a"].isMutable(), options != 0);
            EXPECT_EQ(v["a"][0].isMutable(), options == 2);
            EXPECT_EQ(v["a"][1].isMutable(), options == 2);
            EXPECT_EQ(v["a"][1].valueClass()->name(), options == 2 ? "NSMutableData" : "NSData");
        }
    }
}

TEST(PropertyList, WritingRefusesWhatAFormatCannotHold) {
    const std::vector<std::pair<Value, std::string>> invalid = {
        {Value::null(), "NSNull"},
        {Value(Array{Value(1), Value(Set{Value(1)})}), "NSSet"},
        {Value(Dictionary{{"e", Error("d", 1).boxed()}}), "NSError"},
        {Value(), "nil"},
    };
    for (const auto& [value, type] : invalid) {
        for (auto format : {PropertyListFormat::XML, PropertyListFormat::Binary}) {
            EXPECT_FALSE(PropertyListSerialization::propertyListIsValidForFormat(value, format));
            Error error(std::string(), 0);
            EXPECT_FALSE(PropertyListSerialization::dataWithPropertyList(value, format, &error));
            EXPECT_EQ(error.code(), PropertyListWriteInvalidError);
            EXPECT_NE(error.userInfo()[DebugDescriptionErrorKey].asString().find(type), std::string_view::npos);
        }
    }
    // What XML cannot carry is still fine in binary.
    for (const Value& v : {Value("bell\x07"), Value(std::string_view("nul\0", 4)), Value("\xC3"),
                           Value(Date::fromTimeIntervalSince1970(1e12)),
                           Value(Date::fromTimeIntervalSince1970(std::numeric_limits<double>::quiet_NaN())),
                           Value(Dictionary{{"\x01", Value(1)}})}) {
        EXPECT_FALSE(PropertyListSerialization::propertyListIsValidForFormat(v, PropertyListFormat::XML));
        auto data = PropertyListSerialization::dataWithPropertyList(v, PropertyListFormat::Binary, nullptr);
        ASSERT_TRUE(data);
        EXPECT_FALSE(read(data->toString()).isNil());
    }
    // Keyed-archive references are valid in both formats; the OpenStep format is checked but not written.
    EXPECT_TRUE(PropertyListSerialization::propertyListIsValidForFormat(PropertyListUID::make(3), PropertyListFormat::XML));
    auto uid = PropertyListSerialization::dataWithPropertyList(PropertyListUID::make(3), PropertyListFormat::XML, nullptr);
    ASSERT_TRUE(uid);
    EXPECT_EQ(PropertyListUID::valueOf(read(uid->toString())), 3u);
    EXPECT_TRUE(PropertyListSerialization::propertyListIsValidForFormat(Value(Array{Value("a")}), PropertyListFormat::OpenStep));
    EXPECT_FALSE(PropertyListSerialization::propertyListIsValidForFormat(Value(Array{Value(1)}), PropertyListFormat::OpenStep));
    EXPECT_FALSE(PropertyListSerialization::dataWithPropertyList(Value("a"), PropertyListFormat::OpenStep, nullptr));
}

TEST(PropertyList, NestingIsCappedTheSameWayEverywhere) {
    const int cap = static_cast<int>(PropertyListSerialization::kMaxDepth);
    for (auto format : {PropertyListFormat::XML, PropertyListFormat::Binary}) {
        auto data = PropertyListSerialization::dataWithPropertyList(nested(cap, Value(1)), format, nullptr);
        ASSERT_TRUE(data);
        EXPECT_FALSE(read(data->toString()).isNil());
        EXPECT_FALSE(PropertyListSerialization::dataWithPropertyList(nested(cap + 1, Value(1)), format, nullptr));
    }
    std::string open, close;
    for (int i = 0; i <= cap; ++i) open += "<array>", close += "</array>";
    EXPECT_NE(refusal(xml(open + close)).find("nested too deeply"), std::string::npos);

    // A chain of 100,000 arrays, each holding the next.
    std::vector<std::string> chain;
    for (std::uint64_t i = 0; i < 100000; ++i) chain.push_back(i + 1 < 100000 ? "\xA1" + ref(i + 1, 4) : "\xA0");
    EXPECT_NE(refusal(bplist(chain, 0, 4)).find("nested too deeply"), std::string::npos);

    // A shared subtree, 150 deep, read first near the top and then again below 100 more levels.
    std::vector<std::string> shared(251);
    auto a = [](int k) { return k == 0 ? 1 : 2 + k; };
    auto b = [](int k) { return k == 0 ? 2 : 151 + k; };
    shared[0] = "\xA2" + ref(1, 2) + ref(2, 2);
    for (int k = 0; k < 150; ++k) shared[a(k)] = k < 149 ? "\xA1" + ref(a(k + 1), 2) : "\xA0";
    for (int k = 0; k < 100; ++k) shared[b(k)] = "\xA1" + ref(k < 99 ? b(k + 1) : a(0), 2);
    EXPECT_NE(refusal(bplist(shared, 0, 2)).find("nested too deeply"), std::string::npos);
}

TEST(PropertyList, HostileBinaryInputIsRefused) {
    // Shared references: each array holds the next one twice, 2^40 nodes once expanded.
    std::vector<std::string> doubling;
    for (int i = 0; i < 40; ++i) doubling.push_back(std::string("\xA2") + ref(i + 1) + ref(i + 1));
    doubling.push_back("\xA0");
    EXPECT_NE(refusal(bplist(doubling)).find("expanded"), std::string::npos);
    // One kilobyte of data referenced 100,000 times: 100 MB once expanded.
    const std::string blob = "\x4F\x11" + bigEndian(1000, 2) + std::string(1000, 'x');
    EXPECT_NE(refusal(bplist({"\xAF\x12" + bigEndian(100000, 4) + std::string(100000, '\x01'), blob})).find("expanded"),
              std::string::npos);

    const std::vector<std::pair<std::string, std::string>> cases = {
        {bplist({"\xA1\x00"s}), "refers to itself"},
        {bplist({"\xA1\x01", "\xA1\x00"s}), "refers to itself"},
        {bplist({"\xD1\x00\x00"s}), "refers to itself"},
        {bplist({"\xA1\x09"}), "out of range"},
        {bplist({"\xA0"}, 1), "no top object"},
        {bplist({"\xA0"}, 0, 1, 0), "no top object"},
        {bplist({"\xA0"}, 0, 1, std::uint64_t{1} << 60), "offset table"},
        {bplist({"\xA0"}, 0, 1, std::nullopt, 1'000'000), "offset table"},
        {bplist({"\xA0"}, 0, 3), "size"},
        {bplist({"\xAF\x13" + bigEndian(std::uint64_t{1} << 62, 8)}), "truncated"},
        {bplist({"\x5F\x13" + bigEndian(~0ull, 8) + "abc"}), "truncated"},
        {bplist({"\x6F\x13" + bigEndian(~0ull >> 1, 8)}), "truncated"},
        {bplist({"\x4F\x10"}), "truncated"},
        {bplist({"\x13\x00\x01"s}), "truncated"},
        {bplist({"\xD1\x01\x02", "\x10\x01", "\x10\x02"}), "key is not a text"},
        {bplist({"\xC1\x01", "\x10\x01"}), "unsupported object type"},
        {bplist({"\x00"s}), "unsupported object type"},
        {bplist({"\x52\xC3\xA9"}), "non-ASCII"},
        {bplist({"\x14" + bigEndian(1, 8) + bigEndian(0, 8)}), "integer out of range"},
        {bplist({"\x8F" + std::string(16, '\x01')}), "reference size"},
        {"bplist00", "too short"},
        {"bplist01" + std::string(40, '\0'), "version"},
    };
    for (const auto& [bytes, reason] : cases)
        EXPECT_NE(refusal(bytes).find(reason), std::string::npos) << refusal(bytes);

    // Every truncation of a valid list is refused.
    auto data = PropertyListSerialization::dataWithPropertyList(plistCorpus(), PropertyListFormat::Binary, nullptr);
    ASSERT_TRUE(data);
    for (std::size_t n = 0; n < data->length(); n += 7) EXPECT_TRUE(read(data->view().substr(0, n)).isNil()) << n;
}

TEST(PropertyList, MalformedXMLIsRefused) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "zero-length"},
        {"hello", "line 1"},
        {"{\"json\": true}", "line 1"},
        {xml("<dict><key>a</key></dict>"), "Value missing for key"},
        {xml("<dict><string>a</string><string>b</string></dict>"), "non-key"},
        {xml("<array>text<true/></array>"), "character data"},
        {xml("<set/>"), "unknown tag <set>"},
        {xml("<integer>12a</integer>"), "Malformed <integer>"},
        {xml("<integer></integer>"), "Malformed <integer>"},
        {xml("<integer>18446744073709551616</integer>"), "out of range"},
        {xml("<integer>-9223372036854775809</integer>"), "out of range"},
        {xml("<real>1.5.5</real>"), "Malformed <real>"},
        {xml("<real>1e999</real>"), "out of range"},
        {xml("<date>2015-02-29T00:00:00Z</date>"), "Malformed <date>"},
        {xml("<date>2015-03-04 05:06:07</date>"), "Malformed <date>"},
        {xml("<data>####</data>"), "base64"},
        {xml("<true>yes</true>"), "character data"},
        {xml("<string>a<b/></string>"), "Unexpected content"},
        {xml("<string>a</string><string>b</string>"), "More than one value"},
        {xml(""), "Empty <plist>"},
        {"<!DOCTYPE plist [<!ENTITY e \"boom\">]><plist><string>&e;</string></plist>", "Unexpected content"},
        {"<plist><string>unclosed</plist>", "line 1"},
    };
    for (const auto& [bytes, reason] : cases) EXPECT_NE(refusal(bytes).find(reason), std::string::npos) << refusal(bytes);

    // Truncations of a valid list are refused up to its closing tag.
    auto data = PropertyListSerialization::dataWithPropertyList(plistCorpus(), PropertyListFormat::XML, nullptr);
    ASSERT_TRUE(data);
    const std::size_t end = data->view().rfind("</plist>");
    for (std::size_t n = 0; n < end; n += 97) EXPECT_TRUE(read(data->view().substr(0, n)).isNil()) << n;
}
