#include "service/http/response_reader.h"

#include "service/http/http_error.h"
#include "service/http/url.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

namespace orvelle::http {

namespace {

[[noreturn]] void ThrowClosed() { throw HttpError(QString::fromLatin1(kClosedGracefully)); }

}  // namespace

void BodySink::Overflow() {
  Discard();
  throw HttpError(QString::fromLatin1(kBodyTooLarge));
}

BodySink::~BodySink() {
  if (room_for_largest_) out_.squeeze();
}

void BodySink::MakeRoom(size_t size) {
  const qsizetype needed = out_.size() + static_cast<qsizetype>(size);
  if (needed <= out_.capacity() || received_ < kOneStepRoomAfterBytes) return;
  out_.reserve(std::max(needed, start_ + static_cast<qsizetype>(kMaxBodyBytes)));
  room_for_largest_ = true;
}

void BodySink::Announce(qint64 announced) {
  if (announced > kMaxBodyBytes - received_) Overflow();
}

void BodySink::AnnounceTotal(qint64 total) {
  Announce(total);
  out_.reserve(out_.size() + static_cast<qsizetype>(total));
}

void BodySink::Append(const char* data, size_t size) {
  if (static_cast<qint64>(size) > kMaxBodyBytes - received_) Overflow();
  MakeRoom(size);
  out_.append(data, static_cast<qsizetype>(size));
  received_ += static_cast<qint64>(size);
}

char* BodySink::Reserve(size_t size) {
  MakeRoom(size);
  const qsizetype old = out_.size();
  out_.resize(old + static_cast<qsizetype>(size));
  return out_.data() + old;
}

void BodySink::Commit(size_t reserved, size_t written) {
  out_.truncate(out_.size() - static_cast<qsizetype>(reserved - written));
  received_ += static_cast<qint64>(written);
  if (received_ > kMaxBodyBytes) Overflow();
}

bool InputBuffer::Fill() {
  if (closed_) return false;
  const size_t n = stream_->Read(storage_.data(), storage_.size(), *limits_);
  begin_ = 0;
  end_ = n;
  if (n == 0) closed_ = true;
  received_any_ = received_any_ || n > 0;
  return n > 0;
}

bool InputBuffer::ReadLine(QByteArray& line) {
  line.truncate(0);  // keeps the room for the next line
  bool any = false;
  for (;;) {
    if (Buffered() == 0 && !Fill()) {
      if (!any) return false;
      ThrowClosed();
    }
    any = true;
    const char* start = storage_.data() + begin_;
    const char* lf = static_cast<const char*>(std::memchr(start, '\n', Buffered()));
    const size_t take = lf ? static_cast<size_t>(lf - start) : Buffered();
    // The limit counts the line's characters; one CR before the LF is not among them.
    if (line.size() + static_cast<qsizetype>(take) > kMaxLineLength + 1) {
      throw HttpError(QString::fromLatin1(kMaxLineLengthExceeded));
    }
    line.append(start, static_cast<qsizetype>(take));
    begin_ += take;
    if (lf) {
      ++begin_;
      if (line.endsWith('\r')) line.chop(1);
      if (line.size() > kMaxLineLength) throw HttpError(QString::fromLatin1(kMaxLineLengthExceeded));
      return true;
    }
  }
}

bool InputBuffer::ReadChunkSizeLine(QByteArray& size_text, qint64& extension_budget) {
  size_text.truncate(0);
  bool any = false;
  bool in_extension = false;
  for (;;) {
    if (Buffered() == 0 && !Fill()) {
      if (!any) return false;
      ThrowClosed();
    }
    any = true;
    const char* start = storage_.data() + begin_;
    const char* lf = static_cast<const char*>(std::memchr(start, '\n', Buffered()));
    size_t take = lf ? static_cast<size_t>(lf - start) : Buffered();
    if (!in_extension) {
      const char* semicolon = static_cast<const char*>(std::memchr(start, ';', take));
      const size_t size_part = semicolon ? static_cast<size_t>(semicolon - start) : take;
      if (size_text.size() + static_cast<qsizetype>(size_part) > kMaxLineLength + 1) {
        throw HttpError(QString::fromLatin1(kMaxLineLengthExceeded));
      }
      size_text.append(start, static_cast<qsizetype>(size_part));
      begin_ += size_part;
      take -= size_part;
      in_extension = semicolon != nullptr;
    }
    if (in_extension) {
      extension_budget -= static_cast<qint64>(take);
      if (extension_budget < 0) throw HttpError(QString::fromLatin1(kChunkExtensionsTooLarge));
      begin_ += take;
    }
    if (lf) {
      ++begin_;
      if (!in_extension && size_text.endsWith('\r')) size_text.chop(1);
      if (size_text.size() > kMaxLineLength) throw HttpError(QString::fromLatin1(kMaxLineLengthExceeded));
      return true;
    }
  }
}

size_t InputBuffer::ReadInto(BodySink& sink, size_t want) {
  char* target = sink.Reserve(want);
  size_t n = 0;
  try {
    n = stream_->Read(target, want, *limits_);
  } catch (...) {
    sink.Commit(want, 0);  // the room made for the read holds nothing
    throw;
  }
  sink.Commit(want, n);
  received_any_ = received_any_ || n > 0;
  return n;
}

qint64 InputBuffer::ReadUpTo(qint64 count, BodySink& sink) {
  qint64 done = 0;
  while (done < count) {
    if (Buffered() > 0) {
      const size_t take = static_cast<size_t>(std::min<qint64>(count - done, static_cast<qint64>(Buffered())));
      sink.Append(storage_.data() + begin_, take);
      begin_ += take;
      done += static_cast<qint64>(take);
      continue;
    }
    if (closed_) break;
    const qint64 left = count - done;
    if (left >= static_cast<qint64>(storage_.size())) {
      // Large remainders go straight into the destination, one receive buffer's worth per read.
      const size_t n = ReadInto(sink, kReceiveBufferSize);
      if (n == 0) {
        closed_ = true;
        break;
      }
      done += static_cast<qint64>(n);
      continue;
    }
    if (!Fill()) break;
  }
  return done;
}

void InputBuffer::ReadExactly(qint64 count, BodySink& sink) {
  if (ReadUpTo(count, sink) < count) ThrowClosed();
}

void InputBuffer::ReadUntilClose(BodySink& sink) {
  for (;;) {
    if (Buffered() > 0) {
      sink.Append(storage_.data() + begin_, Buffered());
      begin_ = end_;
    }
    if (closed_) return;
    if (ReadInto(sink, kReceiveBufferSize) == 0) closed_ = true;
  }
}

void InputBuffer::ReadUntilDelimiterLine(const QByteArray& delimiter, BodySink& sink) {
  bool line_start = true;
  QByteArray head;  // the start of the current line, enough to compare with the delimiter
  for (;;) {
    if (Buffered() == 0 && !Fill()) return;
    const char* start = storage_.data() + begin_;
    const char* lf = static_cast<const char*>(std::memchr(start, '\n', Buffered()));
    const size_t take = lf ? static_cast<size_t>(lf - start) + 1 : Buffered();
    if (line_start) head.clear();
    if (head.size() < delimiter.size()) {
      head.append(start, static_cast<qsizetype>(std::min<size_t>(take, static_cast<size_t>(delimiter.size() - head.size()))));
    }
    sink.Append(start, take);
    begin_ += take;
    line_start = lf != nullptr;
    if (lf && head == delimiter) return;
  }
}

bool InputBuffer::WaitForData(std::chrono::milliseconds wait) {
  return Buffered() > 0 || closed_ || stream_->WaitReadable(wait);
}

QString LineText(const QByteArray& line) {
  QString text(line.size(), Qt::Uninitialized);
  QChar* out = text.data();
  for (qsizetype i = 0; i < line.size(); ++i) {
    const auto byte = static_cast<unsigned char>(line[i]);
    out[i] = byte < 128 ? QChar(byte) : QChar(QChar::ReplacementCharacter);
  }
  return text;
}

QString HeaderLineText(const QByteArray& line) { return QString::fromLatin1(line); }

bool IsCleanHeaderLine(const QByteArray& line) {
  for (const char byte : line) {
    const auto b = static_cast<unsigned char>(byte);
    if ((b < 0x20 && b != '\t') || b == 0x7F) return false;
  }
  return true;
}

int ParseStatusCode(const QString& status_line) {
  const qsizetype space = status_line.indexOf(QLatin1Char(' '));
  if (space < 0) return -1;
  QStringView rest = QStringView(status_line).sliced(space + 1);
  while (rest.startsWith(QLatin1Char(' '))) rest = rest.sliced(1);
  while (rest.endsWith(QLatin1Char(' '))) rest.chop(1);
  const qsizetype next = rest.indexOf(QLatin1Char(' '));
  if (next >= 0) rest.truncate(next);
  const qsizetype dot = rest.indexOf(QLatin1Char('.'));
  if (dot >= 0) rest.truncate(dot);
  bool ok = false;
  const int code = rest.toInt(&ok);
  return ok ? code : -1;
}

namespace {

// The value of `line` when it is a field called `name` (matched without regard to case),
// trimmed; nothing otherwise. A view into the line: no copy is made.
std::optional<QStringView> FieldValue(const QString& line, QLatin1String name) {
  const qsizetype colon = line.indexOf(QLatin1Char(':'));
  if (colon < 0) return std::nullopt;
  const QStringView view(line);
  if (view.first(colon).trimmed().compare(name, Qt::CaseInsensitive) != 0) return std::nullopt;
  return view.sliced(colon + 1).trimmed();
}

}  // namespace

QString HeaderValue(const QStringList& lines, QLatin1String name, bool* found) {
  for (const QString& line : lines) {
    if (const std::optional<QStringView> value = FieldValue(line, name)) {
      if (found) *found = true;
      return value->toString();
    }
  }
  if (found) *found = false;
  return QString();
}

bool HasHeader(const QStringList& lines, QLatin1String name) {
  return std::any_of(lines.cbegin(), lines.cend(),
                     [name](const QString& line) { return FieldValue(line, name).has_value(); });
}

QStringList HeaderValues(const QStringList& lines, QLatin1String name) {
  QStringList values;
  for (const QString& line : lines) {
    if (const std::optional<QStringView> value = FieldValue(line, name)) values.append(value->toString());
  }
  return values;
}

QStringList HeaderListMembers(const QStringList& lines, QLatin1String name) {
  QStringList members;
  for (const QString& value : HeaderValues(lines, name)) {
    for (const QString& member : value.split(QLatin1Char(','))) {
      const QString trimmed = member.trimmed();
      if (!trimmed.isEmpty()) members.append(trimmed);
    }
  }
  return members;
}

namespace {

// A Content-Length value: decimal digits only. Beyond 18 significant digits the number
// cannot be held; it counts as the largest, which is far beyond the body limit anyway.
std::optional<qint64> DecimalLength(QStringView text) {
  if (text.isEmpty()) return std::nullopt;
  qint64 value = 0;
  int significant = 0;
  for (const QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    if (value == 0 && c == QLatin1Char('0')) continue;
    if (++significant > 18) value = std::numeric_limits<qint64>::max();
    else value = value * 10 + (c.unicode() - '0');
  }
  return value;
}

// The codings of a coding list: lower case, parameters after ";" dropped, "identity" left out.
QStringList Codings(const QStringList& lines, QLatin1String name) {
  QStringList codings;
  for (const QString& member : HeaderListMembers(lines, name)) {
    const QString coding = member.section(QLatin1Char(';'), 0, 0).trimmed().toLower();
    if (!coding.isEmpty() && coding != QLatin1String("identity")) codings.append(coding);
  }
  return codings;
}

}  // namespace

qint64 AnnouncedContentLength(const QStringList& lines) {
  std::optional<qint64> length;
  for (const QString& line : lines) {
    const std::optional<QStringView> value = FieldValue(line, QLatin1String("Content-Length"));
    if (!value) continue;
    // "5, 5" repeats one length; an empty value or member announces none.
    for (const QStringView member : value->tokenize(QLatin1Char(','))) {
      const std::optional<qint64> announced = DecimalLength(member.trimmed());
      if (!announced || (length && *length != *announced)) throw HttpError(QString::fromLatin1(kInvalidContentLength));
      length = announced;
    }
  }
  return length ? *length : -1;
}

QStringList TransferCodings(const QStringList& lines) { return Codings(lines, QLatin1String("Transfer-Encoding")); }

QStringList ContentCodings(const QStringList& lines) { return Codings(lines, QLatin1String("Content-Encoding")); }

bool IsPersistentByDefault(const QString& status_line) {
  if (!status_line.startsWith(QLatin1String("HTTP/"))) return false;
  const QStringView rest = QStringView(status_line).sliced(5);
  const qsizetype space = rest.indexOf(QLatin1Char(' '));
  const QStringView version = space >= 0 ? rest.left(space) : rest;
  const qsizetype dot = version.indexOf(QLatin1Char('.'));
  bool major_ok = false;
  bool minor_ok = false;
  const int major = version.left(dot).toInt(&major_ok);
  const int minor = dot >= 0 ? version.sliced(dot + 1).toInt(&minor_ok) : 0;
  if (!major_ok || (dot >= 0 && !minor_ok)) return false;
  return major > 1 || (major == 1 && minor >= 1);
}

qint64 ParseChunkSize(const QByteArray& line) {
  qsizetype end = line.indexOf(';');
  if (end < 0) end = line.size();
  while (end > 0 && (line[end - 1] == ' ' || line[end - 1] == '\t')) --end;
  // 15 digits keep the size far below the 64-bit limit; the body limit comes long before.
  if (end == 0 || end > 15) throw HttpError(QString::fromLatin1(kInvalidChunkSize));
  qint64 size = 0;
  for (qsizetype i = 0; i < end; ++i) {
    const int digit = HexDigitValue(static_cast<unsigned char>(line[i]));
    if (digit < 0) throw HttpError(QString::fromLatin1(kInvalidChunkSize));
    size = size * 16 + digit;
  }
  return size;
}

namespace {

QString Unquote(QString value) {
  value = value.trimmed();
  if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) {
    value = value.mid(1, value.size() - 2);
  }
  return value;
}

}  // namespace

