#include <gtest/gtest.h>
#include <httplib.h>

#include "platform/foundation/Base64.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/graphics/ImageSource.h"
#include "tools/standin-service/StandinService.h"

using namespace ql;
using namespace ql::standin;

namespace {

class ServicePicturesTest : public ::testing::Test {
protected:
    StandinService service;
    httplib::Client client{"127.0.0.1", service.port()};

    httplib::Result get(const std::string& path, const httplib::Headers& headers = {}) {
        return client.Get(path.c_str(), headers);
    }
    static std::shared_ptr<const cg::Image> decoded(const std::string& body) { return cg::decodeImage(ns::Data(body)); }
};

TEST_F(ServicePicturesTest, CoversAreDrawnOncePerBookAndRevalidate) {
    auto cover = get("/Upload/Book/1.jpg");
    ASSERT_TRUE(cover);
    EXPECT_EQ(cover->status, 200);
    EXPECT_EQ(cover->get_header_value("Content-Type"), "image/jpeg");
    const auto image = decoded(cover->body);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 240);
    EXPECT_EQ(image->height(), 320);
    const std::string etag = cover->get_header_value("ETag");
    const std::string modified = cover->get_header_value("Last-Modified");
    EXPECT_EQ(etag.front(), '"');
    EXPECT_TRUE(modified.ends_with(" GMT"));
    EXPECT_EQ(cover->get_header_value("Cache-Control"), "no-cache");

    // The same picture every time, and a client holding it is told so without a body.
    auto again = get("/Upload/Book/1.jpg");
    EXPECT_EQ(again->body, cover->body);
    EXPECT_EQ(again->get_header_value("ETag"), etag);
    auto unchanged = get("/Upload/Book/1.jpg", {{"If-None-Match", etag}});
    EXPECT_EQ(unchanged->status, 304);
    EXPECT_TRUE(unchanged->body.empty());
    EXPECT_EQ(unchanged->get_header_value("ETag"), etag);
    EXPECT_EQ(get("/Upload/Book/1.jpg", {{"If-None-Match", "\"other\", " + etag}})->status, 304);
    EXPECT_EQ(get("/Upload/Book/1.jpg", {{"If-Modified-Since", modified}})->status, 304);
    EXPECT_EQ(get("/Upload/Book/1.jpg", {{"If-None-Match", "\"other\""}, {"If-Modified-Since", modified}})->status, 200);

    // Each book has a cover of its own.
    auto other = get("/Upload/Book/2.jpg");
    ASSERT_EQ(other->status, 200);
    EXPECT_NE(other->body, cover->body);
    EXPECT_NE(other->get_header_value("ETag"), etag);
    EXPECT_EQ(get("/Upload/Book/999.jpg")->status, 404);
}

TEST_F(ServicePicturesTest, StudentsHavePhotosAndUploadsAreServedAsSent) {
    auto photo = get("/Upload/Photo/1001.jpg");
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->status, 200);
    const auto image = decoded(photo->body);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 160);

    // An uploaded photo replaces the drawn one under a new path and comes back byte for byte.
    const std::string sent = "\xff\xd8\xff\xe0 uploaded picture";
    auto reply = client.Post("/Mobile/PhotoUpdate",
                             httplib::Params{{"uid", "1001"}, {"imagedata", ns::base64EncodedString(ns::Data(sent))}});
    ASSERT_TRUE(reply);
    const ns::Value json = ns::JSONSerialization::JSONObjectWithData(reply->body, 0, nullptr);
    const std::string url(json["photo"].asString());
    ASSERT_TRUE(url.starts_with(service.baseURL() + "Upload/Photo/1001-"));
    auto uploaded = get("/" + url.substr(service.baseURL().size()));
    ASSERT_EQ(uploaded->status, 200);
    EXPECT_EQ(uploaded->body, sent);
    EXPECT_EQ(get("/" + url.substr(service.baseURL().size()), {{"If-None-Match", uploaded->get_header_value("ETag")}})->status,
              304);
}

}  // namespace
