#include "controls/caption_text.h"

#include <QPainter>
#include <QRawFont>
#include <QTextLayout>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace orvelle {
namespace {

// OS/2 table: usWinAscent at byte 74, usWinDescent at byte 76 (both unsigned 16-bit, big-endian).
constexpr int kWinAscentOffset = 74;
constexpr int kWinDescentOffset = 76;
// The width a line may take when the caption does not wrap.
constexpr double kUnlimitedWidth = 1e7;

// Sets the caption's lines in `layout` one cell apart; returns the number of lines.
int SetLines(QTextLayout& layout, const TextCell& cell, bool wrap, int wrap_width) {
  QTextOption option;
  option.setWrapMode(wrap ? QTextOption::WordWrap : QTextOption::NoWrap);
  layout.setTextOption(option);
  layout.setCacheEnabled(true);
  layout.beginLayout();
  int lines = 0;
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(wrap ? std::max(1, wrap_width) : kUnlimitedWidth);
    line.setPosition(QPointF(0, lines * cell.Height() + cell.ascent - line.ascent()));
    ++lines;
  }
  layout.endLayout();
  return lines;
}

QString WithLineSeparators(QString text) {
  text.replace(QLatin1String("\r\n"), QString(QChar::LineSeparator));
  text.replace(QLatin1Char('\n'), QChar::LineSeparator);
  text.replace(QLatin1Char('\r'), QChar::LineSeparator);
  return text;
}

}  // namespace

TextCell FontTextCell(const QFont& font) {
  const QRawFont raw = QRawFont::fromFont(font);
  const QByteArray os2 = raw.isValid() ? raw.fontTable("OS/2") : QByteArray();
  if (os2.size() >= kWinDescentOffset + 2 && raw.unitsPerEm() > 0) {
    const auto* bytes = reinterpret_cast<const uchar*>(os2.constData());
    const double scale = raw.pixelSize() / raw.unitsPerEm();
    return {static_cast<int>(std::lround(qFromBigEndian<quint16>(bytes + kWinAscentOffset) * scale)),
            static_cast<int>(std::lround(qFromBigEndian<quint16>(bytes + kWinDescentOffset) * scale))};
  }
  const QFontMetrics metrics(font);
  return {metrics.ascent(), metrics.descent()};
}

AccessText ResolveAccessMarkers(const QString& caption) {
  AccessText result;
  result.text.reserve(caption.size());
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == QLatin1Char('&')) {
      if (i + 1 == caption.size()) break;
      ++i;
      if (caption[i] != QLatin1Char('&')) result.underlined.append(static_cast<int>(result.text.size()));
    }
    result.text.append(caption[i]);
  }
  return result;
}

QSize MeasureCaption(const QString& caption, const QFont& font, const CaptionFormat& format, int wrap_width) {
  const QString text = format.access_markers ? ResolveAccessMarkers(caption).text : caption;
  const TextCell cell = FontTextCell(font);
  QTextLayout layout(WithLineSeparators(text), font);
  const int lines = SetLines(layout, cell, format.word_wrap, wrap_width);
  double widest = 0;
  for (int i = 0; i < layout.lineCount(); ++i) widest = std::max(widest, layout.lineAt(i).naturalTextWidth());
  return QSize(static_cast<int>(std::lround(widest)), lines * cell.Height());
}

void DrawCaption(QPainter& painter, const QRect& rect, const QString& caption, const QFont& font,
                 const CaptionFormat& format) {
  AccessText access = format.access_markers ? ResolveAccessMarkers(caption) : AccessText{caption, {}};
  if (format.elide_right && !format.word_wrap) {
    access = {QFontMetrics(font).elidedText(access.text, Qt::ElideRight, rect.width()), {}};
  }
  QTextLayout layout(WithLineSeparators(access.text), font);
  QList<QTextLayout::FormatRange> underlines;
  for (int position : access.underlined) {
    QTextLayout::FormatRange range;
    range.start = position;
    range.length = 1;
    range.format.setFontUnderline(true);
    underlines.append(range);
  }
  layout.setFormats(underlines);
  const TextCell cell = FontTextCell(font);
  const int lines = SetLines(layout, cell, format.word_wrap, rect.width());
  for (int i = 0; i < layout.lineCount(); ++i) {
    QTextLine line = layout.lineAt(i);
    const double spare = rect.width() - line.naturalTextWidth();
    double x = 0;
    if (format.alignment & Qt::AlignRight) x = spare;
    if (format.alignment & Qt::AlignHCenter) x = std::floor(spare / 2);
    line.setPosition(QPointF(x, line.position().y()));
  }
  const int spare_height = rect.height() - lines * cell.Height();
  int top = 0;
  if (format.alignment & Qt::AlignBottom) top = spare_height;
  if (format.alignment & Qt::AlignVCenter) top = static_cast<int>(std::floor(spare_height / 2.0));
  painter.save();
  painter.setFont(font);
  layout.draw(&painter, rect.topLeft() + QPoint(0, top));
  painter.restore();
}

}  // namespace orvelle
