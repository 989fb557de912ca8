#pragma once

// Reading values of the service's JSON answers.

#include "service/json.h"

#include <QString>

namespace orvelle {

// The text a value of an answer stands for: a string's decoded value (escaped quotes, slashes
// and line breaks as the characters they stand for), any other value's text form without
// double quotes.
QString ValueText(const json::Value& value);

}  // namespace orvelle
