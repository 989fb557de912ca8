#include "pictures.h"

#include "answers.h"
#include "gif_encoder.h"
#include "service/error.h"

#include <QBuffer>
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdint>
#include <random>

namespace orvelle::demo {

namespace {

constexpr int kCoverSize = 300;
constexpr int kSingerSize = 160;

// A stable seed from a text (FNV-1a), so every song draws the same way on every start.
uint32_t seedOf(std::string_view text) {
  uint32_t hash = 2166136261u;
  for (char c : text) {
    hash ^= static_cast<uint8_t>(c);
    hash *= 16777619u;
  }
  return hash;
}

QString toQString(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// The largest pixel size, from start down, at which text wraps into rect.
QFont fittingFont(const QString& text, const QRect& rect, int start, bool bold) {
  QFont font;
  font.setBold(bold);
  for (int size = start; size > 8; --size) {
    font.setPixelSize(size);
    const QRect needed = QFontMetrics(font).boundingRect(rect, Qt::TextWordWrap, text);
    if (needed.width() <= rect.width() && needed.height() <= rect.height()) return font;
  }
  font.setPixelSize(8);
  return font;
}

}  // namespace

QImage drawCover(const Song& song, const Singer& singer, PictureFormat format) {
  std::mt19937 random(seedOf(song.sid));
  const auto pick = [&](int low, int high) {
    return low + static_cast<int>(random() % static_cast<uint32_t>(high - low + 1));
  };
  QImage image(kCoverSize, kCoverSize, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);

  const int hue = pick(0, 359);
  QLinearGradient background(0, 0, kCoverSize, kCoverSize);
  background.setColorAt(0, QColor::fromHsv(hue, 170, 235));
  background.setColorAt(1, QColor::fromHsv((hue + pick(60, 180)) % 360, 200, 110));
  QPainterPath frame;
  const bool withAlpha = format == PictureFormat::Png;
  if (withAlpha)
    frame.addRoundedRect(QRectF(0, 0, kCoverSize, kCoverSize), 36, 36);
  else
    frame.addRect(QRectF(0, 0, kCoverSize, kCoverSize));
  painter.setClipPath(frame);
  painter.fillPath(frame, background);

  // Shapes: circles and rings in lighter and darker tones of the hue.
  const int shapes = pick(4, 8);
  for (int i = 0; i < shapes; ++i) {
    const QColor colour = QColor::fromHsv((hue + pick(0, 90)) % 360, pick(60, 255), pick(80, 255),
                                          pick(70, 190));
    const QPointF centre(pick(0, kCoverSize), pick(0, kCoverSize));
    const qreal radius = pick(18, 90);
    if (i % 2 == 0) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(colour);
    } else {
      painter.setPen(QPen(colour, pick(4, 14)));
      painter.setBrush(Qt::NoBrush);
    }
    painter.drawEllipse(centre, radius, radius);
  }
  // Diagonal stripes for some songs.
  if (pick(0, 1) == 1) {
    painter.setPen(QPen(QColor(255, 255, 255, 60), 6));
    for (int x = -kCoverSize; x < kCoverSize; x += 28) painter.drawLine(x, kCoverSize, x + kCoverSize, 0);
  }

  // A band for the texts; translucent in PNG covers, solid otherwise.
  const QRect band(0, kCoverSize * 58 / 100, kCoverSize, kCoverSize * 42 / 100);
  painter.fillRect(band, withAlpha ? QColor(0, 0, 0, 110) : QColor::fromHsv(hue, 80, 40));
  painter.setPen(Qt::white);
  const QString title = toQString(song.title);
  const QRect titleRect = band.adjusted(14, 10, -14, -40);
  painter.setFont(fittingFont(title, titleRect, 30, true));
  painter.drawText(titleRect, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignVCenter, title);
  const QString name = toQString(singer.name);
  const QRect nameRect(band.left() + 14, band.bottom() - 36, band.width() - 28, 28);
  painter.setPen(QColor(235, 235, 235));
  painter.setFont(fittingFont(name, nameRect, 18, false));
  painter.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter, name);
  painter.end();
  return image;
}

