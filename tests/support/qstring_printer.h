#pragma once

#include <QString>

#include <ostream>

QT_BEGIN_NAMESPACE
// Readable texts in test failure output.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE
