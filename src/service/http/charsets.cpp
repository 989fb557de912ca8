#include "service/http/charsets.h"

#include <QHash>
#include <QStringDecoder>

#include <cerrno>
#include <iconv.h>

namespace orvelle::http {

namespace {

struct NameEntry {
  const char* name;
  int code_page;
};

// Registered character-set names and aliases with the code page each one stands for.
constexpr NameEntry kNames[] = {
    {"utf-8", 65001}, {"unicode-1-1-utf-8", 65001}, {"unicode-2-0-utf-8", 65001}, {"x-unicode20utf8", 65001},
    {"csutf8", 65001},
    {"utf-7", 65000}, {"unicode-1-1-utf-7", 65000}, {"csunicode11utf7", 65000}, {"x-unicode20utf7", 65000},
    {"utf-16", 1200}, {"utf-16le", 1200}, {"unicode", 1200}, {"ucs-2", 1200}, {"iso-10646-ucs-2", 1200},
    {"csunicode", 1200},
    {"utf-16be", 1201}, {"unicodefffe", 1201},
    {"utf-32", 12000}, {"utf-32le", 12000}, {"utf-32be", 12001},
    {"us-ascii", 20127}, {"ascii", 20127}, {"ansi_x3.4-1968", 20127}, {"ansi_x3.4-1986", 20127},
    {"iso-ir-6", 20127}, {"iso_646.irv:1991", 20127}, {"iso646-us", 20127}, {"us", 20127}, {"ibm367", 20127},
    {"cp367", 20127}, {"csascii", 20127},
    {"iso-8859-1", 28591}, {"iso_8859-1", 28591}, {"iso_8859-1:1987", 28591}, {"iso-ir-100", 28591},
    {"latin1", 28591}, {"l1", 28591}, {"ibm819", 28591}, {"cp819", 28591}, {"csisolatin1", 28591},
    {"iso-8859-2", 28592}, {"iso_8859-2", 28592}, {"iso_8859-2:1987", 28592}, {"iso-ir-101", 28592},
    {"latin2", 28592}, {"l2", 28592}, {"csisolatin2", 28592},
    {"iso-8859-3", 28593}, {"iso_8859-3", 28593}, {"latin3", 28593}, {"l3", 28593}, {"csisolatin3", 28593},
    {"iso-8859-4", 28594}, {"iso_8859-4", 28594}, {"latin4", 28594}, {"l4", 28594}, {"csisolatin4", 28594},
    {"iso-8859-5", 28595}, {"iso_8859-5", 28595}, {"cyrillic", 28595}, {"csisolatincyrillic", 28595},
    {"iso-8859-6", 28596}, {"iso_8859-6", 28596}, {"arabic", 28596}, {"csisolatinarabic", 28596},
    {"iso-8859-7", 28597}, {"iso_8859-7", 28597}, {"greek", 28597}, {"greek8", 28597}, {"csisolatingreek", 28597},
    {"iso-8859-8", 28598}, {"iso_8859-8", 28598}, {"hebrew", 28598}, {"csisolatinhebrew", 28598},
    {"iso-8859-9", 28599}, {"iso_8859-9", 28599}, {"latin5", 28599}, {"l5", 28599}, {"csisolatin5", 28599},
    {"iso-8859-13", 28603}, {"iso-8859-15", 28605}, {"iso_8859-15", 28605}, {"latin-9", 28605},
    {"windows-1250", 1250}, {"windows-1251", 1251}, {"windows-1252", 1252}, {"windows-1253", 1253},
    {"windows-1254", 1254}, {"windows-1255", 1255}, {"windows-1256", 1256}, {"windows-1257", 1257},
    {"windows-1258", 1258}, {"x-cp1250", 1250}, {"x-cp1251", 1251},
    {"gbk", 936}, {"gb2312", 936}, {"csgb2312", 936}, {"gb_2312-80", 936}, {"iso-ir-58", 936}, {"chinese", 936},
    {"csiso58gb231280", 936}, {"cp936", 936}, {"ms936", 936}, {"windows-936", 936}, {"x-gbk", 936},
    {"gb18030", 54936},
    {"big5", 950}, {"csbig5", 950}, {"cn-big5", 950}, {"x-x-big5", 950}, {"big5-hkscs", 950},
    {"shift_jis", 932}, {"ms_kanji", 932}, {"csshiftjis", 932}, {"windows-31j", 932}, {"cswindows31j", 932},
    {"x-sjis", 932}, {"sjis", 932},
    {"euc-jp", 51932}, {"extended_unix_code_packed_format_for_japanese", 51932}, {"cseucpkdfmtjapanese", 51932},
    {"iso-2022-jp", 50220}, {"csiso2022jp", 50220},
    {"euc-kr", 949}, {"cseuckr", 949}, {"ks_c_5601-1987", 949}, {"korean", 949}, {"iso-ir-149", 949},
    {"ks_c_5601-1989", 949}, {"ksc_5601", 949}, {"csksc56011987", 949},
    {"koi8-r", 20866}, {"cskoi8r", 20866}, {"koi", 20866}, {"koi8", 20866}, {"koi8-u", 21866},
    {"ibm437", 437}, {"cp437", 437}, {"437", 437}, {"cspc8codepage437", 437},
    {"ibm850", 850}, {"cp850", 850}, {"ibm852", 852}, {"cp852", 852}, {"ibm866", 866}, {"cp866", 866},
    {"windows-874", 874}, {"tis-620", 874}, {"dos-874", 874},
};

// The iconv name of each code page that is not converted by hand.
const char* IconvName(int code_page) {
  switch (code_page) {
    case 65000: return "UTF-7";
    case 12000: return "UTF-32LE";
    case 12001: return "UTF-32BE";
    case 28592: return "ISO-8859-2";
    case 28593: return "ISO-8859-3";
    case 28594: return "ISO-8859-4";
    case 28595: return "ISO-8859-5";
    case 28596: return "ISO-8859-6";
    case 28597: return "ISO-8859-7";
    case 28598: return "ISO-8859-8";
    case 28599: return "ISO-8859-9";
    case 28603: return "ISO-8859-13";
    case 28605: return "ISO-8859-15";
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1252: return "CP1252";
    case 1253: return "CP1253";
    case 1254: return "CP1254";
    case 1255: return "CP1255";
    case 1256: return "CP1256";
    case 1257: return "CP1257";
    case 1258: return "CP1258";
    case 936: return "CP936";
    case 54936: return "GB18030";
    case 950: return "CP950";
    case 932: return "CP932";
    case 51932: return "EUC-JP";
    case 50220: return "ISO-2022-JP";
    case 949: return "CP949";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 437: return "CP437";
    case 850: return "CP850";
    case 852: return "CP852";
    case 866: return "CP866";
    case 874: return "CP874";
    default: return nullptr;
  }
}

const QHash<QString, int>& NameTable() {
  static const QHash<QString, int> table = [] {
    QHash<QString, int> t;
    for (const NameEntry& entry : kNames) t.insert(QString::fromLatin1(entry.name), entry.code_page);
    return t;
  }();
  return table;
}

QString EightBit(const QByteArray& body) { return QString::fromLatin1(body); }

QString Utf16(const QByteArray& body, bool big_endian) {
  QString text;
  text.reserve(body.size() / 2 + 1);
  const auto* bytes = reinterpret_cast<const unsigned char*>(body.constData());
  qsizetype i = 0;
  for (; i + 1 < body.size(); i += 2) {
    text.append(QChar(big_endian ? (bytes[i] << 8 | bytes[i + 1]) : (bytes[i + 1] << 8 | bytes[i])));
  }
  if (i < body.size()) text.append(QChar(QChar::ReplacementCharacter));
  return text;
}

// Converts with iconv into UTF-16; a byte that cannot be converted becomes U+FFFD.
// Returns false when iconv does not know the encoding. The conversion goes through a small
// buffer of fixed size into the text, so it needs no more memory than the text itself.
bool IconvDecode(const char* name, const QByteArray& body, QString* text) {
  iconv_t cd = iconv_open("UTF-16LE", name);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  constexpr size_t kPieceBytes = 64 * 1024;
  char16_t piece[kPieceBytes / 2];
  char* in = const_cast<char*>(body.constData());
  size_t in_left = static_cast<size_t>(body.size());
  QString result;
  // Most encodings give at most one UTF-16 unit per byte; a rare longer text simply grows.
  result.reserve(body.size());
  // Converts what `convert` can into the piece, as often as it fills it, and appends it.
  auto drain = [&](auto convert) {
    for (;;) {
      char* out_pos = reinterpret_cast<char*>(piece);
      size_t out_left = sizeof piece;
      const size_t rc = convert(&out_pos, &out_left);
      const int saved_errno = errno;
      result.append(reinterpret_cast<const QChar*>(piece), static_cast<qsizetype>((sizeof piece - out_left) / 2));
      if (rc != static_cast<size_t>(-1) || saved_errno != E2BIG) return saved_errno;
    }
  };
  while (in_left > 0) {
    errno = 0;
    const int error = drain([&](char** out_pos, size_t* out_left) { return iconv(cd, &in, &in_left, out_pos, out_left); });
    if (error != EILSEQ && error != EINVAL) break;
    // An invalid or incomplete sequence: one replacement character, then go on after the byte.
    result.append(QChar(QChar::ReplacementCharacter));
    ++in;
    --in_left;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  // Flush any shift state.
  drain([&](char** out_pos, size_t* out_left) { return iconv(cd, nullptr, nullptr, out_pos, out_left); });
  iconv_close(cd);
  *text = std::move(result);
  return true;
}

}  // namespace

int CodePageForCharset(const QString& charset) {
  return NameTable().value(charset.trimmed().toLower(), 0);
}

QString DecodeBody(const QByteArray& body, const QString& charset) {
  const QString name = charset.trimmed();
  if (name.isEmpty()) return EightBit(body);
  const int code_page = CodePageForCharset(name);
  switch (code_page) {
    case 65001: {
      // A leading byte-order mark stays in the text as U+FEFF.
      QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
      return decoder.decode(body);
    }
    case 28591: return EightBit(body);
    case 20127: {
      // The US-ASCII code page clears the high bit of bytes above 127.
      QString text(body.size(), Qt::Uninitialized);
      for (qsizetype i = 0; i < body.size(); ++i) text[i] = QChar(static_cast<unsigned char>(body[i]) & 0x7F);
      return text;
    }
    case 1200: return Utf16(body, false);
    case 1201: return Utf16(body, true);
    default: break;
  }
  QString text;
  if (code_page != 0) {
    const char* iconv_name = IconvName(code_page);
    if (iconv_name && IconvDecode(iconv_name, body, &text)) return text;
    return EightBit(body);
  }
  // A name outside the table: iconv may still know it.
  const QByteArray latin = name.toLatin1();
  bool plain = true;
  for (char c : latin) plain = plain && (c > 32 && c < 127 && c != '/');
  if (plain && IconvDecode(latin.constData(), body, &text)) return text;
  return EightBit(body);
}

}  // namespace orvelle::http
