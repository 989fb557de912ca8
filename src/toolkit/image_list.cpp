#include "toolkit/image_list.h"

#include "service/error.h"
#include "service/log.h"

#include <QFile>
#include <QPainter>
#include <QtEndian>

#include <algorithm>
#include <limits>

namespace orvelle {

namespace {

constexpr int kHeaderSize = 28;
constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr int kMaskPaletteEntries = 2;

Error StreamError(const QString& what) { return Error(QStringLiteral("Invalid image list stream: %1").arg(what)); }

// Bounds-checked little-endian reading over the stream's bytes. Every read tests the remaining
// length first, so a truncated stream fails with a message that names what is missing.
class ByteReader {
 public:
  explicit ByteReader(const QByteArray& bytes)
      : data_(reinterpret_cast<const uchar*>(bytes.constData())), size_(bytes.size()) {}

  qint64 Position() const { return pos_; }
  qint64 Remaining() const { return size_ - pos_; }

  void Need(qint64 count, const QString& what) const {
    if (count < 0 || count > Remaining()) {
      throw StreamError(QStringLiteral("the stream ends inside the %1").arg(what));
    }
  }
  const uchar* Take(qint64 count, const QString& what) {
    Need(count, what);
    const uchar* at = data_ + pos_;
    pos_ += count;
    return at;
  }
  void Skip(qint64 count, const QString& what) { Take(count, what); }
  quint16 U16(const QString& what) { return qFromLittleEndian<quint16>(Take(2, what)); }
  qint16 I16(const QString& what) { return qFromLittleEndian<qint16>(Take(2, what)); }
  quint32 U32(const QString& what) { return qFromLittleEndian<quint32>(Take(4, what)); }
  qint32 I32(const QString& what) { return qFromLittleEndian<qint32>(Take(4, what)); }

 private:
  const uchar* data_;
  qint64 size_;
  qint64 pos_ = 0;
};

// One bitmap of the stream, its pixel rows still in the stream's buffer.
struct StoredBitmap {
  int width = 0;
  int height = 0;
  bool top_down = false;
  qint64 stride = 0;
  const uchar* pixels = nullptr;

