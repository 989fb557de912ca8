#include "service/picture/metafile_graphic.h"

#include "service/picture/byte_reader.h"
#include "service/picture/picture_error.h"

#include <QIODevice>

namespace orvelle {

using picture_bytes::Le16;
using picture_bytes::Le32;

namespace {
constexpr uint32_t kEmfRecordHeader = 1;
constexpr uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
}  // namespace

bool MetafileGraphic::CanLoadFromStream(QIODevice& stream) {
  const QByteArray head = stream.peek(109);
  const auto* p = reinterpret_cast<const uint8_t*>(head.constData());
  if (head.size() > 108 && Le32(p) == kEmfRecordHeader && Le32(p + 40) == kEmfSignature) return true;
  if (head.size() >= 22 && Le32(p) == kPlaceableKey) {
    uint16_t sum = 0;
    for (int i = 0; i < 10; ++i) sum ^= Le16(p + 2 * i);
    return Le16(p + 20) == sum;
  }
  return false;
}

void MetafileGraphic::LoadFromBytes(const QByteArray&) {
  throw PictureError(QStringLiteral("Metafile is not valid"));
}

QImage MetafileGraphic::ToImage() const {
  throw PictureError(QStringLiteral("Cannot assign a %1 to a %2").arg(QLatin1String(ClassName()), QLatin1String("BitmapGraphic")));
}

std::unique_ptr<Graphic> MetafileGraphic::Clone() const {
  auto copy = std::make_unique<MetafileGraphic>();
  copy->CopyBaseSettingsFrom(*this);
  return copy;
}

}  // namespace orvelle
