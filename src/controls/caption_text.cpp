#include "controls/caption_text.h"

#include <QFontMetrics>
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

LaidOutCaption::LaidOutCaption() = default;
LaidOutCaption::~LaidOutCaption() = default;

void LaidOutCaption::Update(const QString& caption, const QFont& font, const CaptionFormat& format, int wrap_width) {
  // A caption that does not wrap is set the same at every width; only its alignment follows the
  // width, at drawing time.
  if (!format.word_wrap) wrap_width = 0;
  if (laid_out_ && caption == caption_ && format == format_ && wrap_width == wrap_width_ && font == font_) {
    return;
  }
  caption_ = caption;
  font_ = font;
  format_ = format;
  wrap_width_ = wrap_width;
  LayOut();
}

void LaidOutCaption::LayOut() {
  AccessText access = format_.access_markers ? ResolveAccessMarkers(caption_) : AccessText{caption_, {}};
  layout_ = std::make_unique<QTextLayout>(WithLineSeparators(access.text), font_);
  QList<QTextLayout::FormatRange> underlines;
  for (int position : access.underlined) {
    QTextLayout::FormatRange range;
    range.start = position;
    range.length = 1;
    range.format.setFontUnderline(true);
    underlines.append(range);
  }
  layout_->setFormats(underlines);
  const TextCell cell = FontTextCell(font_);
  const int lines = SetLines(*layout_, cell, format_.word_wrap, wrap_width_);
  double widest = 0;
  for (int i = 0; i < layout_->lineCount(); ++i) widest = std::max(widest, layout_->lineAt(i).naturalTextWidth());
  size_ = QSize(static_cast<int>(std::lround(widest)), lines * cell.Height());
  aligned_width_ = -1;
  laid_out_ = true;
  ++layout_count_;
}

void LaidOutCaption::AlignLines(int width) {
  if (width == aligned_width_) return;
  aligned_width_ = width;
  for (int i = 0; i < layout_->lineCount(); ++i) {
    QTextLine line = layout_->lineAt(i);
    const double spare = width - line.naturalTextWidth();
    double x = 0;
    if (format_.alignment & Qt::AlignRight) x = spare;
    if (format_.alignment & Qt::AlignHCenter) x = std::floor(spare / 2);
    line.setPosition(QPointF(x, line.position().y()));
  }
}

void LaidOutCaption::Draw(QPainter& painter, const QRect& rect) {
  if (!laid_out_) return;
  if (format_.elide_right && !format_.word_wrap && size_.width() > rect.width()) {
    DrawElided(painter, rect);
    return;
  }
  AlignLines(rect.width());
  const int spare_height = rect.height() - size_.height();
  int top = 0;
  if (format_.alignment & Qt::AlignBottom) top = spare_height;
  if (format_.alignment & Qt::AlignVCenter) top = static_cast<int>(std::floor(spare_height / 2.0));
  painter.save();
  painter.setFont(font_);
  layout_->draw(&painter, rect.topLeft() + QPoint(0, top));
  painter.restore();
}

void LaidOutCaption::DrawElided(QPainter& painter, const QRect& rect) const {
  const QString shown = format_.access_markers ? ResolveAccessMarkers(caption_).text : caption_;
  CaptionFormat format = format_;
  format.access_markers = false;
  format.elide_right = false;
  LaidOutCaption elided;
  elided.Update(QFontMetrics(font_).elidedText(shown, Qt::ElideRight, rect.width()), font_, format, rect.width());
  elided.Draw(painter, rect);
}

QSize MeasureCaption(const QString& caption, const QFont& font, const CaptionFormat& format, int wrap_width) {
  LaidOutCaption laid_out;
  laid_out.Update(caption, font, format, wrap_width);
  return laid_out.Size();
}

void DrawCaption(QPainter& painter, const QRect& rect, const QString& caption, const QFont& font,
                 const CaptionFormat& format) {
  LaidOutCaption laid_out;
  laid_out.Update(caption, font, format, rect.width());
  laid_out.Draw(painter, rect);
}

}  // namespace orvelle
