#pragma once
// The HTML entry of the rich text import: attributed text made from an HTML document's bytes with the
// import options of RTHTMLOptions.h (RTHTMLAttributedStringBuilder does the work; the caller waits).

#include <optional>

#include "platform/foundation/Data.h"
#include "platform/foundation/Value.h"
#include "platform/text/AttributedString.h"

namespace ql {

// Nothing for empty data. The RTWillFlushBlockCallBack option's callback sees each element before its
// text is appended. The document attributes are neither read nor written. An exception raised during the
// import (by that callback, say) reaches the caller.
std::optional<ct::AttributedString> initWithHTMLData(const ns::Data& data, const ns::Dictionary& options,
                                                     ns::Dictionary* documentAttributes = nullptr);

}  // namespace ql
