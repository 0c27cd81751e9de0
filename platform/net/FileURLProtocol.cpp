#include "platform/net/FileURLProtocol.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <utility>
#include <vector>

#include "platform/foundation/Text.h"
#include "platform/net/URLError.h"

namespace ql::ns {
namespace {

// Read and handed on piece by piece, so a large file reaches its load as a download does.
constexpr std::size_t kPieceSize = 512 * 1024;

Error fileError(std::int64_t code, const URL& url, const std::string& description) {
    Error error = urlError(code, url);
    Dictionary info = error.userInfo();
    info.set(std::string(LocalizedDescriptionKey), Value(description));
    return Error(error.domain(), code, std::move(info));
}

// Closes the descriptor however the load ends.
class OpenFile {
public:
    explicit OpenFile(int fd) : fd_(fd) {}
    ~OpenFile() {
        if (fd_ >= 0) close(fd_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

}  // namespace

std::string MIMETypeForPathExtension(std::string_view extension) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 30> kTypes{{
        {"html", "text/html"},        {"htm", "text/html"},           {"xhtml", "application/xhtml+xml"},
        {"css", "text/css"},          {"js", "text/javascript"},      {"mjs", "text/javascript"},
        {"json", "application/json"}, {"txt", "text/plain"},          {"text", "text/plain"},
        {"csv", "text/csv"},          {"md", "text/markdown"},        {"xml", "text/xml"},
        {"svg", "image/svg+xml"},     {"png", "image/png"},           {"jpg", "image/jpeg"},
        {"jpeg", "image/jpeg"},       {"gif", "image/gif"},           {"webp", "image/webp"},
        {"bmp", "image/bmp"},         {"ico", "image/vnd.microsoft.icon"}, {"pdf", "application/pdf"},
        {"woff", "font/woff"},        {"woff2", "font/woff2"},        {"ttf", "font/ttf"},
        {"otf", "font/otf"},          {"mp3", "audio/mpeg"},          {"wav", "audio/wav"},
        {"mp4", "video/mp4"},         {"webm", "video/webm"},         {"zip", "application/zip"},
    }};
    for (const auto& [known, type] : kTypes) {
        if (equalsIgnoringASCIICase(known, extension)) return std::string(type);
    }
    return "application/octet-stream";
}

bool FileURLProtocol::canInitWithRequest(const URLRequest& request) {
    return request.URL() && request.URL()->scheme() == "file";
}

const URLProtocol::Registration& FileURLProtocol::registration() {
    static const auto& files = *new Registration{
        typeid(FileURLProtocol), &FileURLProtocol::canInitWithRequest, &FileURLProtocol::canonicalRequestForRequest,
        [](URLRequest request, std::shared_ptr<CachedURLResponse> cached,
           std::shared_ptr<URLProtocolClient> client) -> std::shared_ptr<URLProtocol> {
            return std::make_shared<FileURLProtocol>(std::move(request), std::move(cached), std::move(client));
        }};
    return files;
}

void FileURLProtocol::startLoading() {
    const URL url = *request().URL();
    const auto fail = [&](const Error& error) {
        if (!stopped_) client()->URLProtocolDidFailWithError(*this, error);
    };
    const std::string host = url.host().value_or("");
    if (!host.empty() && !equalsIgnoringASCIICase(host, "localhost")) return fail(urlError(URLErrorUnsupportedURL, url));
    const std::string path = url.path();
    // Never blocks on opening: a pipe opened this way is seen for what it is before anything is read.
    OpenFile file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.fd() < 0) {
        if (errno == EACCES || errno == EPERM) {
            return fail(fileError(URLErrorNoPermissionsToReadFile, url, "You do not have permission to read the file."));
        }
        return fail(urlError(URLErrorFileDoesNotExist, url));
    }
    struct stat info {};
    if (fstat(file.fd(), &info) != 0) return fail(urlError(URLErrorFileDoesNotExist, url));
    if (S_ISDIR(info.st_mode)) return fail(fileError(URLErrorFileIsDirectory, url, "The file is a folder."));
    if (!S_ISREG(info.st_mode)) {
        return fail(fileError(URLErrorNoPermissionsToReadFile, url, "The file is not a regular file, so it is not read."));
    }
    client()->URLProtocolDidReceiveResponse(
        *this,
        std::make_shared<URLResponse>(url, MIMETypeForPathExtension(url.pathExtension()),
                                      static_cast<std::int64_t>(info.st_size), std::nullopt),
        URLCacheStoragePolicy::NotAllowed);
    std::vector<std::uint8_t> piece(kPieceSize);
    while (!stopped_) {
        const ssize_t n = read(file.fd(), piece.data(), piece.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(fileError(URLErrorNoPermissionsToReadFile, url, "The file could not be read."));
        if (n == 0) break;
        client()->URLProtocolDidLoadData(*this, Data(piece.data(), static_cast<std::size_t>(n)));
    }
    if (!stopped_) client()->URLProtocolDidFinishLoading(*this);
}

}  // namespace ql::ns
