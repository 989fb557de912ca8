#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

namespace orvelle::demo {

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateFree {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
using KeyPointer = std::unique_ptr<EVP_PKEY, KeyFree>;
using CertificatePointer = std::unique_ptr<X509, CertificateFree>;

// A certificate authority made for one run, and a server certificate it signed for the names
// 127.0.0.1, ::1 and localhost. Keys are P-256, so making them takes a millisecond.
struct TlsIdentity {
  KeyPointer authorityKey;
  CertificatePointer authority;
  KeyPointer serverKey;
  CertificatePointer server;
};

// Throws orvelle::Error when OpenSSL fails.
TlsIdentity makeTlsIdentity();

// The certificate in PEM form.
std::string toPem(X509* certificate);

}  // namespace orvelle::demo
