#include "platform/foundation/CryptoLibrary.h"

#include <openssl/crypto.h>

namespace ql::ns {

void keepTheCryptoLibraryUntilTheProcessEnds() {
    // Only the library's first initialisation decides whether it cleans up at exit. A failure here fails the use
    // that follows, which reports it.
    [[maybe_unused]] static const bool initialised = OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr) == 1;
}

namespace {

// The TLS library initialises the crypto library as it loads, with its clean-up: that runs as the program unloads,
// after every exit handler, under threads still taking digests. Run before any library's own initialisation, this
// makes the first initialisation ours.
void initialiseBeforeAnyLibrary(int, char**, char**) { keepTheCryptoLibraryUntilTheProcessEnds(); }
[[gnu::used, gnu::section(".preinit_array")]] void (*initialiseFirst)(int, char**, char**) = initialiseBeforeAnyLibrary;

}  // namespace

}  // namespace ql::ns
