#pragma once

// A certificate authority and server certificates made with the OpenSSL API at run time, for
// the TLS tests and the TLS benchmark.

#include <QByteArray>
#include <QString>

#include <memory>

namespace orvelle::testing {

// A key and certificate pair in PEM form.
struct PemPair {
  QByteArray certificate;
  QByteArray key;
};

// Certificates made with the OpenSSL API for the tests.
class TestCertificates {
 public:
  // A new certificate authority.
  TestCertificates();
  ~TestCertificates();
  // A server certificate for the DNS name `host` (and 127.0.0.1), signed by this authority.
  PemPair ServerCertificate(const QString& host) const;
  QByteArray AuthorityPem() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvelle::testing