ContentTypeParts ParseContentType(const QString& value) {
  ContentTypeParts parts;
  if (!value.contains(QLatin1Char(';'))) {
    parts.content_type = value.trimmed();
    parts.media_type = parts.content_type.toLower();
    return parts;
  }
  const QStringList pieces = value.split(QLatin1Char(';'));
  parts.media_type = pieces.value(0).trimmed().toLower();
  QStringList kept;
  for (qsizetype i = 0; i < pieces.size(); ++i) {
    const QString piece = pieces[i].trimmed();
    if (i > 0) {
      const qsizetype eq = piece.indexOf(QLatin1Char('='));
      const QString name = (eq >= 0 ? piece.left(eq) : piece).trimmed();
      const QString param = eq >= 0 ? Unquote(piece.mid(eq + 1)) : QString();
      if (name.compare(QLatin1String("charset"), Qt::CaseInsensitive) == 0) {
        parts.charset = param;
        parts.has_charset = true;
        continue;
      }
      if (name.compare(QLatin1String("boundary"), Qt::CaseInsensitive) == 0) parts.boundary = param;
    }
    if (!piece.isEmpty()) kept.append(piece);
  }
  parts.content_type = kept.join(QStringLiteral("; "));
  return parts;
}

namespace {

// Attributes of one tag, names lower-cased, values unquoted.
QList<QPair<QString, QString>> TagAttributes(const QByteArray& tag) {
  QList<QPair<QString, QString>> attributes;
  qsizetype i = 0;
  const qsizetype n = tag.size();
  auto space = [&](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '/'; };
  while (i < n) {
    while (i < n && space(tag[i])) ++i;
    const qsizetype name_start = i;
    while (i < n && !space(tag[i]) && tag[i] != '=') ++i;
    const QString name = QString::fromLatin1(tag.mid(name_start, i - name_start)).toLower();
    while (i < n && (tag[i] == ' ' || tag[i] == '\t' || tag[i] == '\r' || tag[i] == '\n')) ++i;
    QString value;
    if (i < n && tag[i] == '=') {
      ++i;
      while (i < n && (tag[i] == ' ' || tag[i] == '\t' || tag[i] == '\r' || tag[i] == '\n')) ++i;
      if (i < n && (tag[i] == '"' || tag[i] == '\'')) {
        const char quote = tag[i++];
        const qsizetype value_start = i;
        while (i < n && tag[i] != quote) ++i;
        value = QString::fromLatin1(tag.mid(value_start, i - value_start));
        if (i < n) ++i;
      } else {
        const qsizetype value_start = i;
        while (i < n && !space(tag[i])) ++i;
        value = QString::fromLatin1(tag.mid(value_start, i - value_start));
      }
    }
    if (!name.isEmpty()) attributes.append({name, value});
    if (i == name_start) ++i;
  }
  return attributes;
}

}  // namespace

