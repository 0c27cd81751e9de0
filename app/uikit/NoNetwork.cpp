#include "app/uikit/NoNetwork.h"

#include <string>

#include "ui/hud/ProgressHUD.h"
#include "ui/toast/Toast.h"

namespace ql {

void showNoNetwork() {
    ProgressHUD::dismiss();
    Toast::showWithText(std::string(NoNetworkMessage));
}

}  // namespace ql
