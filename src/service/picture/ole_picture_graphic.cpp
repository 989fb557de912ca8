#include "service/picture/ole_picture_graphic.h"

#include "service/picture/picture_error.h"

namespace orvelle {

void OlePictureGraphic::LoadFromBytes(const QByteArray&) { throw PictureError(QStringLiteral("Unsupported stream format")); }

std::unique_ptr<Graphic> OlePictureGraphic::Clone() const {
  auto copy = std::make_unique<OlePictureGraphic>();
  copy->CopyBaseSettingsFrom(*this);
  return copy;
}

}  // namespace orvelle