QString HtmlMetaCharset(const QByteArray& body, QStringList* http_equiv_lines) {
  QString charset;
  qsizetype at = 0;
  for (;;) {
    const qsizetype open = body.indexOf('<', at);
    if (open < 0) break;
    const qsizetype close = body.indexOf('>', open + 1);
    if (close < 0) break;
    at = close + 1;
    const QByteArray tag = body.mid(open + 1, close - open - 1);
    if (tag.size() < 4 || qstrnicmp(tag.constData(), "meta", 4) != 0) continue;
    if (tag.size() > 4 && !(tag[4] == ' ' || tag[4] == '\t' || tag[4] == '\r' || tag[4] == '\n' || tag[4] == '/')) continue;
    QString equiv, content, meta_charset;
    bool has_charset = false;
    for (const auto& [name, value] : TagAttributes(tag.mid(4))) {
      if (name == QLatin1String("http-equiv")) equiv = value.trimmed();
      else if (name == QLatin1String("content")) content = value;
      else if (name == QLatin1String("charset")) {
        meta_charset = value.trimmed();
        has_charset = true;
      }
    }
    if (has_charset && !meta_charset.isEmpty()) charset = meta_charset;
    if (!equiv.isEmpty()) {
      if (http_equiv_lines) http_equiv_lines->append(equiv + QStringLiteral(": ") + content);
      if (equiv.compare(QLatin1String("content-type"), Qt::CaseInsensitive) == 0) {
        const ContentTypeParts parts = ParseContentType(content);
        if (parts.has_charset && !parts.charset.isEmpty()) charset = parts.charset;
      }
    }
  }
  return charset;
}

