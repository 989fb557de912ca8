#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvelle::demo {

// Writes compact JSON text the way the radio service writes it: every "/" in a string is
// escaped as "\/", control characters as short escapes or \u00XX, and non-ASCII characters
// either as raw UTF-8 or, when asked, as \uXXXX escapes (surrogate pairs beyond U+FFFF).
// Commas and colons are placed by the writer; callers only open, name and close.
class JsonWriter {
 public:
  explicit JsonWriter(bool escapeNonAscii = false) : escapeNonAscii_(escapeNonAscii) {}

  JsonWriter& beginObject();
  JsonWriter& endObject();
  JsonWriter& beginArray();
  JsonWriter& endArray();
  // Names the next member of the open object.
  JsonWriter& key(std::string_view name);
  JsonWriter& string(std::string_view utf8);
  JsonWriter& number(long long value);
  JsonWriter& boolean(bool value);
  JsonWriter& null();

  const std::string& text() const { return out_; }

  // A JSON string literal (with its quotes) for the UTF-8 text. Bytes that are not valid
  // UTF-8 are written as U+FFFD.
  static std::string quote(std::string_view utf8, bool escapeNonAscii = false);

 private:
  void beforeValue();

  bool escapeNonAscii_;
  std::string out_;
  // One entry per open object or array: true until its first element is written.
  std::vector<bool> first_;
  bool afterKey_ = false;
};

}  // namespace orvelle::demo
