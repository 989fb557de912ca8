#pragma once

#include "service/http/byte_stream.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace orvelle::http {

// Limits of the response reader.
inline constexpr qint64 kMaxBodyBytes = 32LL * 1024 * 1024;  // larger bodies fail, nothing of them kept
inline constexpr int kMaxInterimResponses = 16;              // 1xx answers (other than 101) accepted per request
inline constexpr qsizetype kMaxLineLength = 16384;           // status, header and chunk-size lines
inline constexpr size_t kReceiveBufferSize = 32768;          // the most one read takes from the stream
inline constexpr int kDefaultMaxHeaderLines = 255;
// Chunk extensions carry nothing the client uses: they are skipped, not kept, and counted
// apart from the lines, up to this many bytes per body.
inline constexpr qint64 kMaxChunkExtensionBytes = 1024 * 1024;

// Collects body bytes at the end of a byte array, refusing more than kMaxBodyBytes.
// When the limit is passed, everything this sink added is removed again.
//
// A body of unknown length (chunked, or read to the close) would grow the array step by step,
// each step copying everything so far into fresh memory. Once such a body has passed
// kOneStepRoomAfterBytes, room for the largest body allowed is made at once instead: room
// never written costs address space only, and it is given back when the sink ends.
class BodySink {
 public:
  static constexpr qint64 kOneStepRoomAfterBytes = 1024 * 1024;

  explicit BodySink(QByteArray& out) : out_(out), start_(out.size()) {}
  ~BodySink();
  BodySink(const BodySink&) = delete;
  BodySink& operator=(const BodySink&) = delete;

  void Append(const char* data, size_t size);
  // Fails at once when `announced` more bytes would pass the limit.
  void Announce(qint64 announced);
  // Announce for a body whose whole length is known: also makes room for it at once.
  void AnnounceTotal(qint64 total);
  // Makes room for `size` bytes written in place; Commit tells how many were written.
  char* Reserve(size_t size);
  void Commit(size_t reserved, size_t written);
  qint64 Received() const { return received_; }
  // Removes everything this sink added.
  void Discard() { out_.truncate(start_); }

 private:
  [[noreturn]] void Overflow();
  // Makes sure `size` more bytes fit without a copy of what is there, as described above.
  void MakeRoom(size_t size);

  QByteArray& out_;
  qsizetype start_;
  qint64 received_ = 0;
  bool room_for_largest_ = false;  // MakeRoom reserved for the largest body allowed
};

// Buffered input of one connection for one response.
class InputBuffer {
 public:
  InputBuffer() : storage_(kReceiveBufferSize) {}

  void Attach(ByteStream* stream, const WaitLimits* limits) {
    stream_ = stream;
    limits_ = limits;
    begin_ = end_ = 0;
    closed_ = false;
    received_any_ = false;
  }

  // Reads one line up to LF; a CR before the LF is removed. Returns false when the peer
  // closed before the line's first byte. A close inside the line throws "Connection Closed
  // Gracefully."; a line longer than kMaxLineLength throws "Max line length exceeded.".
  bool ReadLine(QByteArray& line);
  // Reads a chunk-size line: the text before its first ";" goes to `size_text` (a CR before
  // the LF removed), bound by kMaxLineLength like a line; the extensions after the ";" are
  // skipped, each byte taken from `extension_budget`. Returns false when the peer closed
  // before the line's first byte. Throws like ReadLine, and "Chunk extensions too large"
  // once the budget is spent.
  bool ReadChunkSizeLine(QByteArray& size_text, qint64& extension_budget);
  // Reads up to `count` bytes into the sink; fewer only when the peer closes first.
  qint64 ReadUpTo(qint64 count, BodySink& sink);
  // Reads exactly `count` bytes or throws "Connection Closed Gracefully.".
  void ReadExactly(qint64 count, BodySink& sink);
  // Reads until the peer closes.
  void ReadUntilClose(BodySink& sink);
  // Reads lines (kept whole, with their line ends) until one starts with `delimiter`,
  // which is kept too, or until the peer closes.
  void ReadUntilDelimiterLine(const QByteArray& delimiter, BodySink& sink);

