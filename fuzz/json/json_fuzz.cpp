// Any text parses or gives none. A value parsed from a text without backslashes holds no
// double quote inside its strings, so its text form parses again to the same text form.
#include "service/json.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  const QString text = QString::fromUtf8(bytes, static_cast<qsizetype>(size));
  const std::optional<orvelle::json::Value> value = orvelle::json::ParseJSONValue(text);
  if (!value || std::memchr(data, '\\', size) != nullptr) return 0;

  const QString form = orvelle::json::ToString(*value);
  const std::optional<orvelle::json::Value> again = orvelle::json::ParseJSONValue(form);
  if (!again || orvelle::json::ToString(*again) != form) std::abort();
  return 0;
}
