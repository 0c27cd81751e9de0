#include <gtest/gtest.h>

#include "net/NetCompoundResponseSerializer.h"
#include "net/NetHTTPResponseSerializer.h"
#include "net/NetImageResponseSerializer.h"
#include "net/NetJSONResponseSerializer.h"
#include "net/NetPropertyListResponseSerializer.h"
#include "net/NetStringEncoding.h"
#include "net/NetXMLParserResponseSerializer.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/XMLParser.h"
#include "platform/graphics/ImageEncoding.h"

namespace ql {
namespace {

const ns::URL kURL = *ns::URL::fromString("http://127.0.0.1/Mobile/GetBookList");

std::shared_ptr<ns::URLResponse> reply(std::int64_t status, std::optional<std::string> contentType) {
    ns::HTTPHeaderFields fields;
    if (contentType) fields.set("Content-Type", *contentType);
    return std::make_shared<ns::HTTPURLResponse>(kURL, status, "HTTP/1.1", fields);
}

struct Parsed {
    ns::Value object;
    std::optional<ns::Error> error;
};

Parsed parse(const NetURLResponseSerialization& serializer, const std::shared_ptr<ns::URLResponse>& response,
             const std::optional<ns::Data>& data) {
    Parsed parsed;
    parsed.object = serializer.responseObjectForResponse(response, data, &parsed.error);
    return parsed;
}

std::optional<ns::Error> underlying(const ns::Error& error) {
    return ns::Error::fromValue(error.userInfo()[ns::UnderlyingErrorKey]);
}

const ns::Data kJSON("{\"result\":1,\"msg\":\"ok\"}");

TEST(NetJSONResponseSerializer, AcceptsJSONRepliesAndRefusesOthersWithTheExactTexts) {
    auto json = NetJSONResponseSerializer::serializer();
    Parsed ok = parse(*json, reply(200, "application/json; charset=utf-8"), kJSON);
    EXPECT_FALSE(ok.error);
    EXPECT_EQ(ok.object, ns::Value(ns::Dictionary{{"result", ns::Value(1)}, {"msg", ns::Value("ok")}}));
    for (const char* type : {"text/json", "text/javascript"}) EXPECT_FALSE(parse(*json, reply(201, type), kJSON).error);

    Parsed html = parse(*json, reply(200, "text/html"), kJSON);
    EXPECT_TRUE(html.object.isNil());
    ASSERT_TRUE(html.error);
    EXPECT_EQ(html.error->domain(), "com.varnholt.error.serialization.response");
    EXPECT_EQ(html.error->code(), -1016);
    EXPECT_EQ(html.error->localizedDescription(), "Request failed: unacceptable content-type: text/html");
    EXPECT_EQ(*html.error->userInfo()["com.varnholt.serialization.response.error.data"].asData(), kJSON);
    EXPECT_TRUE(html.error->userInfo()["com.varnholt.serialization.response.error.response"].asObject<ns::HTTPURLResponse>());
    EXPECT_EQ(ns::URL::fromValue(html.error->userInfo()[ns::URLErrorFailingURLErrorKey]), kURL);

    // A refused status still parses a JSON body; the caller must treat the error as failure.
    Parsed failed = parse(*json, reply(500, "application/json"), kJSON);
    EXPECT_EQ(failed.object["result"].int64Value(), 1);
    ASSERT_TRUE(failed.error);
    EXPECT_EQ(failed.error->code(), -1011);
    EXPECT_EQ(failed.error->localizedDescription(),
              "Request failed: " + ns::HTTPURLResponse::localizedStringForStatusCode(500) + " (500)");
    EXPECT_EQ(*failed.error->userInfo()["com.varnholt.serialization.response.error.data"].asData(), kJSON);
    EXPECT_FALSE(underlying(*failed.error));

    Parsed both = parse(*json, reply(404, "text/html"), ns::Data("<html>"));
    EXPECT_TRUE(both.object.isNil());
    ASSERT_TRUE(both.error);
    EXPECT_EQ(both.error->code(), -1011);
    ASSERT_TRUE(underlying(*both.error));
    EXPECT_EQ(underlying(*both.error)->code(), -1016);
    EXPECT_TRUE(NetErrorChainContainsDecodeFailure(both.error));
    EXPECT_FALSE(NetErrorChainContainsDecodeFailure(failed.error));

    // Without an error out-parameter a refused reply gives nothing at all.
    EXPECT_TRUE(json->responseObjectForResponse(reply(500, "application/json"), kJSON, nullptr).isNil());
    EXPECT_FALSE(json->validateResponse(reply(500, "application/json"), kJSON, nullptr));
}

TEST(NetJSONResponseSerializer, EmptyAndBlankBodiesGiveNothingQuietlyButUndecodableOnesFail) {
    auto json = NetJSONResponseSerializer::serializer();
    for (const std::optional<ns::Data>& body : {std::optional<ns::Data>(ns::Data(" ")), std::optional<ns::Data>(ns::Data()),
                                                std::optional<ns::Data>()}) {
        Parsed parsed = parse(*json, reply(200, "application/json"), body);
        EXPECT_TRUE(parsed.object.isNil());
        EXPECT_FALSE(parsed.error);
    }
    // A body that is no text in its encoding (here a gzip stream handed on undecoded, and bytes that are
    // no UTF-8) is a failure, never a success without an object.
    const ns::Data gzipped(std::string_view("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xab\x56\x2a\x4a\x2d", 15));
    for (const ns::Data& body : {gzipped, ns::Data("\xff\xfe")}) {
        Parsed parsed = parse(*json, reply(200, "application/json"), body);
        EXPECT_TRUE(parsed.object.isNil());
        ASSERT_TRUE(parsed.error);
        EXPECT_EQ(parsed.error->domain(), "com.varnholt.error.serialization.response");
        EXPECT_EQ(parsed.error->code(), -1016);
        EXPECT_EQ(parsed.error->localizedDescription(), "Data failed decoding as a UTF-8 string");
        EXPECT_EQ(*parsed.error->userInfo()["com.varnholt.serialization.response.error.data"].asData(), body);
        EXPECT_TRUE(NetErrorChainContainsDecodeFailure(parsed.error));
    }
    // The same under a refused status, beneath which the validation error hangs; and with no reply at all.
    Parsed refused = parse(*json, reply(500, "application/json"), gzipped);
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->code(), -1016);
    ASSERT_TRUE(underlying(*refused.error));
    EXPECT_EQ(underlying(*refused.error)->code(), -1011);
    Parsed bare = parse(*json, nullptr, gzipped);
    ASSERT_TRUE(bare.error);
    EXPECT_EQ(bare.error->code(), -1016);
    // A wrong type with no body makes no error; the empty body then parses to nothing.
    Parsed empty = parse(*json, reply(200, "text/html"), ns::Data());
    EXPECT_TRUE(empty.object.isNil());
    EXPECT_FALSE(empty.error);

