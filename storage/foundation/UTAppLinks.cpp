#include "storage/foundation/UTAppLinks.h"

#include <string>

#include "storage/foundation/UTURLEncoding.h"

namespace ql {

std::optional<ns::URL> appStoreURLforApplicationIdentifier(std::string_view identifier) {
    return ns::URL::fromString("http://" + std::string(kUTAppStoreWebHost) + "/us/app/id" +
                               stringByURLEncoding(identifier) + "?mt=8");
}

std::optional<ns::URL> appStoreReviewURLForApplicationIdentifier(std::string_view identifier) {
    return ns::URL::fromString("itms-apps://" + std::string(kUTAppStoreAppHost) +
                               "/WebObjects/MZStore.woa/wa/viewContentsUserReviews?type=Purple+Software&id=" +
                               stringByURLEncoding(identifier));
}

}  // namespace ql