  // The stored row that holds image row `y` (0 = top).
  const uchar* Row(int y) const { return pixels + stride * (top_down ? y : height - 1 - y); }
};

// Reads a bitmap file (file header, 40-byte or larger information header, palette, pixels) of
// `bits` bits per pixel, uncompressed. The file size field is not trusted; the pixel offset is
// checked against the headers and the pixel bytes against the stream before any use.
StoredBitmap ReadBitmap(ByteReader& in, const QString& name, int bits) {
  const qint64 start = in.Position();
  const QString header = name + QStringLiteral(" header");
  const uchar* magic = in.Take(2, header);
  if (magic[0] != 'B' || magic[1] != 'M') {
    throw StreamError(QStringLiteral("the %1 does not start with \"BM\"").arg(name));
  }
  in.U32(header);  // file size field, not used
  in.Skip(4, header);
  const quint32 pixel_offset = in.U32(header);

  const quint32 info_size = in.U32(header);
  const qint32 width = in.I32(header);
  const qint32 height = in.I32(header);
  const quint16 planes = in.U16(header);
  const quint16 bit_count = in.U16(header);
  const quint32 compression = in.U32(header);
  const quint32 image_size = in.U32(header);
  in.Skip(8, header);  // resolution
  const quint32 colors_used = in.U32(header);
  in.U32(header);  // important colours
  if (info_size < kInfoHeaderSize) {
    throw StreamError(QStringLiteral("the %1 has an information header of %2 bytes").arg(name).arg(info_size));
  }
  in.Skip(qint64(info_size) - kInfoHeaderSize, header);
  if (planes != 1 || bit_count != bits || compression != 0) {
    throw StreamError(QStringLiteral("the %1 is not an uncompressed %2-bit bitmap").arg(name).arg(bits));
  }
  if (width <= 0 || height == 0 || height == std::numeric_limits<qint32>::min()) {
    throw StreamError(QStringLiteral("the %1 has the size %2 x %3").arg(name).arg(width).arg(height));
  }
  StoredBitmap bitmap;
  bitmap.width = width;
  bitmap.height = height < 0 ? -height : height;
  bitmap.top_down = height < 0;
  if (qint64(bitmap.width) * bitmap.height > ImageList::kMaxBitmapPixels) {
    throw StreamError(QStringLiteral("the %1 is too large").arg(name));
  }
  // Rows are padded to whole 32-bit words.
  bitmap.stride = (qint64(bitmap.width) * bits + 31) / 32 * 4;
  const qint64 pixel_bytes = bitmap.stride * bitmap.height;
  if (image_size != 0 && image_size != pixel_bytes) {
    throw StreamError(QStringLiteral("the %1's image size field does not match its size").arg(name));
  }

  qint64 palette_entries = colors_used;
  if (bits == 1) {
    if (colors_used > kMaskPaletteEntries) {
      throw StreamError(QStringLiteral("the %1 has a palette of %2 entries").arg(name).arg(colors_used));
    }
    palette_entries = kMaskPaletteEntries;
  }
  const QString palette = name + QStringLiteral(" palette");
  in.Skip(palette_entries * 4, palette);
  const qint64 headers_end = in.Position() - start;
  if (pixel_offset < headers_end) {
    throw StreamError(QStringLiteral("the %1's pixel offset points into its headers").arg(name));
  }
  in.Skip(pixel_offset - headers_end, name);
  bitmap.pixels = in.Take(pixel_bytes, name + QStringLiteral(" pixels"));
  return bitmap;
}

// A set bit for every pixel whose alpha is 0.
QImage NewMask(QSize size) {
  QImage bits(size, QImage::Format_Mono);
  bits.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  bits.fill(0);
  return bits;
}

// Sets bit x of a row stored most significant bit first.
void SetBit(uchar* row, qint64 x) { row[x / 8] = uchar(row[x / 8] | (0x80 >> (x % 8))); }
bool Bit(const uchar* row, qint64 x) { return (row[x / 8] >> (7 - x % 8)) & 1; }

QImage MaskFromAlpha(const QImage& image) {
  QImage bits = NewMask(image.size());
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    uchar* target = bits.scanLine(y);
    for (int x = 0; x < image.width(); ++x) {
      if (qAlpha(row[x]) == 0) {
        SetBit(target, x);
      }
    }
  }
  return bits;
}

struct ParsedList {
  int width = 0;
  int height = 0;
  int capacity = 0;
  int grow_by = 0;
  std::uint32_t background = ImageList::kNoBackground;
  std::array<std::int16_t, 4> overlays{};
  std::vector<QImage> images;
  std::vector<QImage> masks;
};

ParsedList ParseStream(const QByteArray& bytes) {
  ByteReader in(bytes);
  const QString header = QStringLiteral("header");
  const uchar* magic = in.Take(2, header);
  if (magic[0] != 'I' || magic[1] != 'L') {
    throw StreamError(QStringLiteral("it does not start with \"IL\""));
  }
  const quint16 version = in.U16(header);
  const int count = in.U16(header);
  ParsedList list;
  list.capacity = in.U16(header);
  list.grow_by = in.U16(header);
  list.width = in.U16(header);
  list.height = in.U16(header);
  list.background = in.U32(header);
  const quint16 flags = in.U16(header);
  for (auto& overlay : list.overlays) {
    overlay = in.I16(header);
  }
  if (version != ImageList::kStreamVersion) {
    throw StreamError(QStringLiteral("unsupported version 0x%1").arg(version, 4, 16, QLatin1Char('0')));
  }
  if (list.width < 1 || list.height < 1 || list.width > ImageList::kMaxCellSide ||
      list.height > ImageList::kMaxCellSide) {
    throw StreamError(QStringLiteral("unsupported cell size %1 x %2").arg(list.width).arg(list.height));
  }
  if ((flags & ImageList::kFlagColorDepthBits) != ImageList::kFlagColor32) {
    throw StreamError(QStringLiteral("unsupported colour depth (flags 0x%1)").arg(flags, 4, 16, QLatin1Char('0')));
  }

  const StoredBitmap colour = ReadBitmap(in, QStringLiteral("colour bitmap"), 32);
  if (colour.width != ImageList::kCellsPerRow * list.width || colour.height % list.height != 0) {
    throw StreamError(QStringLiteral("the colour bitmap's size %1 x %2 does not hold whole rows of %3 cells of %4 x %5")
                          .arg(colour.width)
                          .arg(colour.height)
                          .arg(ImageList::kCellsPerRow)
                          .arg(list.width)
                          .arg(list.height));
  }
  const qint64 cells = qint64(ImageList::kCellsPerRow) * (colour.height / list.height);
  if (count > cells) {
    throw StreamError(QStringLiteral("%1 images do not fit in %2 cells").arg(count).arg(cells));
  }
  StoredBitmap mask;
  const bool has_mask = (flags & ImageList::kFlagMask) != 0;
  if (has_mask) {
    mask = ReadBitmap(in, QStringLiteral("mask bitmap"), 1);
    if (mask.width != colour.width || mask.height != colour.height) {
      throw StreamError(QStringLiteral("the mask bitmap's size differs from the colour bitmap's"));
    }
  }
  in.Need(ImageList::kTrailerSize, QStringLiteral("closing bytes"));

  list.images.reserve(count);
  list.masks.reserve(count);
  for (int index = 0; index < count; ++index) {
    const int left = (index % ImageList::kCellsPerRow) * list.width;
    const int top = (index / ImageList::kCellsPerRow) * list.height;
    QImage image(list.width, list.height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < list.height; ++y) {
      const uchar* source = colour.Row(top + y) + qint64(left) * 4;
      auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < list.width; ++x, source += 4) {
        // Blue, green, red, alpha; a colour above its alpha cannot be premultiplied and is
        // clamped so that drawing stays well defined.
        const int alpha = source[3];
        target[x] = qRgba(std::min<int>(source[2], alpha), std::min<int>(source[1], alpha),
                          std::min<int>(source[0], alpha), alpha);
      }
    }
    if (!has_mask) {
      list.masks.push_back(MaskFromAlpha(image));
    } else {
      QImage bits = NewMask(QSize(list.width, list.height));
      for (int y = 0; y < list.height; ++y) {
        const uchar* row = mask.Row(top + y);
        uchar* target = bits.scanLine(y);
        for (int x = 0; x < list.width; ++x) {
          if (Bit(row, left + x)) {
            SetBit(target, x);
          }
        }
      }
      list.masks.push_back(std::move(bits));
    }
    list.images.push_back(std::move(image));
  }
  return list;
}

