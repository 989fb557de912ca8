#include "service/picture/png_graphic.h"

#include <QIODevice>

namespace orvelle {

bool PngGraphic::CanLoadFromStream(QIODevice& stream) {
  const QByteArray head = stream.peek(8);
  return HasPngSignature(reinterpret_cast<const uint8_t*>(head.constData()), static_cast<size_t>(head.size()));
}

void PngGraphic::LoadFromBytes(const QByteArray& bytes) {
  picture_ = DecodePng(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
  Changed();
}

void PngGraphic::SaveToStream(QIODevice& stream) const {
  if (Empty()) return;
  stream.write(EncodePng(picture_));
}

QImage PngGraphic::ToImage() const {
  if (Empty()) return QImage();
  return picture_.ToImage();
}

std::unique_ptr<Graphic> PngGraphic::Clone() const {
  auto copy = std::make_unique<PngGraphic>();
  copy->CopyBaseSettingsFrom(*this);
  copy->picture_ = picture_;
  return copy;
}

}  // namespace orvelle