    // Text that is no JSON reports the reader's error over the validation error.
    Parsed garbage = parse(*json, reply(404, "application/json"), ns::Data("{oops"));
    EXPECT_TRUE(garbage.object.isNil());
    ASSERT_TRUE(garbage.error);
    EXPECT_EQ(garbage.error->domain(), ns::CocoaErrorDomain);
    EXPECT_EQ(garbage.error->code(), ns::PropertyListReadCorruptError);
    ASSERT_TRUE(underlying(*garbage.error));
    EXPECT_EQ(underlying(*garbage.error)->code(), -1011);
}

TEST(NetJSONResponseSerializer, CharsetsDecideTheTextEncodingAndNullsCanBeDropped) {
    const std::string text = "{\"msg\":\"你好，世界\"}";
    auto gbk = NetEncodeText(text, NetGBKStringEncoding);
    ASSERT_TRUE(gbk);
    ASSERT_NE(gbk->toString(), text);
    auto json = NetJSONResponseSerializer::serializer();
    EXPECT_EQ(parse(*json, reply(200, "application/json; charset=gbk"), *gbk).object["msg"].asString(), "你好，世界");
    EXPECT_TRUE(parse(*json, reply(200, "application/json"), *gbk).object.isNil());
    EXPECT_EQ(parse(*json, reply(200, "application/json; charset=x-unknown"), ns::Data(text)).object["msg"].asString(),
              "你好，世界");
    auto utf16 = NetEncodeText(text, NetUTF16LittleEndianStringEncoding);
    EXPECT_EQ(parse(*json, reply(200, "application/json; charset=UTF-16LE"), *utf16).object["msg"].asString(), "你好，世界");

    const ns::Data nulls("{\"a\": null, \"b\": [null, {\"c\": null}]}");
    json->setRemovesKeysWithNullValues(true);
    const ns::Value cleaned = parse(*json, reply(200, "application/json"), nulls).object;
    EXPECT_EQ(cleaned, ns::Value(ns::Dictionary{{"b", ns::Value(ns::Array{ns::Value::null(), ns::Value(ns::Dictionary{})})}}));
    EXPECT_FALSE(cleaned.isMutable());
    json->setReadingOptions(ns::JSONReadingMutableContainers);
    const ns::Value mutableCleaned = parse(*json, reply(200, "application/json"), nulls).object;
    EXPECT_TRUE(mutableCleaned.isMutable());
    EXPECT_TRUE(mutableCleaned["b"].isMutable());
    EXPECT_EQ(NetJSONObjectWithoutNulls(ns::Value("leaf"), 0), ns::Value("leaf"));
}

TEST(NetHTTPResponseSerializer, BaseValidatesButAlwaysHandsBackTheData) {
    auto base = NetHTTPResponseSerializer::serializer();
    EXPECT_FALSE(base->acceptableContentTypes());
    Parsed any = parse(*base, reply(299, "anything/at-all"), ns::Data("x"));
    EXPECT_EQ(*any.object.asData(), ns::Data("x"));
    EXPECT_FALSE(any.error);
    Parsed refused = parse(*base, reply(300, std::nullopt), ns::Data("x"));
    EXPECT_EQ(*refused.object.asData(), ns::Data("x"));
    EXPECT_EQ(refused.error->code(), -1011);
    EXPECT_TRUE(parse(*base, reply(200, std::nullopt), std::nullopt).object.isNil());

    // Replies that are no HTTP replies, and no reply at all, are always acceptable.
    auto plain = std::make_shared<ns::URLResponse>(kURL, "text/html", 1, std::nullopt);
    auto json = NetJSONResponseSerializer::serializer();
    EXPECT_TRUE(json->validateResponse(plain, kJSON, nullptr));
    EXPECT_TRUE(json->validateResponse(nullptr, kJSON, nullptr));
    EXPECT_EQ(parse(*json, nullptr, kJSON).object["msg"].asString(), "ok");

    json->setAcceptableStatusCodes(std::nullopt);
    json->setAcceptableContentTypes(std::nullopt);
    EXPECT_FALSE(parse(*json, reply(503, "text/plain"), kJSON).error);

    const ns::Error outer("outer", 1), inner("inner", 2), deepest("deepest", 3);
    EXPECT_EQ(NetErrorAddingUnderlyingError(std::nullopt, inner), inner);
    EXPECT_EQ(NetErrorAddingUnderlyingError(outer, std::nullopt), outer);
    auto chained = NetErrorAddingUnderlyingError(outer, inner);
    EXPECT_EQ(underlying(*chained), inner);
    EXPECT_EQ(underlying(*NetErrorAddingUnderlyingError(chained, deepest)), inner);
}

TEST(NetResponseSerializers, ArchivesKeepSettingsButCopiesOfSubclassesStartFromDefaults) {
    auto json = NetJSONResponseSerializer::serializerWithReadingOptions(ns::JSONReadingMutableContainers);
    json->setRemovesKeysWithNullValues(true);
    json->setAcceptableContentTypes(NetHTTPResponseSerializer::ContentTypes{"text/html"});
    json->setAcceptableStatusCodes(NetHTTPResponseSerializer::StatusCodes{200, 204});
    ns::Error error("", 0);
    auto data = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(json), &error);
    ASSERT_TRUE(data) << error.description();
    auto decoded = ns::KeyedUnarchiver::unarchivedObjectOfClass(NetHTTPResponseSerializer::classObject(), *data, &error)
                       .asObject<NetJSONResponseSerializer>();
    ASSERT_TRUE(decoded) << error.description();
    EXPECT_EQ(decoded->readingOptions(), ns::JSONReadingMutableContainers);
    EXPECT_TRUE(decoded->removesKeysWithNullValues());
    EXPECT_EQ(decoded->acceptableContentTypes(), json->acceptableContentTypes());
    EXPECT_EQ(decoded->acceptableStatusCodes(), json->acceptableStatusCodes());

