#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <regex>

#include <unistd.h>

#include "net/NetHTTPRequestSerializer.h"
#include "net/NetMultipartFormData.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/URLError.h"

namespace ql {
namespace {

namespace fs = std::filesystem;

// A folder of its own for each test, removed afterwards.
class TemporaryFolder {
public:
    TemporaryFolder() : path_(fs::temp_directory_path() / ("net-multipart-" + std::to_string(::getpid()) + "-" +
                                                          std::to_string(counter()++))) {
        fs::create_directories(path_);
    }
    ~TemporaryFolder() { fs::remove_all(path_); }
    std::string file(const std::string& name, const std::string& contents) const {
        const std::string path = (path_ / name).string();
        std::ofstream(path, std::ios::binary) << contents;
        return path;
    }
    std::string path(const std::string& name) const { return (path_ / name).string(); }

private:
    static int& counter() {
        static int value = 0;
        return value;
    }
    fs::path path_;
};

struct ReadResult {
    std::string bytes;
    bool failed = false;
};

// Everything a stream gives with reads of `size` bytes, until it ends or fails.
ReadResult readAll(ns::InputStream& stream, std::size_t size) {
    ReadResult result;
    std::vector<std::uint8_t> buffer(size);
    stream.open();
    for (;;) {
        const std::int64_t count = stream.read(buffer.data(), size);
        if (count < 0) {
            result.failed = true;
            break;
        }
        if (count == 0) break;
        result.bytes.append(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(count));
    }
    return result;
}

// The body with its random boundary replaced by "B", so that bodies of separate requests compare.
std::string withPlainBoundary(std::string body, const NetMultipartBodyStream& stream) {
    const std::string boundary = stream.HTTPBodyParts().front()->boundary();
    for (std::size_t at = body.find(boundary); at != std::string::npos; at = body.find(boundary, at + 1))
        body.replace(at, boundary.size(), "B");
    return body;
}

std::shared_ptr<NetMultipartBodyStream> bodyStreamOf(const ns::URLRequest& request) {
    return std::dynamic_pointer_cast<NetMultipartBodyStream>(request.HTTPBodyStream());
}

ns::URLRequest multipart(const ns::Value& parameters, const NetHTTPRequestSerializer::ConstructingBodyBlock& block,
                         std::string* boundary = nullptr) {
    auto serializer = NetHTTPRequestSerializer::serializer();
    auto request = serializer->multipartFormRequestWithMethod("POST", "http://h/upload", parameters, block);
    EXPECT_TRUE(request);
    if (boundary && request) {
        const std::string type = request->valueForHTTPHeaderField("Content-Type").value_or("");
        *boundary = type.substr(type.find('=') + 1);
    }
    return request.value_or(ns::URLRequest());
}

TEST(NetMultipartFormData, PartsAreFramedByTheBoundaryAndContentLengthCountsThem) {
    std::string b;
    ns::URLRequest one = multipart(ns::Value(ns::Dictionary{{"k", ns::Value("v")}}), nullptr, &b);
    EXPECT_TRUE(std::regex_match(b, std::regex("Boundary\\+[0-9A-F]{16}"))) << b;
    EXPECT_EQ(one.valueForHTTPHeaderField("Content-Type"), "multipart/form-data; boundary=" + b);
    const std::string expected = "--" + b + "\r\nContent-Disposition: form-data; name=\"k\"\r\n\r\nv\r\n--" + b + "--\r\n";
    EXPECT_EQ(readAll(*bodyStreamOf(one), 1024).bytes, expected);
    EXPECT_EQ(one.valueForHTTPHeaderField("Content-Length"), std::to_string(expected.size()));
    EXPECT_FALSE(one.HTTPBody());

    ns::URLRequest two = multipart(ns::Value(ns::Dictionary{{"a", ns::Value::null()}, {"n", ns::Value(42)}}),
                                   [](NetMultipartFormData& form) {
                                       form.appendPartWithFileData(ns::Data("PNG"), "faceImg", "faceImg", "image/png");
                                   },
                                   &b);
    EXPECT_EQ(readAll(*bodyStreamOf(two), 1024).bytes,
              "--" + b + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n" +
                  "\r\n--" + b + "\r\nContent-Disposition: form-data; name=\"n\"\r\n\r\n42" +
                  "\r\n--" + b + "\r\nContent-Disposition: form-data; name=\"faceImg\"; filename=\"faceImg\"\r\n" +
                  "Content-Type: image/png\r\n\r\nPNG\r\n--" + b + "--\r\n");

    // Names stay unescaped; nested parameters keep their flattened order.
    ns::URLRequest nested = multipart(
        ns::Value(ns::Dictionary{{"a", ns::Value(ns::Dictionary{{"x", ns::Value(ns::Array{ns::Value("1"), ns::Value("2")})}})}}),
        nullptr, &b);
    const std::string body = readAll(*bodyStreamOf(nested), 7).bytes;
    EXPECT_NE(body.find("name=\"a[x][]\"\r\n\r\n1\r\n--" + b + "\r\nContent-Disposition: form-data; name=\"a[x][]\"\r\n\r\n2"),
              std::string::npos);

    // Without parts the request stays a URL-form request.
    ns::URLRequest none = multipart(ns::Value(), nullptr);
    EXPECT_FALSE(none.HTTPBodyStream());
    EXPECT_EQ(none.HTTPBody()->toString(), "");
    EXPECT_EQ(none.valueForHTTPHeaderField("Content-Type"), "application/x-www-form-urlencoded");
}

TEST(NetMultipartFormData, ReadsOfAnySizeGiveTheSameBytesAsContentLengthSays) {
    TemporaryFolder folder;
    std::string large(200'000, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7 + i / 251);
    const std::string file = folder.file("photo.png", large);
    const std::string streamed = "streamed bytes";
    auto build = [&] {
        return multipart(ns::Value(ns::Dictionary{{"userName", ns::Value("学生 1")}, {"uid", ns::Value(7)}}),
                         [&](NetMultipartFormData& form) {
                             EXPECT_TRUE(form.appendPartWithFileURL(ns::URL::fileURLWithPath(file, false), "photo"));
                             form.appendPartWithInputStream(ns::InputStream::inputStreamWithData(ns::Data(streamed)), "s",
                                                            "s.txt", streamed.size(), "");
                             form.appendPartWithFormData(ns::Data(), "empty");
                         });
    };
    std::string reference;
    for (std::size_t size : {std::size_t{1}, std::size_t{4}, std::size_t{7}, std::size_t{1024}, std::size_t{65536},
                             std::size_t{1} << 20}) {
        ns::URLRequest request = build();
        const ReadResult result = readAll(*bodyStreamOf(request), size);
        EXPECT_FALSE(result.failed) << size;
        EXPECT_EQ(std::to_string(result.bytes.size()), request.valueForHTTPHeaderField("Content-Length")) << size;
        const std::string body = withPlainBoundary(result.bytes, *bodyStreamOf(request));
        if (reference.empty()) reference = body;
        EXPECT_EQ(body, reference) << size;
    }
    EXPECT_NE(reference.find("filename=\"photo.png\"\r\nContent-Type: image/png\r\n\r\n" + large + "\r\n"), std::string::npos);
    EXPECT_NE(reference.find("filename=\"s.txt\"\r\n\r\n" + streamed + "\r\n"), std::string::npos);

    // A copy reads the same body again; the original, once read, stays at its end.
    ns::URLRequest request = build();
    auto stream = bodyStreamOf(request);
    const std::string first = readAll(*stream, 999).bytes;
    auto copy = std::dynamic_pointer_cast<NetMultipartBodyStream>(stream->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->contentLength(), stream->contentLength());
    // The caller's stream part cannot be read twice: its copy shares the consumed stream and fails.
    const ReadResult again = readAll(*copy, 999);
    EXPECT_TRUE(again.failed);
    EXPECT_EQ(again.bytes, first.substr(0, again.bytes.size()));
    std::uint8_t byte;
    EXPECT_EQ(stream->read(&byte, 1), 0);
}

TEST(NetMultipartFormData, PacketSizeLimitsHowManyPartsOneReadTakes) {
    std::string b;
    ns::URLRequest request = multipart(ns::Value(ns::Dictionary{{"a", ns::Value("1")}, {"b", ns::Value("2")}}),
                                       [](NetMultipartFormData& form) { form.throttleBandwidthWithPacketSize(16, 0); }, &b);
    auto stream = bodyStreamOf(request);
    EXPECT_EQ(stream->numberOfBytesInPacket(), 16u);
    const std::uint64_t firstPart = stream->HTTPBodyParts()[0]->contentLength();
    ASSERT_GT(firstPart, 16u);
    stream->open();
    std::vector<std::uint8_t> buffer(1024);
    EXPECT_EQ(static_cast<std::uint64_t>(stream->read(buffer.data(), buffer.size())), firstPart);
    EXPECT_EQ(static_cast<std::uint64_t>(stream->read(buffer.data(), buffer.size())), stream->contentLength() - firstPart);
    EXPECT_EQ(stream->read(buffer.data(), buffer.size()), 0);
    EXPECT_TRUE(stream->hasBytesAvailable());
    stream->close();
    EXPECT_EQ(stream->read(buffer.data(), buffer.size()), 0);
}

TEST(NetMultipartFormData, FileURLsAreCheckedAndTypedByExtension) {
    TemporaryFolder folder;
    const ns::URL png = ns::URL::fileURLWithPath(folder.file("photo.png", "x"), false);
    const ns::URL bare = ns::URL::fileURLWithPath(folder.file("README", "y"), false);
    std::string b;
    ns::URLRequest request = multipart(ns::Value(), [&](NetMultipartFormData& form) {
        std::optional<ns::Error> error;
        EXPECT_TRUE(form.appendPartWithFileURL(png, "p", &error));
        EXPECT_TRUE(form.appendPartWithFileURL(bare, "r", &error));
        EXPECT_FALSE(error);

        EXPECT_FALSE(form.appendPartWithFileURL(*ns::URL::fromString("http://h/photo.png"), "x", &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), NetURLRequestSerializationErrorDomain);
        EXPECT_EQ(error->code(), -1000);
        EXPECT_EQ(error->localizedFailureReason(), "Expected URL to be a file URL");

        EXPECT_FALSE(form.appendPartWithFileURL(ns::URL::fileURLWithPath(folder.path("missing.png"), false), "x", &error));
        EXPECT_EQ(error->localizedFailureReason(), "File URL not reachable.");
    }, &b);
    const std::string body = readAll(*bodyStreamOf(request), 64).bytes;
    EXPECT_NE(body.find("name=\"p\"; filename=\"photo.png\"\r\nContent-Type: image/png\r\n\r\nx\r\n"), std::string::npos);
    EXPECT_NE(body.find("name=\"r\"; filename=\"README\"\r\nContent-Type: application/octet-stream\r\n\r\ny\r\n--" + b + "--\r\n"),
              std::string::npos);
    EXPECT_EQ(bodyStreamOf(request)->HTTPBodyParts().size(), 2u);
}

TEST(NetMultipartFormData, PartsThatCannotDeliverTheirBytesFailTheStream) {
    TemporaryFolder folder;
    const std::string file = folder.file("vanishing.bin", std::string(5000, 'v'));
    ns::URLRequest vanished = multipart(ns::Value(ns::Dictionary{{"a", ns::Value("1")}}), [&](NetMultipartFormData& form) {
        form.appendPartWithFileURL(ns::URL::fileURLWithPath(file, false), "f");
    });
    fs::remove(file);
    auto stream = bodyStreamOf(vanished);
    for (std::size_t size : {std::size_t{3}, std::size_t{4096}}) {
        auto copy = std::dynamic_pointer_cast<NetMultipartBodyStream>(stream->copy());
        const ReadResult result = readAll(*copy, size);
        EXPECT_TRUE(result.failed) << size;
        EXPECT_LT(result.bytes.size(), copy->contentLength()) << size;
        EXPECT_EQ(copy->streamStatus(), ns::StreamStatus::Error);
        ASSERT_TRUE(copy->streamError());
        EXPECT_EQ(copy->streamError()->domain(), ns::POSIXErrorDomain);
    }

    // A stream that ends before its announced length fails; one that runs on is cut at it.
    ns::URLRequest shortStream = multipart(ns::Value(), [](NetMultipartFormData& form) {
        form.appendPartWithInputStream(ns::InputStream::inputStreamWithData(ns::Data("0123456789")), "s", "s", 100, "");
    });
    const ReadResult shortResult = readAll(*bodyStreamOf(shortStream), 8);
    EXPECT_TRUE(shortResult.failed);
    EXPECT_EQ(bodyStreamOf(shortStream)->streamError()->code(), ns::URLErrorRequestBodyStreamExhausted);

    std::string b;
    ns::URLRequest longStream = multipart(ns::Value(), [](NetMultipartFormData& form) {
        form.appendPartWithInputStream(ns::InputStream::inputStreamWithData(ns::Data("0123456789")), "s", "s", 4, "");
    }, &b);
    const ReadResult longResult = readAll(*bodyStreamOf(longStream), 5);
    EXPECT_FALSE(longResult.failed);
    EXPECT_EQ(std::to_string(longResult.bytes.size()), longStream.valueForHTTPHeaderField("Content-Length"));
    EXPECT_NE(longResult.bytes.find("\r\n\r\n0123\r\n--" + b + "--\r\n"), std::string::npos);

    // A stream that is already over before the part starts is no silent gap either.
    auto closed = ns::InputStream::inputStreamWithData(ns::Data("abc"));
    closed->open();
    closed->close();
    ns::URLRequest gap = multipart(ns::Value(ns::Dictionary{{"a", ns::Value("1")}}), [&](NetMultipartFormData& form) {
        form.appendPartWithInputStream(closed, "s", "s", 3, "");
    });
    EXPECT_TRUE(readAll(*bodyStreamOf(gap), 1024).failed);
}

TEST(NetMultipartFormData, BodiesAreReadOffTheMainThreadWhileItWaits) {
    TemporaryFolder folder;
    const std::string file = folder.file("f.txt", std::string(100'000, 'f'));
    ns::URLRequest request = multipart(ns::Value(), [&](NetMultipartFormData& form) {
        form.appendPartWithFileURL(ns::URL::fileURLWithPath(file, false), "f");
    });
    auto stream = bodyStreamOf(request);
    ASSERT_TRUE(ns::DispatchQueue::isMainThread());
    // The main thread blocks without running its loop, as a caller waiting for an upload would.
    auto reading = std::async(std::launch::async, [stream] { return readAll(*stream, 4096); });
    ASSERT_EQ(reading.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    const ReadResult result = reading.get();
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(result.bytes.size(), stream->contentLength());
}

// Takes at most three bytes per write, as a file may.
class TrickleOutputStream final : public ns::OutputStream {
public:
    std::int64_t write(const std::uint8_t* buffer, std::size_t length) override {
        if (streamStatus() != ns::StreamStatus::Open) return -1;
        const std::size_t count = std::min<std::size_t>(length, 3);
        written.append(reinterpret_cast<const char*>(buffer), count);
        return static_cast<std::int64_t>(count);
    }
    bool hasSpaceAvailable() const override { return streamStatus() == ns::StreamStatus::Open; }
    std::string written;
};

TEST(NetMultipartFormData, BodiesCopyIntoFilesWholeOrReportWhyNot) {
    TemporaryFolder folder;
    const std::string payload(10'000, 'p');
    auto build = [&](const std::string& file) {
        return multipart(ns::Value(ns::Dictionary{{"k", ns::Value("v")}}), [&](NetMultipartFormData& form) {
            form.appendPartWithFileURL(ns::URL::fileURLWithPath(file, false), "f");
        });
    };
    const std::string source = folder.file("source.txt", payload);
    ns::URLRequest request = build(source);
    auto expectedBody = [](const ns::URLRequest& r) {
        return readAll(*std::dynamic_pointer_cast<NetMultipartBodyStream>(bodyStreamOf(r)->copy()), 4096).bytes;
    };
    const std::string expected = expectedBody(request);
    ASSERT_EQ(std::to_string(expected.size()), request.valueForHTTPHeaderField("Content-Length"));

    auto serializer = NetHTTPRequestSerializer::serializer();
    const ns::URL target = ns::URL::fileURLWithPath(folder.path("body.out"), false);
    std::optional<std::optional<ns::Error>> outcome;
    bool onMain = false;
    ns::URLRequest detached = serializer->requestWithMultipartFormRequest(request, target, [&](const std::optional<ns::Error>& e) {
        onMain = ns::DispatchQueue::isMainThread();
        outcome = e;
    });
    EXPECT_FALSE(detached.HTTPBodyStream());
    EXPECT_EQ(detached.valueForHTTPHeaderField("Content-Length"), request.valueForHTTPHeaderField("Content-Length"));
    ASSERT_TRUE(ns::RunLoop::main()->runUntil([&] { return outcome.has_value(); }, 30));
    EXPECT_TRUE(onMain);
    EXPECT_FALSE(*outcome);
    std::ifstream written(target.path(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), expected);

    // A part that fails while being copied reaches the completion handler.
    const std::string doomed = folder.file("doomed.txt", payload);
    ns::URLRequest failing = build(doomed);
    fs::remove(doomed);
    outcome.reset();
    serializer->requestWithMultipartFormRequest(failing, target, [&](const std::optional<ns::Error>& e) { outcome = e; });
    ASSERT_TRUE(ns::RunLoop::main()->runUntil([&] { return outcome.has_value(); }, 30));
    EXPECT_TRUE(*outcome);

    // Short writes are given the rest of their chunk again.
    TrickleOutputStream trickle;
    ns::URLRequest trickled = build(source);
    EXPECT_FALSE(NetCopyStreamContents(bodyStreamOf(trickled), trickle));
    EXPECT_EQ(trickle.written, expectedBody(trickled));
    EXPECT_EQ(trickle.streamStatus(), ns::StreamStatus::Closed);
}

}  // namespace
}  // namespace ql
