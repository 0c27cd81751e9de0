#include "platform/foundation/CryptoLibrary.h"

#include <openssl/crypto.h>

namespace ql::ns {

void keepTheCryptoLibraryUntilTheProcessEnds() {
    // Only the library's first initialisation decides whether it cleans up at exit. A failure here fails the use
    // that follows, which reports it.
    [[maybe_unused]] static const bool initialised = OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr) == 1;
}

}  // namespace ql::ns
