#include "net/NetMIMEType.h"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/net/HTTPHeaderFields.h"

namespace ql {

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 44> kTypes{{
    {"aac", "audio/aac"},        {"avi", "video/x-msvideo"},  {"bmp", "image/bmp"},
    {"css", "text/css"},         {"csv", "text/csv"},         {"doc", "application/msword"},
    {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
    {"gif", "image/gif"},        {"gz", "application/x-gzip"}, {"heic", "image/heic"},
    {"htm", "text/html"},        {"html", "text/html"},       {"ico", "image/vnd.microsoft.icon"},
    {"jpe", "image/jpeg"},       {"jpeg", "image/jpeg"},      {"jpg", "image/jpeg"},
    {"js", "application/javascript"}, {"json", "application/json"}, {"m4a", "audio/mp4"},
    {"m4v", "video/x-m4v"},      {"mov", "video/quicktime"},  {"mp3", "audio/mpeg"},
    {"mp4", "video/mp4"},        {"mpeg", "video/mpeg"},      {"mpg", "video/mpeg"},
    {"pdf", "application/pdf"},  {"plist", "application/x-plist"}, {"png", "image/png"},
    {"ppt", "application/vnd.ms-powerpoint"}, {"rtf", "text/rtf"}, {"svg", "image/svg+xml"},
    {"tar", "application/x-tar"}, {"tif", "image/tiff"},      {"tiff", "image/tiff"},
    {"txt", "text/plain"},       {"wav", "audio/vnd.wave"},   {"webp", "image/webp"},
    {"xls", "application/vnd.ms-excel"}, {"xml", "application/xml"}, {"zip", "application/zip"},
    {"3gp", "video/3gpp"},       {"amr", "audio/amr"},        {"caf", "audio/x-caf"},
    {"text", "text/plain"},
}};

}  // namespace

std::optional<std::string> NetMIMETypeForPathExtension(std::string_view extension) {
    const auto found = std::find_if(kTypes.begin(), kTypes.end(), [&](const auto& entry) {
        return ns::equalsIgnoringASCIICase(entry.first, extension);
    });
    if (found == kTypes.end()) return std::nullopt;
    return std::string(found->second);
}

}  // namespace ql
