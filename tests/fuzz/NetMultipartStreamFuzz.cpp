// The multipart body stream on parts, packet sizes and read sizes chosen by arbitrary bytes: whatever the
// slicing, it must deliver exactly Content-Length bytes that parse back into the parts appended, or fail
// when a part's stream cannot deliver the bytes it announced; it must never hand out a short body as whole.

#include <cstdint>
#include <string>
#include <vector>

#include "net/NetMultipartFormData.h"
#include "platform/foundation/Stream.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace ql;

namespace {

using fuzz::check;
using fuzz::Input;

// A part name: printable ASCII without quotes, so that header lines stay readable.
std::string partName(Input& input) {
    std::string out;
    for (char c : input.bytes(12)) out += static_cast<char>('a' + static_cast<unsigned char>(c) % 26);
    return out;
}

struct Expected {
    std::string body;       // what the part must carry
    bool delivers = true;   // whether its stream has the bytes it announced
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    NetStreamingMultipartFormData form(ns::URLRequest(ns::URL::fromString("http://h/")), 4);
    std::vector<Expected> parts;
    for (int count = 1 + input.byte() % 5; count > 0; --count) {
        const std::string name = partName(input);
        std::string content = input.bytes(200);
        switch (input.byte() % 3) {
            case 0:
                form.appendPartWithFormData(ns::Data(content), name);
                parts.push_back({content});
                break;
            case 1:
                form.appendPartWithFileData(ns::Data(content), name, name + ".bin", input.byte() % 2 ? "image/png" : "");
                parts.push_back({content});
                break;
            default: {
                // The announced length may be shorter (the rest is cut) or longer (the part fails).
                const int skew = static_cast<int>(input.byte() % 5) - 2;
                const std::size_t announced = static_cast<std::size_t>(
                    std::max<int>(0, static_cast<int>(content.size()) + skew));
                form.appendPartWithInputStream(ns::InputStream::inputStreamWithData(ns::Data(content)), name, name,
                                               announced, "");
                parts.push_back({content.substr(0, announced), announced <= content.size()});
            }
        }
    }
    if (const std::uint8_t packet = input.byte() % 4; packet > 0) form.throttleBandwidthWithPacketSize(packet * 7, 0);
    std::vector<std::size_t> readSizes;
    while (!input.empty() && readSizes.size() < 64) readSizes.push_back(1 + input.byte() % 97);
    if (readSizes.empty()) readSizes.push_back(4096);

    const ns::URLRequest request = form.requestByFinalizingMultipartFormData();
    auto stream = std::dynamic_pointer_cast<NetMultipartBodyStream>(request.HTTPBodyStream());
    check(stream != nullptr);
    const std::uint64_t length = stream->contentLength();
    check(request.valueForHTTPHeaderField("Content-Length") == std::to_string(length));

    std::string body;
    bool failed = false;
    stream->open();
    for (std::size_t n = 0;; ++n) {
        std::vector<std::uint8_t> buffer(readSizes[n % readSizes.size()]);
        const std::int64_t count = stream->read(buffer.data(), buffer.size());
        if (count < 0) {
            failed = true;
            break;
        }
        if (count == 0) break;
        check(static_cast<std::size_t>(count) <= buffer.size());
        body.append(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(count));
        check(body.size() <= length);
    }

    bool allDeliver = true;
    for (const auto& part : parts) allDeliver = allDeliver && part.delivers;
    if (!allDeliver) {
        check(failed && stream->streamError().has_value() && body.size() < length);
        return 0;
    }
    check(!failed && body.size() == length);

    // Parse the body back: boundary, header block, content, for each part in order.
    const std::string boundary = form.boundary();
    std::size_t at = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string opening = (i == 0 ? "" : "\r\n") + std::string("--") + boundary + "\r\n";
        check(body.compare(at, opening.size(), opening) == 0);
        at += opening.size();
        const std::size_t headersEnd = body.find("\r\n\r\n", at);
        check(headersEnd != std::string::npos);
        check(body.compare(at, 38, "Content-Disposition: form-data; name=\"") == 0);
        at = headersEnd + 4;
        check(body.compare(at, parts[i].body.size(), parts[i].body) == 0);
        at += parts[i].body.size();
    }
    const std::string closing = "\r\n--" + boundary + "--\r\n";
    check(body.compare(at, std::string::npos, closing) == 0);
    return 0;
}
