#include "service/picture/graphic.h"

#include "service/picture/picture_error.h"

#include <QIODevice>
#include <QPainter>

namespace orvelle {

Graphic::~Graphic() = default;

void Graphic::SetTransparent(bool value) {
  if (transparent_ == value) return;
  transparent_ = value;
  Changed();
}

void Graphic::LoadFromStream(QIODevice& stream) { LoadFromBytes(stream.readAll()); }

void Graphic::SaveToStream(QIODevice&) const {
  throw PictureError(QStringLiteral("Saving a %1 is not supported").arg(QLatin1String(ClassName())));
}

void Graphic::Draw(QPainter& painter, const QRectF& target) const {
  if (Empty()) return;
  painter.drawImage(target, ToImage());
}

void Graphic::Changed() {
  if (OnChange) OnChange();
}

}  // namespace orvelle
