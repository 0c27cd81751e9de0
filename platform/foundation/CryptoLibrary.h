#pragma once
// The crypto library under digests, ciphers, random identifiers, certificates and TLS stays usable until the
// process is gone. Left to itself it registers its clean-up as an exit handler on its first use, so an exit
// handler or an object of static storage registered before that use (a store made at launch, say) would find it
// torn down at the end of the process, its per-thread state too, and crash. Each path that may be the first to
// use it calls this before, which also links into the program a call of it made before any library initialises
// itself: the TLS library initialises the crypto library, with its clean-up, as it loads.

namespace ql::ns {

void keepTheCryptoLibraryUntilTheProcessEnds();

}  // namespace ql::ns