    auto copy = std::dynamic_pointer_cast<NetJSONResponseSerializer>(json->copy());
    ASSERT_TRUE(copy);
    EXPECT_TRUE(copy->removesKeysWithNullValues());
    EXPECT_EQ(copy->acceptableContentTypes(), NetJSONResponseSerializer().acceptableContentTypes());
    auto base = NetHTTPResponseSerializer::serializer();
    base->setAcceptableContentTypes(NetHTTPResponseSerializer::ContentTypes{"a/b"});
    EXPECT_EQ(std::dynamic_pointer_cast<NetHTTPResponseSerializer>(base->copy())->acceptableContentTypes(),
              base->acceptableContentTypes());

    auto compound = NetCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
        {NetJSONResponseSerializer::serializer(), NetImageResponseSerializer::serializer()});
    data = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(compound), &error);
    ASSERT_TRUE(data) << error.description();
    auto decodedCompound = ns::KeyedUnarchiver::unarchivedObjectOfClass(NetHTTPResponseSerializer::classObject(), *data, &error)
                               .asObject<NetCompoundResponseSerializer>();
    ASSERT_TRUE(decodedCompound) << error.description();
    ASSERT_EQ(decodedCompound->responseSerializers().size(), 2u);
    EXPECT_TRUE(std::dynamic_pointer_cast<NetImageResponseSerializer>(decodedCompound->responseSerializers()[1]));
}

