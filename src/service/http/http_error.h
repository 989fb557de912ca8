#pragma once

#include "service/error.h"

#include <QString>

namespace orvelle::http {

// Every failure of a request.
class HttpError : public Error {
 public:
  using Error::Error;
};

// A response whose status is not 2xx. The message is the status line as received.
class HttpProtocolError : public HttpError {
 public:
  HttpProtocolError(int code, QString status_line, QString body_text)
      : HttpError(std::move(status_line)), code_(code), body_(std::move(body_text)) {}
  int ErrorCode() const noexcept { return code_; }
  const QString& ErrorMessage() const noexcept { return body_; }

 private:
  int code_;
  QString body_;
};

// A failed socket operation: "Socket Error # <number>" CR LF and the system's description.
class SocketError : public HttpError {
 public:
  SocketError(int last_error, const QString& description)
      : HttpError(QStringLiteral("Socket Error # %1\r\n%2").arg(last_error).arg(description)),
        last_error_(last_error) {}
  int LastError() const noexcept { return last_error_; }

 private:
  int last_error_;
};

// Message texts shared by the client's units.
inline constexpr const char* kClosedGracefully = "Connection Closed Gracefully.";
inline constexpr const char* kReadTimedOut = "Read timed out.";
inline constexpr const char* kMaxLineLengthExceeded = "Max line length exceeded.";
inline constexpr const char* kUnknownProtocol = "Unknown Protocol";
inline constexpr const char* kSslConnectFailed = "Error connecting with SSL.";
inline constexpr const char* kBodyTooLarge = "Response body too large";
inline constexpr const char* kTooManyInterim = "Too many interim responses";
inline constexpr const char* kTooManyHeaderLines = "Too many header lines";
inline constexpr const char* kInvalidChunkSize = "Invalid chunk size";
inline constexpr const char* kInvalidContentLength = "Invalid Content-Length";
inline constexpr const char* kInvalidHeader = "Invalid header";
inline constexpr const char* kChunkExtensionsTooLarge = "Chunk extensions too large";
// Followed by the coding's name: "Unsupported transfer coding: gzip".
inline constexpr const char* kUnsupportedTransferCoding = "Unsupported transfer coding: ";
inline constexpr const char* kUnsupportedContentCoding = "Unsupported content coding: ";
inline constexpr const char* kInvalidUrlCharacter = "Invalid character in URL";
inline constexpr const char* kRequestAborted = "Request aborted";

}  // namespace orvelle::http
