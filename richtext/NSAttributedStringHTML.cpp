#include "richtext/NSAttributedStringHTML.h"

#include "richtext/RTHTMLAttributedStringBuilder.h"
#include "richtext/RTHTMLOptions.h"

namespace ql {

std::optional<ct::AttributedString> initWithHTMLData(const ns::Data& data, const ns::Dictionary& options,
                                                     ns::Dictionary* documentAttributes) {
    if (data.empty()) return std::nullopt;
    auto builder = std::make_shared<RTHTMLAttributedStringBuilder>(data, options, documentAttributes);
    if (auto block = options[RTWillFlushBlockCallBack].asObject<RTWillFlushBlock>()) builder->setWillFlushCallback(block->callback());
    const std::shared_ptr<ct::AttributedString> text = builder->generatedAttributedString();
    if (!text) return std::nullopt;
    // The builder goes with this call, so its text is taken rather than copied.
    return std::move(*text);
}

}  // namespace ql