TEST(NetPropertyListResponseSerializer, ReadsPropertyListsAndReportsJunk) {
    auto plist = NetPropertyListResponseSerializer::serializer();
    const ns::Value value(ns::Dictionary{{"a", ns::Value("b")}, {"n", ns::Value(3)}});
    auto xml = ns::PropertyListSerialization::dataWithPropertyList(value, ns::PropertyListFormat::XML, nullptr);
    auto binary = ns::PropertyListSerialization::dataWithPropertyList(value, ns::PropertyListFormat::Binary, nullptr);
    EXPECT_EQ(parse(*plist, reply(200, "application/x-plist"), *xml).object, value);
    EXPECT_EQ(parse(*plist, reply(200, "application/x-plist"), *binary).object, value);
    Parsed junk = parse(*plist, reply(200, "application/x-plist"), ns::Data("junk"));
    EXPECT_TRUE(junk.object.isNil());
    EXPECT_EQ(junk.error->code(), ns::PropertyListReadCorruptError);
    EXPECT_EQ(parse(*plist, reply(200, "application/json"), *xml).error->code(), -1016);
}

ns::Data png(int width, int height, bool alpha) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                                      alpha ? 0x80402010u : 0xFF336699u);
    cg::ImageLayout layout;
    layout.alphaInfo = alpha ? cg::ImageAlphaInfo::PremultipliedFirst : cg::ImageAlphaInfo::NoneSkipFirst;
    return *cg::encodePNG(*cg::Image::create(width, height, std::move(pixels), layout));
}

// Two 1×1 frames, black then white, a tenth of a second each.
ns::Data animatedGIF() {
    const std::uint8_t bytes[] = {
        'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0,        // screen with a two-colour table
        0, 0, 0, 0xFF, 0xFF, 0xFF,                                      //
        0x21, 0xF9, 4, 0, 10, 0, 0, 0,                                  // frame 1
        0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0,           //
        0x21, 0xF9, 4, 0, 10, 0, 0, 0,                                  // frame 2
        0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x4C, 0x01, 0,           //
        0x3B,
    };
    return ns::Data(bytes, sizeof bytes);
}