void PutU16(QByteArray& out, quint16 value) {
  uchar bytes[2];
  qToLittleEndian(value, bytes);
  out.append(reinterpret_cast<const char*>(bytes), 2);
}

void PutU32(QByteArray& out, quint32 value) {
  uchar bytes[4];
  qToLittleEndian(value, bytes);
  out.append(reinterpret_cast<const char*>(bytes), 4);
}

// File header and 40-byte information header of a stored bitmap. The file size field holds the
// pixel offset, as the stream has always carried it.
void PutBitmapHeaders(QByteArray& out, int width, int height, int bits, quint32 pixel_offset, quint32 image_size) {
  out.append("BM", 2);
  PutU32(out, pixel_offset);
  PutU16(out, 0);
  PutU16(out, 0);
  PutU32(out, pixel_offset);
  PutU32(out, kInfoHeaderSize);
  PutU32(out, quint32(width));
  PutU32(out, quint32(height));
  PutU16(out, 1);
  PutU16(out, quint16(bits));
  PutU32(out, 0);  // no compression
  PutU32(out, image_size);
  PutU32(out, 0);  // resolution
  PutU32(out, 0);
  PutU32(out, 0);  // colours used: all of the bit depth's palette
  PutU32(out, 0);
}

// The image converted to grey (luminance kept) at half its opacity, still premultiplied.
QImage Dimmed(const QImage& image) {
  QImage dimmed(image.size(), QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < image.height(); ++y) {
    const auto* source = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    auto* target = reinterpret_cast<QRgb*>(dimmed.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      // The grey of premultiplied channels is the premultiplied grey, so it stays <= alpha.
      const int grey = qGray(source[x]) / 2;
      target[x] = qRgba(grey, grey, grey, qAlpha(source[x]) / 2);
    }
  }
  dimmed.setDevicePixelRatio(image.devicePixelRatio());
  return dimmed;
}

