#pragma once

#include <QFont>
#include <QList>
#include <QSize>
#include <QString>

#include <memory>

class QPainter;
class QTextLayout;

namespace orvelle {

// The height of a font's text lines as the layouts were designed with: the ascent and descent of
// the font's "win" metrics (its OS/2 table) scaled to its pixel size, so that a Tahoma line of
// character height 29 is 35 pixels tall with its baseline 29 pixels down. Fonts without that
// table use Qt's metrics.
struct TextCell {
  int ascent = 0;
  int descent = 0;
  int Height() const { return ascent + descent; }
};
TextCell FontTextCell(const QFont& font);

// A caption with its access-key markers resolved: "&&" shows one "&", "&x" shows x underlined,
// and a single "&" at the end disappears.
struct AccessText {
  QString text;
  QList<int> underlined;  // positions in `text`
};
AccessText ResolveAccessMarkers(const QString& caption);

// How a caption is set: access markers, word wrap at a width, alignment (horizontal, and
// vertical within the rectangle it is drawn into: top unless AlignVCenter or AlignBottom).
struct CaptionFormat {
  bool access_markers = true;
  bool word_wrap = false;
  Qt::Alignment alignment = Qt::AlignLeft;
  // A single line too long for the rectangle ends in "..." (without word wrap).
  bool elide_right = false;
  bool operator==(const CaptionFormat&) const = default;
};

// A caption shaped and broken into lines once, drawn as often as needed: Update lays the text out
// again only when the caption, the font, the format or (for a wrapping format) the width differ
// from the last call, so that repainting an unchanged caption costs its drawing, not its setting.
class LaidOutCaption {
 public:
  LaidOutCaption();
  ~LaidOutCaption();
  LaidOutCaption(const LaidOutCaption&) = delete;
  LaidOutCaption& operator=(const LaidOutCaption&) = delete;

  void Update(const QString& caption, const QFont& font, const CaptionFormat& format, int wrap_width);
  // Its widest line by the number of lines times the line height.
  QSize Size() const { return size_; }
  // Draws the lines into a rectangle, each aligned inside the rectangle's width, the lines together
  // from the rectangle's top, centred in its height or at its bottom by the format's vertical
  // alignment, in the painter's pen and the font of the last Update.
  void Draw(QPainter& painter, const QRect& rect);
  // How many times the text has been laid out.
  int LayoutCount() const { return layout_count_; }

 private:
  void LayOut();
  void AlignLines(int width);
  // Draws the caption cut to the rectangle's width with "...": set anew for each such drawing.
  void DrawElided(QPainter& painter, const QRect& rect) const;

  QString caption_;
  QFont font_;
  CaptionFormat format_;
  int wrap_width_ = 0;
  bool laid_out_ = false;
  std::unique_ptr<QTextLayout> layout_;
  QSize size_;
  int aligned_width_ = -1;
  int layout_count_ = 0;
};

// The size a caption takes in a font and format: its widest line by the number of lines times
// the line height; `wrap_width` limits the lines when the format wraps.
QSize MeasureCaption(const QString& caption, const QFont& font, const CaptionFormat& format, int wrap_width);
// Draws a caption into a rectangle as LaidOutCaption::Draw does, in the painter's pen. Every kit
// control draws its text this way; a control that repaints an unchanged caption often keeps a
// LaidOutCaption instead.
void DrawCaption(QPainter& painter, const QRect& rect, const QString& caption, const QFont& font,
                 const CaptionFormat& format);

}  // namespace orvelle