std::shared_ptr<ui::Image> image(const Parsed& parsed) { return parsed.object.asObject<ui::Image>(); }

TEST(NetImageResponseSerializer, DecodesAtTheScaleAndInflatesUpToAMegapixel) {
    auto serializer = NetImageResponseSerializer::serializer();
    EXPECT_EQ(serializer->imageScale(), 2);
    serializer->setImageScale(3);

    auto inflated = image(parse(*serializer, reply(200, "image/png"), png(1024, 1024, true)));
    ASSERT_TRUE(inflated);
    EXPECT_EQ(inflated->scale(), 3);
    EXPECT_EQ(inflated->CGImage()->width(), 1024);
    EXPECT_EQ(inflated->CGImage()->alphaInfo(), cg::ImageAlphaInfo::PremultipliedFirst);
    auto opaque = image(parse(*serializer, reply(200, "image/png"), png(8, 8, false)));
    EXPECT_EQ(opaque->CGImage()->alphaInfo(), cg::ImageAlphaInfo::NoneSkipFirst);
    EXPECT_EQ(opaque->CGImage()->pixel(3, 3), (cg::Image::Pixel{0x33, 0x66, 0x99, 0xFF}));

    auto large = image(parse(*serializer, reply(200, "image/png"), png(1025, 1024, true)));
    ASSERT_TRUE(large);
    EXPECT_EQ(large->scale(), 3);
    EXPECT_EQ(large->CGImage()->alphaInfo(), cg::ImageAlphaInfo::Last);

    serializer->setAutomaticallyInflatesResponseImage(false);
    EXPECT_EQ(image(parse(*serializer, reply(200, "image/png"), png(8, 8, true)))->CGImage()->alphaInfo(),
              cg::ImageAlphaInfo::Last);
    serializer->setAutomaticallyInflatesResponseImage(true);

    for (bool inflate : {true, false}) {
        serializer->setAutomaticallyInflatesResponseImage(inflate);
        auto animated = image(parse(*serializer, reply(200, "image/gif"), animatedGIF()));
        ASSERT_TRUE(animated) << inflate;
        ASSERT_EQ(animated->images().size(), 2u);
        EXPECT_DOUBLE_EQ(animated->duration(), 0.2);
        EXPECT_EQ(animated->images()[1]->CGImage()->pixel(0, 0), (cg::Image::Pixel{0xFF, 0xFF, 0xFF, 0xFF}));
    }

    // A body that is no image is a failure, never a success without an object.
    for (bool inflate : {true, false}) {
        serializer->setAutomaticallyInflatesResponseImage(inflate);
        Parsed notAnImage = parse(*serializer, reply(200, "image/png"), ns::Data("not a png"));
        EXPECT_TRUE(notAnImage.object.isNil());
        ASSERT_TRUE(notAnImage.error) << inflate;
        EXPECT_EQ(notAnImage.error->domain(), "com.varnholt.error.serialization.response");
        EXPECT_EQ(notAnImage.error->code(), -1016);
        EXPECT_EQ(notAnImage.error->localizedDescription(), "Data failed decoding as an image");
        EXPECT_TRUE(NetErrorChainContainsDecodeFailure(notAnImage.error));
    }
    Parsed noBody = parse(*serializer, reply(200, "image/png"), ns::Data());
    EXPECT_TRUE(noBody.object.isNil());
    EXPECT_FALSE(noBody.error);
    EXPECT_EQ(parse(*serializer, reply(200, "text/html"), png(2, 2, false)).error->code(), -1016);
    EXPECT_FALSE(NetInflatedImageFromData(reply(200, "image/png"), ns::Data(), 1));
    EXPECT_FALSE(NetInflatedImageFromData(reply(200, "image/png"), std::nullopt, 1));
}