// Where the double-density companion of a stream lies: "speaker_font_icons.imagelist" has
// "speaker_font_icons@2x.imagelist".
QString DoubleDensityPath(const QString& path) {
  static const QString kSuffix = QStringLiteral(".imagelist");
  if (!path.endsWith(kSuffix)) return QString();
  return path.left(path.size() - kSuffix.size()) + QStringLiteral("@2x") + kSuffix;
}

}  // namespace

ImageList::ImageList(QObject* parent) : QObject(parent) {}

int ImageList::Count() const { return int(images_.size()); }

int ImageList::Width() const { return width_; }

void ImageList::SetWidth(int width) {
  if (width < 1 || width > kMaxCellSide || width == width_) {
    return;
  }
  width_ = width;
  Clear();
}

int ImageList::Height() const { return height_; }

void ImageList::SetHeight(int height) {
  if (height < 1 || height > kMaxCellSide || height == height_) {
    return;
  }
  height_ = height;
  Clear();
}

QString ImageList::Source() const { return source_; }

void ImageList::SetSource(const QString& path) {
  if (path.isEmpty()) {
    Clear();
    return;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    throw Error(QStringLiteral("Cannot read the image list \"%1\"").arg(path));
  }
  if (file.size() > kMaxSourceSize) {
    throw Error(QStringLiteral("The image list \"%1\" is too large").arg(path));
  }
  Load(file.readAll(), path);
  LoadDoubleDensityCompanion(path);
}

void ImageList::LoadDoubleDensityCompanion(const QString& path) {
  const QString companion = DoubleDensityPath(path);
  QFile file(companion);
  if (companion.isEmpty() || !file.exists()) return;
  try {
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxSourceSize) {
      throw Error(QStringLiteral("Cannot read the image list \"%1\"").arg(companion));
    }
    ParsedList list = ParseStream(file.readAll());
    if (list.width != 2 * width_ || list.height != 2 * height_ || list.images.size() != images_.size()) {
      throw Error(QStringLiteral("The image list \"%1\" does not double \"%2\"").arg(companion, path));
    }
    for (QImage& image : list.images) image.setDevicePixelRatio(2);
    double_density_images_ = std::move(list.images);
  } catch (const Error& error) {
    // The list still draws, upscaled, on high-density screens.
    qCWarning(lcUi) << error.Message();
  }
}

void ImageList::LoadFromStream(const QByteArray& bytes) { Load(bytes, QString()); }

void ImageList::Load(const QByteArray& bytes, const QString& source) {
  ParsedList list = ParseStream(bytes);
  width_ = list.width;
  height_ = list.height;
  capacity_ = list.capacity;
  grow_by_ = list.grow_by;
  background_ = list.background;
  overlays_ = list.overlays;
  images_ = std::move(list.images);
  masks_ = std::move(list.masks);
  double_density_images_.clear();
  source_ = source;
  emit Changed();
}

