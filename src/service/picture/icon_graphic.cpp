#include "service/picture/icon_graphic.h"

#include "service/picture/byte_reader.h"
#include "service/picture/dib_reader.h"
#include "service/picture/picture_error.h"
#include "service/picture/picture_limits.h"
#include "service/picture/png_codec.h"

#include <QIODevice>

namespace orvelle {

using picture_bytes::Le16;
using picture_bytes::Le32;

namespace {
constexpr size_t kDirectoryHeaderSize = 6;
constexpr size_t kDirectoryEntrySize = 16;

QString Invalid() { return QStringLiteral("Icon image is not valid"); }
}  // namespace

bool IconGraphic::CanLoadFromStream(QIODevice& stream) {
  const QByteArray head = stream.peek(kDirectoryHeaderSize);
  if (head.size() != static_cast<qsizetype>(kDirectoryHeaderSize)) return false;
  const auto* p = reinterpret_cast<const uint8_t*>(head.constData());
  return p[0] == 0 && p[1] == 0 && Le16(p + 2) <= 1;
}

void IconGraphic::LoadFromBytes(const QByteArray& bytes) {
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
  const size_t size = static_cast<size_t>(bytes.size());
  if (size < kDirectoryHeaderSize || Le16(data) != 0 || Le16(data + 2) > 1) throw PictureError(Invalid());
  const size_t count = Le16(data + 4);
  if (count == 0 || (size - kDirectoryHeaderSize) / kDirectoryEntrySize < count) throw PictureError(Invalid());

  // The largest image by its directory size, then by colour depth.
  size_t best = 0;
  uint64_t bestArea = 0;
  unsigned bestDepth = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* e = data + kDirectoryHeaderSize + i * kDirectoryEntrySize;
    const uint64_t w = e[0] == 0 ? 256 : e[0];
    const uint64_t h = e[1] == 0 ? 256 : e[1];
    const unsigned depth = Le16(e + 6);
    const uint32_t length = Le32(e + 8);
    const uint32_t offset = Le32(e + 12);
    if (offset > size || size - offset < length || length == 0) throw PictureError(Invalid());
    if (i == 0 || w * h > bestArea || (w * h == bestArea && depth > bestDepth)) {
      best = i;
      bestArea = w * h;
      bestDepth = depth;
    }
  }
  const uint8_t* e = data + kDirectoryHeaderSize + best * kDirectoryEntrySize;
  const uint8_t* image = data + Le32(e + 12);
  const size_t length = Le32(e + 8);

  QImage decoded;
  if (HasPngSignature(image, length)) {
    try {
      decoded = DecodePng(image, length).ToImage();
    } catch (const PictureError& error) {
      if (error.Message() == QLatin1String("Picture too large")) throw;
      throw PictureError(Invalid());
    }
  } else {
    DibSource source;
    source.data = image;
    source.size = length;
    source.icon = true;
    decoded = DecodeDib(source, Invalid());
  }
  bytes_ = bytes;
  image_ = decoded;
  imageCount_ = static_cast<int>(count);
  Changed();
}

void IconGraphic::SaveToStream(QIODevice& stream) const { stream.write(bytes_); }

std::unique_ptr<Graphic> IconGraphic::Clone() const {
  auto copy = std::make_unique<IconGraphic>();
  copy->CopyBaseSettingsFrom(*this);
  copy->bytes_ = bytes_;
  copy->image_ = image_.copy();
  copy->imageCount_ = imageCount_;
  return copy;
}

}  // namespace orvelle
