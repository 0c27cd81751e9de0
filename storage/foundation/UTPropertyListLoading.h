#pragma once
// Loading a property list of an expected kind (array or dictionary) from a file, a URL or data, with the
// reading or parsing error handed back. A well-formed list of the other kind gives nothing and no error.

#include <optional>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace ql {

std::optional<ns::Array> arrayWithContentsOfURL(const ns::URL& url, ns::Error* error);
std::optional<ns::Array> arrayWithContentsOfFile(const std::string& path, ns::Error* error);
std::optional<ns::Array> arrayWithContentsOfData(const ns::Data& data, ns::Error* error);

std::optional<ns::Dictionary> dictionaryWithContentsOfURL(const ns::URL& url, ns::Error* error);
std::optional<ns::Dictionary> dictionaryWithContentsOfFile(const std::string& path, ns::Error* error);
std::optional<ns::Dictionary> dictionaryWithContentsOfData(const ns::Data& data, ns::Error* error);

}  // namespace ql
