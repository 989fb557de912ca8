#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

class QPainter;

namespace orvelle {

// A fixed-size strip of 32-bit images with alpha, addressed by a 0-based index (-1 means none).
//
// The list is filled from an image-list stream (LoadFromStream, or Source naming a resource that
// holds one) and can be written back in the same form (SaveToStream). The stream, little-endian:
//   28-byte header: "IL", version 0x0101, image count, capacity, growth step, cell width and
//   height, background colour (0xFFFFFFFF for none), flags (0x1021: 32-bit colour with a mask),
//   four overlay indexes;
//   the colour bitmap as a bitmap file (32 bits per pixel, blue-green-red-alpha, colour
//   premultiplied by alpha, bottom row first), the cells laid out four to a row;
//   the mask bitmap as a bitmap file of the same size (1 bit per pixel, two-entry palette, a set
//   bit marking a pixel whose alpha is 0);
//   22 zero bytes.
// Drawing uses the alpha channel; the mask is kept for callers that want it.
class ImageList : public QObject {
  Q_OBJECT
  Q_PROPERTY(int Width READ Width WRITE SetWidth)
  Q_PROPERTY(int Height READ Height WRITE SetHeight)
  // Resource path of an image-list stream, ":/icons/speaker_font_icons.imagelist" or
  // ":/icons/transport_icons.imagelist". When a stream of twice the cell size lies beside it
  // ("speaker_font_icons@2x.imagelist"), it is loaded too,
  // and Draw uses its images on devices of more than one pixel per unit.
  Q_PROPERTY(QString Source READ Source WRITE SetSource)

 public:
  // Limits the reader enforces before it allocates anything.
  static constexpr int kMaxCellSide = 1024;
  static constexpr std::int64_t kMaxBitmapPixels = 16 * 1024 * 1024;
  static constexpr std::int64_t kMaxSourceSize = 128 * 1024 * 1024;
  // Cells per row of the stored bitmaps.
  static constexpr int kCellsPerRow = 4;
  // Zero bytes that close a stream.
  static constexpr int kTrailerSize = 22;
  static constexpr std::uint16_t kStreamVersion = 0x0101;
  static constexpr std::uint32_t kNoBackground = 0xFFFFFFFFu;
  // Flags: bit 0 says a mask bitmap follows; bits 1..7 give the colour depth, 0x20 for 32 bits.
  // The writer always writes kDefaultFlags.
  static constexpr std::uint16_t kFlagMask = 0x0001;
  static constexpr std::uint16_t kFlagColorDepthBits = 0x00FE;
  static constexpr std::uint16_t kFlagColor32 = 0x0020;
  static constexpr std::uint16_t kDefaultFlags = 0x1021;

  Q_INVOKABLE explicit ImageList(QObject* parent = nullptr);

  int Count() const;

  // Cell size. Writing a different positive size empties the list; other values are ignored.
  int Width() const;
  void SetWidth(int width);
  int Height() const;
  void SetHeight(int height);

  // Loads the stream stored under `path` (a Qt resource or file path); an empty path empties the
  // list. Throws orvelle::Error when the file cannot be read or the stream is malformed; the list
  // keeps its former content then.
  QString Source() const;
  void SetSource(const QString& path);

  // Replaces the content by the images of an image-list stream. Throws orvelle::Error when the
  // stream is malformed or truncated; the list keeps its former content then.
  void LoadFromStream(const QByteArray& bytes);
  // The content as an image-list stream. The bitmaps get count / 4 + 1 rows of cells, so there is
  // always room after the last image; the mask is made from the alpha channel. Throws
  // orvelle::Error when the bitmap would exceed kMaxBitmapPixels (the reader would refuse it).
  QByteArray SaveToStream() const;

  // The image at `index` (ARGB32 premultiplied, cell-sized); a null image for -1 or out of range.
  QImage Image(int index) const;
  // The mask of the image at `index`: a cell-sized 1-bit image, a set bit marking a transparent
  // pixel. For a loaded stream it is the stored mask (made from the alpha channel when the stream
  // has none); for an added image it is made from the alpha channel. Null for -1 or out of range.
  QImage Mask(int index) const;

  // Draws the image at `index` with its top-left corner at (x, y), blended through its alpha
  // channel; dimmed (grey at half opacity) when `enabled` is false. Nothing for -1 or out of range.
  // On a high-density device the double-density image is drawn in the same place, when the
  // list has one (see Source).
  void Draw(QPainter& painter, int x, int y, int index, bool enabled = true) const;

  // Appends an image of the list's cell size (converted to ARGB32 premultiplied) and returns its
  // index. Throws orvelle::Error when the size differs from the cell size.
  int Add(const QImage& image);
  void Clear();

  // Header values kept for writing the list back. The background colour is not drawn: images
  // always blend through their alpha channel.
  int Capacity() const;
  void SetCapacity(int capacity);  // 0..65535; other values are ignored
  int GrowBy() const;
  void SetGrowBy(int grow_by);     // 0..65535; other values are ignored
  std::uint32_t BackgroundColor() const;
  std::array<std::int16_t, 4> Overlays() const;

 signals:
  void Changed();

 private:
  void Load(const QByteArray& bytes, const QString& source);
  void LoadDoubleDensityCompanion(const QString& path);

  int width_ = 16;
  int height_ = 16;
  int capacity_ = 4;
  int grow_by_ = 4;
  std::uint32_t background_ = kNoBackground;
  std::array<std::int16_t, 4> overlays_{-1, -1, -1, -1};
  QString source_;
  std::vector<QImage> images_;
  std::vector<QImage> masks_;  // one per image
  // The images at twice the cell size, device pixel ratio 2; empty, or one per image.
  std::vector<QImage> double_density_images_;
};

}  // namespace orvelle
