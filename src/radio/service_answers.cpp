#include "radio/service_answers.h"

namespace orvelle {

QString ValueText(const json::Value& value) {
  if (value.kind == json::Kind::String) return value.text;
  return json::ToString(value).remove(u'"');
}

}  // namespace orvelle
