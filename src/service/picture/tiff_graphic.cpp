#include "service/picture/tiff_graphic.h"

#include "service/picture/picture_error.h"

namespace orvelle {

void TiffGraphic::LoadFromBytes(const QByteArray&) { throw PictureError(QStringLiteral("Unsupported stream format")); }

std::unique_ptr<Graphic> TiffGraphic::Clone() const {
  auto copy = std::make_unique<TiffGraphic>();
  copy->CopyBaseSettingsFrom(*this);
  return copy;
}

}  // namespace orvelle
