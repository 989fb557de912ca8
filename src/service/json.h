#pragma once

// The JSON document model of the service answers, and its three operations:
// parsing a text into one value, looking up an object member, and the value's text form.
//
// The text form is not a JSON serialisation: it escapes nothing but the double quote,
// and the clean-up of service answers relies on exactly that.

#include <QString>

#include <optional>
#include <vector>

namespace orvelle::json {

enum class Kind { Object, Array, String, Number, True, False, Null };

struct Member;

struct Value {
  Kind kind = Kind::Null;
  // String: the decoded text. Number: the characters as they stood in the parsed text.
  QString text;
  std::vector<Value> elements;  // Array
  std::vector<Member> members;  // Object, in the order of the text, duplicate names kept
};

struct Member {
  QString name;
  Value value;
};

// Arrays and objects nested deeper than this give none: no answer can exhaust the stack.
inline constexpr int kMaxNestingDepth = 512;

// One value that spans the whole text (surrounding whitespace allowed), or none.
std::optional<Value> ParseJSONValue(const QString& text);

// The value of the first member named exactly `name`; none (nullptr) when no member has
// that name or `object` is not an object. The result points into `object`.
const Value* GetValue(const Value& object, const QString& name);

// The value's text form: no whitespace, and only double quotes escaped inside strings.
QString ToString(const Value& value);

}  // namespace orvelle::json