QString XmlDeclaredEncoding(const QByteArray& body) {
  auto starts = [&](std::initializer_list<unsigned char> bytes) {
    if (body.size() < static_cast<qsizetype>(bytes.size())) return false;
    qsizetype i = 0;
    for (unsigned char b : bytes) {
      if (static_cast<unsigned char>(body[i++]) != b) return false;
    }
    return true;
  };
  // A byte-order mark decides by itself.
  if (starts({0xEF, 0xBB, 0xBF})) return QStringLiteral("UTF-8");
  if (starts({0xFE, 0xFF})) return QStringLiteral("UTF-16BE");
  if (starts({0xFF, 0xFE})) return QStringLiteral("UTF-16LE");

  // Without a mark, the first characters "<?" show how the declaration is written.
  QByteArray declaration;
  if (starts({0x3C, 0x00, 0x3F, 0x00}) || starts({0x00, 0x3C, 0x00, 0x3F})) {
    const int low = body[0] == 0x3C ? 0 : 1;
    for (qsizetype i = low; i < body.size() && declaration.size() < 512; i += 2) {
      declaration.append(body[i]);
      if (body[i] == '>') break;
    }
    if (!declaration.contains("encoding")) return low == 0 ? QStringLiteral("UTF-16LE") : QStringLiteral("UTF-16BE");
  } else if (body.startsWith("<?xml")) {
    const qsizetype end = body.indexOf("?>");
    declaration = body.left(end >= 0 ? end : std::min<qsizetype>(body.size(), 512));
  }
  if (!declaration.startsWith("<?xml")) return QStringLiteral("UTF-8");
  const qsizetype key = declaration.indexOf("encoding");
  if (key < 0) return QStringLiteral("UTF-8");
  qsizetype i = key + 8;
  while (i < declaration.size() && (declaration[i] == ' ' || declaration[i] == '\t' || declaration[i] == '\r' || declaration[i] == '\n')) ++i;
  if (i >= declaration.size() || declaration[i] != '=') return QStringLiteral("UTF-8");
  ++i;
  while (i < declaration.size() && (declaration[i] == ' ' || declaration[i] == '\t' || declaration[i] == '\r' || declaration[i] == '\n')) ++i;
  if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) return QStringLiteral("UTF-8");
  const char quote = declaration[i++];
  const qsizetype end = declaration.indexOf(quote, i);
  if (end < 0) return QStringLiteral("UTF-8");
  const QString name = QString::fromLatin1(declaration.mid(i, end - i)).trimmed();
  return name.isEmpty() ? QStringLiteral("UTF-8") : name;
}

}  // namespace orvelle::http
