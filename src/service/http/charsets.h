#pragma once

#include <QByteArray>
#include <QString>

namespace orvelle::http {

// The code page a character-set name stands for (names matched without regard to case),
// or 0 when the name is not a known one.
int CodePageForCharset(const QString& charset);

// Turns body bytes into text with the named character set. Known names decode with their
// code page; other names are tried with iconv; an empty or unknown name, or a code page that
// cannot be converted, maps every byte to the character of the same number (U+0000 to U+00FF).
// A byte-order mark is not treated specially: it is decoded like any other bytes.
QString DecodeBody(const QByteArray& body, const QString& charset);

}  // namespace orvelle::http
