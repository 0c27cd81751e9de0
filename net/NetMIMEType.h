#pragma once
// MIME types of file extensions, for file parts of multipart bodies.

#include <optional>
#include <string>
#include <string_view>

namespace ql {

// The type of an extension, in any case ("png" and "PNG" give "image/png"); nothing for extensions not
// known here.
std::optional<std::string> NetMIMETypeForPathExtension(std::string_view extension);

}  // namespace ql