  // True when body data is buffered or arrives within `wait` (a close counts as arrival).
  bool WaitForData(std::chrono::milliseconds wait);
  bool PeerClosed() const { return closed_; }
  // True when bytes past what was read so far have arrived already.
  bool HasUnreadInput() const { return Buffered() > 0; }
  // True once any byte of the answer has arrived since Attach.
  bool ReceivedAny() const { return received_any_; }

 private:
  // Refills the empty buffer; false once the peer has closed.
  bool Fill();
  // Reads at most `want` bytes straight into the sink, past the buffer.
  size_t ReadInto(BodySink& sink, size_t want);
  size_t Buffered() const { return end_ - begin_; }

  ByteStream* stream_ = nullptr;
  const WaitLimits* limits_ = nullptr;
  std::vector<char> storage_;
  size_t begin_ = 0;
  size_t end_ = 0;
  bool closed_ = false;
  bool received_any_ = false;
};

// A status line's bytes as text: ASCII, every byte above 127 read as U+FFFD.
QString LineText(const QByteArray& line);
// A header line's bytes as text, one character per byte (U+0000 to U+00FF), so that a value
// holding UTF-8 or other bytes above 127 can be sent back byte for byte.
QString HeaderLineText(const QByteArray& line);

// True when a header or trailer line holds no control character other than HTAB (no NUL,
// no CR left inside the line, no DEL). Such bytes are read differently by different parsers
// ("Content-Length: 5\0 99" is 5 to one and invalid to another), so an answer that holds
// them is refused rather than guessed at.
bool IsCleanHeaderLine(const QByteArray& line);

// The numeric status of a status line, or -1 when it holds none.
int ParseStatusCode(const QString& status_line);

// The value of the first header line called `name` (matched without regard to case),
// trimmed; `found` tells whether there was one.
QString HeaderValue(const QStringList& lines, QLatin1String name, bool* found = nullptr);
QStringList HeaderValues(const QStringList& lines, QLatin1String name);
bool HasHeader(const QStringList& lines, QLatin1String name);

// The members of the comma-separated lists of every line called `name`, trimmed, in order;
// empty members are left out.
QStringList HeaderListMembers(const QStringList& lines, QLatin1String name);

// The body length that the Content-Length header lines announce, or -1 when there is none.
// A length is decimal digits only (leading zeros allowed); one too large for 64 bits counts
// as the largest number. Anything else ("5 5", "+5", "-1", "0x5", an empty value), or lines
// and list members ("5, 6") that announce different lengths, leave the body's end unknown:
// they throw HttpError "Invalid Content-Length".
qint64 AnnouncedContentLength(const QStringList& lines);

// The transfer codings that the Transfer-Encoding lines name, in the order applied, in lower
// case, without parameters; "identity", which changes nothing, is left out.
QStringList TransferCodings(const QStringList& lines);
// The content codings that the Content-Encoding lines name, the same way.
QStringList ContentCodings(const QStringList& lines);

// True when the status line names HTTP/1.1 or a later version. An answer of HTTP/1.0, or of
// no HTTP version at all, keeps its connection open only when it says "keep-alive".
bool IsPersistentByDefault(const QString& status_line);

// The size on a chunk-size line: hexadecimal digits only, then optional spaces or tabs and
// an extension after ";". Anything else throws HttpError "Invalid chunk size".
qint64 ParseChunkSize(const QByteArray& line);

// Content-Type split into the media type (lower case), its charset parameter (quotes
// removed), the rest of the header without the charset parameter, and the boundary parameter.
struct ContentTypeParts {
  QString media_type;
  QString content_type;
  QString charset;
  bool has_charset = false;
  QString boundary;
};
ContentTypeParts ParseContentType(const QString& value);

// The charset that a body's own declaration gives: the meta elements of an HTML document
// (which also yield header lines for http-equiv elements), and the encoding of an XML document.
QString HtmlMetaCharset(const QByteArray& body, QStringList* http_equiv_lines);
QString XmlDeclaredEncoding(const QByteArray& body);

}  // namespace orvelle::http
