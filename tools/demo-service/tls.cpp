#include "tls.h"

#include "service/error.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

namespace orvelle::demo {

namespace {

constexpr long kValiditySeconds = 30L * 24 * 60 * 60;

[[noreturn]] void fail(const char* what) {
  throw Error(QStringLiteral("Could not make the TLS certificates: %1").arg(QLatin1String(what)));
}

KeyPointer makeKey() {
  KeyPointer key(EVP_EC_gen("P-256"));
  if (!key) fail("key generation");
  return key;
}

void addExtension(X509* certificate, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (!extension) fail("extension");
  const int added = X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
  if (!added) fail("extension");
}

CertificatePointer makeCertificate(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey,
                                   bool authority) {
  CertificatePointer certificate(X509_new());
  if (!certificate) fail("certificate");
  X509* c = certificate.get();
  X509_set_version(c, 2);
  unsigned char serial[16];
  if (RAND_bytes(serial, sizeof serial) != 1) fail("serial number");
  serial[0] &= 0x7F;
  BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
  if (!number || !BN_to_ASN1_INTEGER(number, X509_get_serialNumber(c))) fail("serial number");
  BN_free(number);
  X509_gmtime_adj(X509_getm_notBefore(c), -3600);
  X509_gmtime_adj(X509_getm_notAfter(c), kValiditySeconds);
  X509_set_pubkey(c, key);
  X509_NAME* name = X509_get_subject_name(c);
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Orvelle demo service"),
                             -1, -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
  X509_set_issuer_name(c, issuer ? X509_get_subject_name(issuer) : name);
  X509* signer = issuer ? issuer : c;
  if (authority) {
    addExtension(c, signer, NID_basic_constraints, "critical,CA:TRUE");
    addExtension(c, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    addExtension(c, signer, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(c, signer, NID_key_usage, "critical,digitalSignature");
    addExtension(c, signer, NID_ext_key_usage, "serverAuth");
    addExtension(c, signer, NID_subject_alt_name, "IP:127.0.0.1,IP:::1,DNS:localhost");
  }
  addExtension(c, signer, NID_subject_key_identifier, "hash");
  if (issuer) addExtension(c, signer, NID_authority_key_identifier, "keyid:always");
  if (!X509_sign(c, issuerKey, EVP_sha256())) fail("signature");
  return certificate;
}

}  // namespace

TlsIdentity makeTlsIdentity() {
  TlsIdentity identity;
  identity.authorityKey = makeKey();
  identity.authority = makeCertificate(identity.authorityKey.get(), "Orvelle demo CA", nullptr,
                                       identity.authorityKey.get(), true);
  identity.serverKey = makeKey();
  identity.server = makeCertificate(identity.serverKey.get(), "127.0.0.1", identity.authority.get(),
                                    identity.authorityKey.get(), false);
  return identity;
}

std::string toPem(X509* certificate) {
  BIO* bio = BIO_new(BIO_s_mem());
  if (!bio || !PEM_write_bio_X509(bio, certificate)) {
    BIO_free(bio);
    fail("PEM output");
  }
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  std::string pem(data, static_cast<size_t>(size));
  BIO_free(bio);
  return pem;
}

}  // namespace orvelle::demo
