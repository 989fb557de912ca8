#include "service/picture/bitmap_graphic.h"

#include "service/picture/byte_reader.h"
#include "service/picture/dib_reader.h"
#include "service/picture/picture_error.h"

#include <QIODevice>

namespace orvelle {

namespace {
constexpr qsizetype kFileHeaderSize = 14;
}

bool BitmapGraphic::CanLoadFromStream(QIODevice& stream) {
  const QByteArray head = stream.peek(kFileHeaderSize);
  if (head.isEmpty()) return true;
  return head.size() == kFileHeaderSize && head[0] == 'B' && head[1] == 'M';
}

void BitmapGraphic::LoadFromBytes(const QByteArray& bytes) {
  const QString invalid = QStringLiteral("Bitmap image is not valid");
  if (bytes.isEmpty()) {
    image_ = QImage();
    Changed();
    return;
  }
  if (bytes.size() < kFileHeaderSize || bytes[0] != 'B' || bytes[1] != 'M') throw PictureError(invalid);
  DibSource source;
  source.data = reinterpret_cast<const uint8_t*>(bytes.constData());
  source.size = static_cast<size_t>(bytes.size());
  source.headerOffset = kFileHeaderSize;
  source.bitsOffset = picture_bytes::Le32(source.data + 10);
  image_ = DecodeDib(source, invalid);
  Changed();
}

std::unique_ptr<Graphic> BitmapGraphic::Clone() const {
  auto copy = std::make_unique<BitmapGraphic>();
  copy->CopyBaseSettingsFrom(*this);
  copy->image_ = image_.copy();
  return copy;
}

}  // namespace orvelle