TEST(NetCompoundResponseSerializer, TheFirstMemberThatMakesAnObjectWins) {
    auto compound = NetCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
        {NetJSONResponseSerializer::serializer(), NetImageResponseSerializer::serializer()});
    EXPECT_TRUE(image(parse(*compound, reply(200, "image/png"), png(4, 4, false))));
    Parsed json = parse(*compound, reply(200, "application/json"), kJSON);
    EXPECT_EQ(json.object["msg"].asString(), "ok");
    EXPECT_FALSE(json.error);

    Parsed text = parse(*compound, reply(200, "text/plain"), ns::Data("plain"));
    EXPECT_EQ(*text.object.asData(), ns::Data("plain"));
    EXPECT_FALSE(text.error);
    // A member's error travels with its object.
    Parsed failed = parse(*compound, reply(500, "application/json"), kJSON);
    EXPECT_EQ(failed.object["result"].int64Value(), 1);
    EXPECT_EQ(failed.error->code(), -1011);
}

// Collects the names of the elements a parser reports.
class ElementNames : public ns::XMLParserDelegate {
public:
    std::vector<std::string> names;
    void parserDidStartElement(ns::XMLParser&, std::string_view name, std::optional<std::string_view>,
                               std::optional<std::string_view>, const ns::Dictionary&) override {
        names.emplace_back(name);
    }
};

TEST(NetXMLParserResponseSerializer, HandsBackAnUnstartedParserForXMLReplies) {
    auto xml = NetXMLParserResponseSerializer::serializer();
    const ns::Data body("<books><book/><book/></books>");
    for (const char* type : {"application/xml", "text/xml; charset=utf-8"}) {
        Parsed parsed = parse(*xml, reply(200, type), body);
        EXPECT_FALSE(parsed.error) << type;
        auto parser = parsed.object.asObject<ns::XMLParser>();
        ASSERT_TRUE(parser) << type;
        EXPECT_EQ(parser->className(), "NSXMLParser");
        EXPECT_FALSE(parser->parserError());
        auto names = std::make_shared<ElementNames>();
        parser->setDelegate(names);
        EXPECT_TRUE(parser->parse());
        EXPECT_EQ(names->names, (std::vector<std::string>{"books", "book", "book"}));
    }

    Parsed json = parse(*xml, reply(200, "application/json"), body);
    EXPECT_TRUE(json.object.isNil());
    ASSERT_TRUE(json.error);
    EXPECT_EQ(json.error->code(), -1016);
    EXPECT_EQ(json.error->localizedDescription(), "Request failed: unacceptable content-type: application/json");
    // A refused status alone still gives the parser, with the status error.
    Parsed failed = parse(*xml, reply(500, "text/xml"), body);
    EXPECT_TRUE(failed.object.asObject<ns::XMLParser>());
    EXPECT_EQ(failed.error->code(), -1011);
    EXPECT_TRUE(xml->responseObjectForResponse(reply(500, "text/xml"), body, nullptr).isNil());
    EXPECT_TRUE(parse(*xml, reply(200, "text/xml"), std::nullopt).object.isNil());

    // Archives keep the settings; a copy keeps them too, since the class adds none of its own.
    xml->setAcceptableContentTypes(NetHTTPResponseSerializer::ContentTypes{"application/rss+xml"});
    xml->setAcceptableStatusCodes(NetHTTPResponseSerializer::StatusCodes{200});
    ns::Error error("", 0);
    auto data = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(xml), &error);
    ASSERT_TRUE(data) << error.description();
    auto decoded = ns::KeyedUnarchiver::unarchivedObjectOfClass(NetHTTPResponseSerializer::classObject(), *data, &error)
                       .asObject<NetXMLParserResponseSerializer>();
    ASSERT_TRUE(decoded) << error.description();
    EXPECT_EQ(decoded->acceptableContentTypes(), xml->acceptableContentTypes());
    EXPECT_EQ(decoded->acceptableStatusCodes(), xml->acceptableStatusCodes());
    auto copy = std::dynamic_pointer_cast<NetXMLParserResponseSerializer>(xml->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->acceptableContentTypes(), xml->acceptableContentTypes());
    EXPECT_EQ(copy->acceptableStatusCodes(), xml->acceptableStatusCodes());
}

}  // namespace
}  // namespace ql
