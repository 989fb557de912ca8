#include "service/json.h"

#include <QByteArray>
#include <QStringDecoder>

#include <algorithm>
#include <string_view>

namespace orvelle::json {
namespace {

// A recursive-descent parser over the UTF-8 form of the text. Every Parse* function
// returns false on the first deviation from the grammar; the caller then gives none.
class Parser {
 public:
  explicit Parser(const QByteArray& utf8) : pos_(utf8.constData()), end_(pos_ + utf8.size()) {
    SkipByteOrderMark();
  }

  std::optional<Value> ParseDocument() {
    SkipWhitespace();
    Value value;
    if (!ParseValue(value, 0)) return std::nullopt;
    // Whitespace is taken after a closing bracket, never after a string, number or literal.
    if (value.kind == Kind::Object || value.kind == Kind::Array) SkipWhitespace();
    if (pos_ != end_) return std::nullopt;
    return value;
  }

 private:
  void SkipByteOrderMark() {
    static constexpr char kBom[] = "\xEF\xBB\xBF";
    if (end_ - pos_ >= 3 && std::equal(kBom, kBom + 3, pos_)) pos_ += 3;
  }

  static bool IsWhitespace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

  void SkipWhitespace() {
    while (pos_ != end_ && IsWhitespace(*pos_)) ++pos_;
  }

  bool AtEnd() const { return pos_ == end_; }
  bool Peek(char c) const { return pos_ != end_ && *pos_ == c; }

  bool Consume(char c) {
    if (!Peek(c)) return false;
    ++pos_;
    return true;
  }

  bool ParseValue(Value& value, int depth) {
    if (AtEnd()) return false;
    switch (*pos_) {
      case '{': return ParseObject(value, depth + 1);
      case '[': return ParseArray(value, depth + 1);
      case '"':
        value.kind = Kind::String;
        return ParseString(value.text);
      case 't': return ParseLiteral("true", Kind::True, value);
      case 'f': return ParseLiteral("false", Kind::False, value);
      case 'n': return ParseLiteral("null", Kind::Null, value);
      default: return ParseNumber(value);
    }
  }

  bool ParseLiteral(std::string_view word, Kind kind, Value& value) {
    if (static_cast<size_t>(end_ - pos_) < word.size() || std::string_view(pos_, word.size()) != word) {
      return false;
    }
    pos_ += word.size();
    value.kind = kind;
    return true;
  }

  // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?, kept as written.
  bool ParseNumber(Value& value) {
    const char* start = pos_;
    Consume('-');
    if (Consume('0')) {
      if (!AtEnd() && IsDigit(*pos_)) return false;
    } else if (!SkipDigits()) {
      return false;
    }
    if (Consume('.') && !SkipDigits()) return false;
    if (Consume('e') || Consume('E')) {
      if (!Consume('+')) Consume('-');
      if (!SkipDigits()) return false;
    }
    value.kind = Kind::Number;
    value.text = QString::fromLatin1(start, pos_ - start);
    return true;
  }

  // At least one digit.
  bool SkipDigits() {
    const char* start = pos_;
    while (!AtEnd() && IsDigit(*pos_)) ++pos_;
    return pos_ != start;
  }

  bool ParseString(QString& text) {
    ++pos_;  // the opening quote
    const char* run = pos_;  // start of the bytes not yet decoded
    auto flushRun = [&] {
      text += utf8_.decode(QByteArrayView(run, pos_ - run));
    };
    while (!AtEnd()) {
      const char c = *pos_;
      if (c == '"') {
        flushRun();
        ++pos_;
        return true;
      }
      if (c != '\\') {
        ++pos_;  // everything else, control characters included, stands as it is
        continue;
      }
      flushRun();
      ++pos_;
      if (AtEnd() || !AppendEscape(text)) return false;
      run = pos_;
    }
    return false;  // the text ended inside the string
  }

