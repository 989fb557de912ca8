#include "toolkit/picture_holder.h"

#include <QPainter>

namespace orvelle {

PictureHolder::PictureHolder(QWidget* parent) : Control(parent) { resize(105, 105); }

void PictureHolder::SetPicture(const QImage& picture) {
  picture_ = picture;
  update();
  emit OnChange(this);
}

void PictureHolder::SetStretch(bool value) {
  if (value == stretch_) return;
  stretch_ = value;
  update();
}

void PictureHolder::paintEvent(QPaintEvent*) {
  if (picture_.isNull()) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (stretch_) {
    painter.drawImage(rect(), picture_);
  } else {
    painter.drawImage(QPoint(0, 0), picture_);
  }
}

}  // namespace orvelle