QImage drawSingerPicture(const Singer& singer, PictureFormat format) {
  std::mt19937 random(seedOf("singer " + singer.id));
  const int hue = static_cast<int>(random() % 360);
  QImage image(kSingerSize, kSingerSize, QImage::Format_ARGB32_Premultiplied);
  image.fill(format == PictureFormat::Jpeg ? QColor::fromHsv((hue + 180) % 360, 40, 230)
                                           : QColor(Qt::transparent));
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  QRadialGradient disc(kSingerSize * 0.35, kSingerSize * 0.3, kSingerSize * 0.75);
  disc.setColorAt(0, QColor::fromHsv(hue, 120, 255));
  disc.setColorAt(1, QColor::fromHsv((hue + 40) % 360, 230, 120));
  painter.setPen(Qt::NoPen);
  painter.setBrush(disc);
  painter.drawEllipse(QRectF(4, 4, kSingerSize - 8, kSingerSize - 8));

  // The first character of the name, large, in the middle of the disc.
  const QString name = toQString(singer.name);
  const QString initial = name.isEmpty() ? QStringLiteral("?") : name.left(name.at(0).isHighSurrogate() ? 2 : 1);
  QFont font;
  font.setBold(true);
  font.setPixelSize(kSingerSize / 2);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(QRect(0, 0, kSingerSize, kSingerSize), Qt::AlignCenter, initial);
  painter.end();
  return image;
}

namespace {

// 6 levels of red, 7 of green, 6 of blue: 252 colours; index 252 is the transparent one.
constexpr int kRedLevels = 6, kGreenLevels = 7, kBlueLevels = 6;
constexpr int kTransparent = kRedLevels * kGreenLevels * kBlueLevels;

IndexedImage quantize(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_ARGB32);
  IndexedImage out;
  out.width = image.width();
  out.height = image.height();
  for (int r = 0; r < kRedLevels; ++r)
    for (int g = 0; g < kGreenLevels; ++g)
      for (int b = 0; b < kBlueLevels; ++b)
        out.palette.push_back(static_cast<uint32_t>(r * 255 / (kRedLevels - 1)) << 16 |
                              static_cast<uint32_t>(g * 255 / (kGreenLevels - 1)) << 8 |
                              static_cast<uint32_t>(b * 255 / (kBlueLevels - 1)));
  out.palette.push_back(0x000000);  // the transparent entry
  out.transparentIndex = kTransparent;
  static constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  const auto level = [](int value, int levels, int threshold) {
    // Ordered dithering: the threshold moves the rounding point within one level's step.
    const int scaled = value * (levels - 1) * 16 + threshold * 255;
    return std::min(levels - 1, scaled / (255 * 16));
  };
  out.pixels.reserve(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
  for (int y = 0; y < out.height; ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < out.width; ++x) {
      const QRgb pixel = row[x];
      if (qAlpha(pixel) < 128) {
        out.pixels.push_back(kTransparent);
        continue;
      }
      const int threshold = kBayer[y & 3][x & 3];
      const int r = level(qRed(pixel), kRedLevels, threshold);
      const int g = level(qGreen(pixel), kGreenLevels, threshold);
      const int b = level(qBlue(pixel), kBlueLevels, threshold);
      out.pixels.push_back(static_cast<uint8_t>((r * kGreenLevels + g) * kBlueLevels + b));
    }
  }
  return out;
}

std::string writeWithQt(const QImage& image, const char* format, int quality) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, format, quality))
    throw Error(QStringLiteral("Could not encode a %1 picture").arg(QLatin1String(format)));
  return bytes.toStdString();
}

}  // namespace

std::string encodePicture(const QImage& image, PictureFormat format) {
  switch (format) {
    case PictureFormat::Png:
      return writeWithQt(image.convertToFormat(QImage::Format_ARGB32), "PNG", -1);
    case PictureFormat::Jpeg: {
      QImage flat(image.size(), QImage::Format_RGB32);
      flat.fill(Qt::white);
      QPainter painter(&flat);
      painter.drawImage(0, 0, image);
      painter.end();
      return writeWithQt(flat, "JPEG", 88);
    }
    case PictureFormat::Gif:
      return encodeGif(quantize(image));
  }
  throw Error(QStringLiteral("Unknown picture format"));
}

PictureStore::PictureStore(const Catalogue& catalogue) {
  for (const Song& song : catalogue.songs()) {
    const Singer* singer = catalogue.findSinger(song.singerId);
    if (!singer) throw Error(QStringLiteral("Song %1 names an unknown singer").arg(toQString(song.sid)));
    pictures_[coverPath(song)] = {std::string(mediaTypeOf(song.coverFormat)),
                                  encodePicture(drawCover(song, *singer, song.coverFormat), song.coverFormat)};
  }
  for (const Singer& singer : catalogue.singers())
    pictures_[singerPicturePath(singer)] = {
        std::string(mediaTypeOf(singer.avatarFormat)),
        encodePicture(drawSingerPicture(singer, singer.avatarFormat), singer.avatarFormat)};
}

const EncodedPicture* PictureStore::find(std::string_view path) const {
  const auto found = pictures_.find(path);
  return found == pictures_.end() ? nullptr : &found->second;
}

}  // namespace orvelle::demo
