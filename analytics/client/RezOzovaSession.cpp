#include "analytics/client/RezOzovaSession.h"

namespace ql {

RezOzovaSession& RezOzovaSession::sharedInstance() {
    static RezOzovaSession* session = new RezOzovaSession;
    return *session;
}

}  // namespace ql
