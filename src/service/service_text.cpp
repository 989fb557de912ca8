#include "service/service_text.h"

#include "service/error.h"

#include <algorithm>
#include <limits>

namespace orvelle {
namespace {

constexpr char kBuiltInServiceBase[] = "https://kestra.fm";

bool IsControlOrSpace(QChar c) { return c.unicode() <= 32; }

// The digit's value in `base`, or -1.
int DigitValue(QChar c, int base) {
  const char16_t u = c.unicode();
  int value = -1;
  if (u >= u'0' && u <= u'9') value = u - u'0';
  else if (u >= u'a' && u <= u'f') value = u - u'a' + 10;
  else if (u >= u'A' && u <= u'F') value = u - u'A' + 10;
  return value < base ? value : -1;
}

[[noreturn]] void FailInteger(const QString& text) {
  throw Error(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

}  // namespace

QString ServiceBase() {
  QString base = qEnvironmentVariable("ORVELLE_SERVICE_URL");
  if (base.isEmpty()) base = QString::fromLatin1(kBuiltInServiceBase);
  while (base.endsWith(u'/')) base.chop(1);
  return base;
}

QString TrimControlAndSpace(const QString& text) {
  qsizetype first = 0;
  qsizetype end = text.size();
  while (first < end && IsControlOrSpace(text[first])) ++first;
  while (end > first && IsControlOrSpace(text[end - 1])) --end;
  return text.mid(first, end - first);
}

QString WithoutEnds(const QString& text) { return text.size() < 3 ? QString() : text.mid(1, text.size() - 2); }

qint32 TextToInt(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  int base = 10;
  if (i < text.size() && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) FailInteger(text);
  const qint64 limit = negative ? -qint64(std::numeric_limits<qint32>::min()) : std::numeric_limits<qint32>::max();
  qint64 value = 0;
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i], base);
    if (digit < 0) FailInteger(text);
    value = value * base + digit;
    if (value > limit) FailInteger(text);
  }
  return static_cast<qint32>(negative ? -value : value);
}

namespace {

// Characters that set or end a direction of their own: LRE, RLE, PDF, LRO, RLO, LRI, RLI, FSI, PDI.
bool IsDirectionControl(char16_t c) { return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069); }

// C0 and C1 controls, DEL, and the line and paragraph separators.
bool IsLineOrControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029; }

}  // namespace

QString DisplayCaption(const QString& text) {
  QString shown;
  shown.reserve(std::min<qsizetype>(text.size(), kMaxCaptionLength + 1));
  qsizetype i = 0;
  for (; i < text.size(); ++i) {
    const char16_t c = text.at(i).unicode();
    if (IsDirectionControl(c)) continue;
    if (shown.size() == kMaxCaptionLength) break;
    // A pair that would not fit whole is left out.
    if (QChar::isHighSurrogate(c) && shown.size() + 2 > kMaxCaptionLength) break;
    shown.append(IsLineOrControl(c) ? QChar(u' ') : QChar(c));
  }
  if (i < text.size()) shown.append(u'…');
  return shown;
}

}  // namespace orvelle
