#include "controls/parent_backdrop.h"

#include "toolkit/control.h"

#include <QChildEvent>
#include <QWidget>

namespace orvelle {
namespace {

bool EveryPixelOpaque(const QImage& image) {
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if (qAlpha(line[x]) != 255) return false;
    }
  }
  return true;
}

// Events of the control after which something else may lie under it.
bool ChangesWhatLiesUnder(QEvent::Type type) {
  switch (type) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::ParentChange:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
      return true;
    default:
      return type == ParentBackgroundChanged;
  }
}

// Events of a sibling after which it may start or stop intersecting the control from below.
bool MovesSibling(QEvent::Type type) {
  switch (type) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ZOrderChange:
      return true;
    default:
      return false;
  }
}

}  // namespace

ParentBackdrop::ParentBackdrop(QWidget* control) : control_(control) {
  control_->installEventFilter(this);
  WatchParent(control_->parentWidget());
}

void ParentBackdrop::WatchParent(QWidget* parent) {
  if (parent_) {
    parent_->removeEventFilter(this);
    for (QObject* child : parent_->children()) {
      if (child && child != control_) child->removeEventFilter(this);
    }
  }
  parent_ = parent;
  if (!parent_) return;
  parent_->installEventFilter(this);
  for (QObject* child : parent_->children()) {
    if (child && child != control_ && child->isWidgetType()) child->installEventFilter(this);
  }
}

bool ParentBackdrop::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == control_) {
    if (type == QEvent::ParentChange) WatchParent(control_->parentWidget());
    if (ChangesWhatLiesUnder(type)) Invalidate();
    return false;
  }
  if (watched == parent_) {
    if (type == QEvent::ChildAdded) {
      QObject* child = static_cast<QChildEvent*>(event)->child();
      if (child != control_ && child->isWidgetType()) child->installEventFilter(this);
    }
    if (type != QEvent::ChildAdded && type != QEvent::ChildRemoved) return false;
  } else if (!MovesSibling(type)) {
    return false;
  }
  // Only a change of the siblings' verdict calls for a new look.
  if (looked_ && LowerSiblingOverlaps() == siblings_clear_) Invalidate();
  return false;
}

const QImage& ParentBackdrop::Pixels(qreal pixel_ratio) {
  if (!looked_ || (!pixels_.isNull() && pixels_.devicePixelRatio() != pixel_ratio)) Look(pixel_ratio);
  if (pixels_.isNull()) {
    SeeThrough();
  } else {
    // Opaque from this paint on: Qt painted the parent under the control this time (it was
    // see-through), and the control paints the same pixels over it.
    control_->setAttribute(Qt::WA_OpaquePaintEvent);
  }
  return pixels_;
}

const QImage& ParentBackdrop::Current() const {
  static const QImage kNone;
  return looked_ ? pixels_ : kNone;
}

void ParentBackdrop::Release() {
  looked_ = false;
  pixels_ = QImage();
  SeeThrough();
}

void ParentBackdrop::Invalidate() {
  looked_ = false;
  SeeThrough();
}

void ParentBackdrop::SeeThrough() {
  if (!control_->testAttribute(Qt::WA_OpaquePaintEvent)) return;
  control_->setAttribute(Qt::WA_OpaquePaintEvent, false);
  // Qt did not paint what lies under the control for its last paint (or the one running now).
  control_->update();
}

void ParentBackdrop::Look(qreal pixel_ratio) {
  looked_ = true;
  siblings_clear_ = !LowerSiblingOverlaps();
  QImage under = siblings_clear_ ? RenderParent(pixel_ratio) : QImage();
  // The same pixels keep their image, and with it what the control composed from them.
  if (under != pixels_) pixels_ = std::move(under);
}

QImage ParentBackdrop::RenderParent(qreal pixel_ratio) const {
  QWidget* parent = control_->parentWidget();
  if (!parent || control_->size().isEmpty()) return {};
  QImage image(control_->size() * pixel_ratio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(pixel_ratio);
  image.fill(Qt::transparent);
  // Only the parent's own painting, with the background Qt paints under it on screen: a window's
  // (unless it paints opaque itself) or an auto-filled widget's.
  parent->render(&image, QPoint(), QRegion(control_->geometry()),
                 parent->isWindow() ? QWidget::DrawWindowBackground : QWidget::RenderFlags());
  if (!EveryPixelOpaque(image)) return {};
  return image.convertToFormat(QImage::Format_RGB32);
}

bool ParentBackdrop::LowerSiblingOverlaps() const {
  const QWidget* parent = control_->parentWidget();
  if (!parent) return false;
  const QRect area = control_->geometry();
  // Children are kept in stacking order, lowest first.
  for (const QObject* child : parent->children()) {
    if (child == control_) return false;
    const auto* sibling = qobject_cast<const QWidget*>(child);
    if (sibling && !sibling->isWindow() && !sibling->isHidden() && sibling->geometry().intersects(area)) return true;
  }
  return false;
}

}  // namespace orvelle
