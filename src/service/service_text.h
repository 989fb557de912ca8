#pragma once

// Text helpers for the service's answers.

#include <QString>

#include <QtGlobal>

namespace orvelle {

// The service's address: scheme, host and optional port, without a trailing "/". It is
// "https://kestra.fm", or the value of ORVELLE_SERVICE_URL when that is set and not empty.
QString ServiceBase();

// The text without the leading and trailing characters whose code is 32 or below.
QString TrimControlAndSpace(const QString& text);

// The text without its first and last character; empty when it has fewer than three.
QString WithoutEnds(const QString& text);

// The value of a whole-number text: optional leading spaces, an optional sign, then decimal
// digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X", and nothing else. The value
// must lie in the signed 32-bit range. Throws Error "'<text>' is not a valid integer value"
// otherwise.
qint32 TextToInt(const QString& text);

// The longest caption a label is given, in UTF-16 code units, "…" not counted.
inline constexpr int kMaxCaptionLength = 500;

// The text made safe to show on a one-line label: line breaks and other control characters
// become spaces, bidirectional embedding, override and isolate characters are dropped (they
// could turn the rest of the window's text around), and a text longer than kMaxCaptionLength is
// cut there with "…" (never inside a surrogate pair). Only the part that is kept is looked at, so
// a text of millions of characters costs no more than a short one.
QString DisplayCaption(const QString& text);

}  // namespace orvelle