  // The character after a backslash is at pos_.
  bool AppendEscape(QString& text) {
    const char c = *pos_++;
    switch (c) {
      case '"': text += u'"'; return true;
      case '\\': text += u'\\'; return true;
      case '/': text += u'/'; return true;
      case 'b': text += u'\b'; return true;
      case 'f': text += u'\f'; return true;
      case 'n': text += u'\n'; return true;
      case 'r': text += u'\r'; return true;
      case 't': text += u'\t'; return true;
      case 'u': return AppendCodeUnit(text);
      default: return false;
    }
  }

  // Four hexadecimal digits: one UTF-16 code unit, a lone surrogate included.
  bool AppendCodeUnit(QString& text) {
    if (end_ - pos_ < 4) return false;
    char16_t unit = 0;
    for (int i = 0; i < 4; ++i) {
      const int digit = HexDigit(*pos_++);
      if (digit < 0) return false;
      unit = static_cast<char16_t>(unit * 16 + digit);
    }
    text += QChar(unit);
    return true;
  }

  static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  bool ParseArray(Value& value, int depth) {
    if (depth > kMaxNestingDepth) return false;
    ++pos_;  // [
    value.kind = Kind::Array;
    SkipWhitespace();
    if (Consume(']')) return true;
    do {
      SkipWhitespace();
      value.elements.emplace_back();
      if (!ParseValue(value.elements.back(), depth)) return false;
      SkipWhitespace();
    } while (Consume(','));
    return Consume(']');
  }

  bool ParseObject(Value& value, int depth) {
    if (depth > kMaxNestingDepth) return false;
    ++pos_;  // {
    value.kind = Kind::Object;
    SkipWhitespace();
    if (Consume('}')) return true;
    do {
      SkipWhitespace();
      Member& member = value.members.emplace_back();
      if (!Peek('"') || !ParseString(member.name)) return false;
      SkipWhitespace();
      if (!Consume(':')) return false;
      SkipWhitespace();
      if (!ParseValue(member.value, depth)) return false;
      SkipWhitespace();
    } while (Consume(','));
    return Consume('}');
  }

  const char* pos_;
  const char* const end_;
  // Keeps a U+FEFF that starts a string: only the one at the start of the text is skipped.
  QStringDecoder utf8_{QStringDecoder::Utf8, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom};
};

void AppendTextForm(const Value& value, QString& out);

void AppendStringForm(const QString& text, QString& out) {
  out += u'"';
  for (const QChar c : text) {
    if (c == u'"') out += u'\\';
    out += c;
  }
  out += u'"';
}

template <typename Items, typename AppendItem>
void AppendJoined(const Items& items, QChar open, QChar close, QString& out, AppendItem appendItem) {
  out += open;
  bool first = true;
  for (const auto& item : items) {
    if (!first) out += u',';
    first = false;
    appendItem(item);
  }
  out += close;
}

void AppendTextForm(const Value& value, QString& out) {
  switch (value.kind) {
    case Kind::String: AppendStringForm(value.text, out); return;
    case Kind::Number: out += value.text; return;
    case Kind::True: out += u"true"; return;
    case Kind::False: out += u"false"; return;
    case Kind::Null: out += u"null"; return;
    case Kind::Array:
      AppendJoined(value.elements, u'[', u']', out, [&](const Value& element) { AppendTextForm(element, out); });
      return;
    case Kind::Object:
      AppendJoined(value.members, u'{', u'}', out, [&](const Member& member) {
        AppendStringForm(member.name, out);
        out += u':';
        AppendTextForm(member.value, out);
      });
      return;
  }
}

}  // namespace

std::optional<Value> ParseJSONValue(const QString& text) {
  return Parser(text.toUtf8()).ParseDocument();
}

const Value* GetValue(const Value& object, const QString& name) {
  if (object.kind != Kind::Object) return nullptr;
  for (const Member& member : object.members) {
    if (member.name == name) return &member.value;
  }
  return nullptr;
}

QString ToString(const Value& value) {
  QString out;
  AppendTextForm(value, out);
  return out;
}

}  // namespace orvelle::json
