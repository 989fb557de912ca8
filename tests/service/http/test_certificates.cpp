#include "test_certificates.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

namespace orvelle::testing {

namespace {

EVP_PKEY* NewKey() { return EVP_EC_gen("P-256"); }

void AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
}

X509* NewCertificate(EVP_PKEY* key, const char* common_name, X509* issuer, long serial) {
  X509* certificate = X509_new();
  X509_set_version(certificate, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial);
  X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
  X509_gmtime_adj(X509_getm_notAfter(certificate), 3600L * 24 * 30);
  X509_set_pubkey(certificate, key);
  X509_NAME* name = X509_get_subject_name(certificate);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(common_name), -1, -1, 0);
  X509_set_issuer_name(certificate, issuer ? X509_get_subject_name(issuer) : name);
  return certificate;
}

QByteArray CertificatePem(X509* certificate) {
  BIO* bio = BIO_new(BIO_s_mem());
  PEM_write_bio_X509(bio, certificate);
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  QByteArray pem(data, size);
  BIO_free(bio);
  return pem;
}

QByteArray KeyPem(EVP_PKEY* key) {
  BIO* bio = BIO_new(BIO_s_mem());
  PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  QByteArray pem(data, size);
  BIO_free(bio);
  return pem;
}

}  // namespace

struct TestCertificates::Impl {
  EVP_PKEY* key = nullptr;
  X509* certificate = nullptr;
  mutable long serial = 2;
};

TestCertificates::TestCertificates() : impl_(std::make_unique<Impl>()) {
  impl_->key = NewKey();
  impl_->certificate = NewCertificate(impl_->key, "Orvelle Test Authority", nullptr, 1);
  AddExtension(impl_->certificate, impl_->certificate, NID_basic_constraints, "critical,CA:TRUE");
  AddExtension(impl_->certificate, impl_->certificate, NID_key_usage, "critical,keyCertSign,cRLSign");
  AddExtension(impl_->certificate, impl_->certificate, NID_subject_key_identifier, "hash");
  X509_sign(impl_->certificate, impl_->key, EVP_sha256());
}

TestCertificates::~TestCertificates() {
  X509_free(impl_->certificate);
  EVP_PKEY_free(impl_->key);
}

QByteArray TestCertificates::AuthorityPem() const { return CertificatePem(impl_->certificate); }

PemPair TestCertificates::ServerCertificate(const QString& host) const {
  EVP_PKEY* key = NewKey();
  const QByteArray name = host.toLatin1();
  X509* certificate = NewCertificate(key, name.constData(), impl_->certificate, impl_->serial++);
  AddExtension(certificate, impl_->certificate, NID_basic_constraints, "critical,CA:FALSE");
  AddExtension(certificate, impl_->certificate, NID_ext_key_usage, "serverAuth");
  AddExtension(certificate, impl_->certificate, NID_authority_key_identifier, "keyid:always");
  const QByteArray san = "DNS:" + name + ",IP:127.0.0.1";
  AddExtension(certificate, impl_->certificate, NID_subject_alt_name, san.constData());
  X509_sign(certificate, impl_->key, EVP_sha256());
  PemPair pair{CertificatePem(certificate), KeyPem(key)};
  X509_free(certificate);
  EVP_PKEY_free(key);
  return pair;
}

}  // namespace orvelle::testing