QByteArray ImageList::SaveToStream() const {
  const int count = Count();
  if (count > 0xFFFF) {
    throw Error(QStringLiteral("An image list stream holds at most 65535 images"));
  }
  // The bitmaps always keep room for one more image after the last one.
  const int rows = count / kCellsPerRow + 1;
  const int bitmap_width = kCellsPerRow * width_;
  // What the reader would refuse is not written either.
  if (qint64(bitmap_width) * rows * height_ > kMaxBitmapPixels) {
    throw Error(QStringLiteral("The image list is too large for an image list stream"));
  }
  const int bitmap_height = rows * height_;
  const quint32 colour_size = quint32(bitmap_width) * bitmap_height * 4;
  const int mask_stride = (bitmap_width + 31) / 32 * 4;
  const quint32 mask_size = quint32(mask_stride) * bitmap_height;

  QByteArray out;
  out.reserve(kHeaderSize + kFileHeaderSize + kInfoHeaderSize + int(colour_size) + kFileHeaderSize +
              kInfoHeaderSize + kMaskPaletteEntries * 4 + int(mask_size) + kTrailerSize);
  out.append("IL", 2);
  PutU16(out, kStreamVersion);
  PutU16(out, quint16(count));
  PutU16(out, quint16(capacity_));
  PutU16(out, quint16(grow_by_));
  PutU16(out, quint16(width_));
  PutU16(out, quint16(height_));
  PutU32(out, background_);
  PutU16(out, kDefaultFlags);
  for (const std::int16_t overlay : overlays_) {
    PutU16(out, quint16(overlay));
  }

  // Everything laid out top row first, as one strip of cells; written bottom row first.
  QImage strip(bitmap_width, bitmap_height, QImage::Format_ARGB32_Premultiplied);
  strip.fill(Qt::transparent);
  for (int index = 0; index < count; ++index) {
    const int left = (index % kCellsPerRow) * width_;
    const int top = (index / kCellsPerRow) * height_;
    for (int y = 0; y < height_; ++y) {
      std::copy_n(reinterpret_cast<const QRgb*>(images_[index].constScanLine(y)), width_,
                  reinterpret_cast<QRgb*>(strip.scanLine(top + y)) + left);
    }
  }

  PutBitmapHeaders(out, bitmap_width, bitmap_height, 32, kFileHeaderSize + kInfoHeaderSize, colour_size);
  for (int y = bitmap_height - 1; y >= 0; --y) {
    const auto* row = reinterpret_cast<const QRgb*>(strip.constScanLine(y));
    for (int x = 0; x < bitmap_width; ++x) {
      const char pixel[4] = {char(qBlue(row[x])), char(qGreen(row[x])), char(qRed(row[x])), char(qAlpha(row[x]))};
      out.append(pixel, 4);
    }
  }

  PutBitmapHeaders(out, bitmap_width, bitmap_height, 1, kFileHeaderSize + kInfoHeaderSize + kMaskPaletteEntries * 4,
                   mask_size);
  PutU32(out, 0x00000000);  // palette: black
  PutU32(out, 0x00FFFFFF);  //          white
  for (int y = bitmap_height - 1; y >= 0; --y) {
    const auto* row = reinterpret_cast<const QRgb*>(strip.constScanLine(y));
    QByteArray bits(mask_stride, '\0');
    for (int x = 0; x < bitmap_width; ++x) {
      if (qAlpha(row[x]) == 0) {
        SetBit(reinterpret_cast<uchar*>(bits.data()), x);
      }
    }
    out.append(bits);
  }
  out.append(kTrailerSize, '\0');
  return out;
}

QImage ImageList::Image(int index) const {
  if (index < 0 || index >= Count()) {
    return QImage();
  }
  return images_[index];
}

QImage ImageList::Mask(int index) const {
  if (index < 0 || index >= int(masks_.size())) {
    return QImage();
  }
  return masks_[index];
}

void ImageList::Draw(QPainter& painter, int x, int y, int index, bool enabled) const {
  if (index < 0 || index >= Count()) {
    return;
  }
  const bool double_density = painter.device() && painter.device()->devicePixelRatio() > 1 &&
                              static_cast<std::size_t>(index) < double_density_images_.size();
  const QImage& image = double_density ? double_density_images_[index] : images_[index];
  painter.drawImage(QPoint(x, y), enabled ? image : Dimmed(image));
}

int ImageList::Add(const QImage& image) {
  if (image.width() != width_ || image.height() != height_) {
    throw Error(QStringLiteral("An image of %1 x %2 pixels does not fit an image list of %3 x %4")
                    .arg(image.width())
                    .arg(image.height())
                    .arg(width_)
                    .arg(height_));
  }
  images_.push_back(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
  masks_.push_back(MaskFromAlpha(images_.back()));
  emit Changed();
  return Count() - 1;
}

void ImageList::Clear() {
  images_.clear();
  masks_.clear();
  double_density_images_.clear();
  source_.clear();
  emit Changed();
}

int ImageList::Capacity() const { return capacity_; }

void ImageList::SetCapacity(int capacity) {
  if (capacity >= 0 && capacity <= 0xFFFF) {
    capacity_ = capacity;
  }
}

int ImageList::GrowBy() const { return grow_by_; }

void ImageList::SetGrowBy(int grow_by) {
  if (grow_by >= 0 && grow_by <= 0xFFFF) {
    grow_by_ = grow_by;
  }
}

std::uint32_t ImageList::BackgroundColor() const { return background_; }

std::array<std::int16_t, 4> ImageList::Overlays() const { return overlays_; }

}  // namespace orvelle
