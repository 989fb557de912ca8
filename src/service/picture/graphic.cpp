#include "service/picture/graphic.h"

#include "service/picture/picture_error.h"

#include <QBuffer>
#include <QIODevice>
#include <QPainter>

namespace orvelle {

Graphic::~Graphic() = default;

void Graphic::SetTransparent(bool value) {
  if (transparent_ == value) return;
  transparent_ = value;
  Changed();
}

namespace {

// The bytes from the stream's position to its end, the stream left at its end. A memory
// buffer read from its start hands over its bytes without a copy, so that a large picture's
// file is not held twice while it decodes.
QByteArray RemainingBytes(QIODevice& stream) {
  auto* buffer = qobject_cast<QBuffer*>(&stream);
  if (buffer && buffer->isReadable() && buffer->pos() == 0) {
    QByteArray bytes = buffer->data();
    buffer->seek(buffer->size());
    return bytes;
  }
  return stream.readAll();
}

}  // namespace

void Graphic::LoadFromStream(QIODevice& stream) { LoadFromBytes(RemainingBytes(stream)); }

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
