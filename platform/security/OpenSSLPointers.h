#pragma once
// Owning pointers for the OpenSSL objects the security layer handles, so every one is freed exactly once.

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <memory>

namespace ql::sec {

namespace detail {
template <auto Free>
struct OpenSSLDeleter {
    template <class T>
    void operator()(T* p) const {
        Free(p);
    }
};
// Frees the stack and drops the stack's reference to each certificate in it.
inline void freeCertificateStack(STACK_OF(X509) * stack) { sk_X509_pop_free(stack, X509_free); }
}  // namespace detail

using X509Pointer = std::unique_ptr<X509, detail::OpenSSLDeleter<X509_free>>;
using X509StorePointer = std::unique_ptr<X509_STORE, detail::OpenSSLDeleter<X509_STORE_free>>;
using X509StoreContextPointer = std::unique_ptr<X509_STORE_CTX, detail::OpenSSLDeleter<X509_STORE_CTX_free>>;
using X509StackPointer = std::unique_ptr<STACK_OF(X509), detail::OpenSSLDeleter<detail::freeCertificateStack>>;
using EVPKeyPointer = std::unique_ptr<EVP_PKEY, detail::OpenSSLDeleter<EVP_PKEY_free>>;
using BIOPointer = std::unique_ptr<BIO, detail::OpenSSLDeleter<BIO_free_all>>;

}  // namespace ql::sec
