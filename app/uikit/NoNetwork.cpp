#include "app/uikit/NoNetwork.h"

#include <string>

#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/Text.h"
#include "ui/hud/ProgressHUD.h"
#include "ui/toast/Toast.h"

namespace ql {

void showNoNetwork() {
    ProgressHUD::dismiss();
    Toast::showWithText(std::string(NoNetworkMessage));
}

void showRefusal(std::string_view message) {
    static const auto& blanks = *new ns::CharacterSet(ns::CharacterSet::whitespaceAndNewlineCharacterSet());
    const bool readable = !ns::stringByTrimmingCharactersInSet(message, blanks).empty();
    Toast::showWithText(std::string(readable ? message : NoNetworkMessage));
}

}  // namespace ql
