#include "controls/custom_control.h"

#include "toolkit/theme.h"

#include <QCoreApplication>
#include <QPainter>

#include <algorithm>

namespace orvelle {

TscCustomControl::TscCustomControl(QWidget* parent) : Control(parent) {
  SetTabStop(false);
  setFocusPolicy(Qt::NoFocus);
}

void TscCustomControl::SetStyleElements(TStyleElements elements) {
  if (elements == style_elements_) return;
  style_elements_ = elements;
  RePaintControl();
}

bool TscCustomControl::UsesStyle(TStyleElement element) const {
  return style_elements_.testFlag(element) && IsCustomStyleActive();
}

TscsCtrlState TscCustomControl::GetCtrlState() const { return isEnabled() ? scsNormal : scsDisabled; }

void TscCustomControl::NotifyChildrenBackground() {
  const QObjectList kids = children();
  for (QObject* child : kids) {
    auto* widget = qobject_cast<QWidget*>(child);
    if (!widget || widget->isWindow() || !widget->isVisible()) continue;
    QEvent event(ParentBackgroundChanged);
    QCoreApplication::sendEvent(widget, &event);
  }
}

void TscCustomControl::CaptureParentBackground() {
  if (!FTransparentBackground || width() == 0 || height() == 0 || !parentWidget()) return;
  if (!FromWMPaint) update();
}

void TscCustomControl::RePaintControl() {
  if (!isVisible()) return;
  FStopEraseBackground = true;
  FForceDraw = true;
  repaint();
  FStopEraseBackground = false;
  FForceDraw = false;
}

void TscCustomControl::ChangeScale(int m, int d) {
  Control::ChangeScale(m, d);
  if (m == d || d == 0) return;
  FScalePercent = MulDiv(FScalePercent, m, d);
  const double old_factor = FScaleFactor;
  FScaleFactor = std::max(1.0, FScalePercent / 100.0);
  if (FScaleFactor != old_factor) emit OnChangeScale(this);
}

void TscCustomControl::DrawControl(QPainter&, TscsCtrlState) {}

void TscCustomControl::PaintFace(QPainter& painter, TscsCtrlState state) {
  QRect face = rect();
  if (FDrawInClientRect) {
    face = contentsRect();
    if (face.isEmpty()) return;
  }
  painter.save();
  if (FDrawInClientRect) {
    painter.translate(face.topLeft());
    painter.setClipRect(QRect(QPoint(0, 0), face.size()));
  }
  // Qt runs this inside its own paint handling, which an exception must never unwind (it would
  // also leave the window unable to repaint at once). A face whose drawing fails, a picture that
  // cannot be decoded say, stays as far as it got.
  try {
    DrawControl(painter, state);
  } catch (...) {
  }
  painter.restore();
}

bool TscCustomControl::event(QEvent* event) {
  if (event->type() == ParentBackgroundChanged) {
    if (FTransparentBackground) {
      CaptureParentBackground();
      RePaintControl();
      NotifyChildrenBackground();
    }
    return true;
  }
  return Control::event(event);
}

void TscCustomControl::paintEvent(QPaintEvent*) {
  if (width() == 0 || height() == 0) return;
  QPainter painter(this);
  FromWMPaint = true;
  PaintFace(painter, GetCtrlState());
  FromWMPaint = false;
}

void TscCustomControl::moveEvent(QMoveEvent* event) {
  Control::moveEvent(event);
  if (FTransparentBackground) {
    CaptureParentBackground();
    RePaintControl();
    NotifyChildrenBackground();
  }
}

void TscCustomControl::resizeEvent(QResizeEvent* event) {
  Control::resizeEvent(event);
  if (FTransparentBackground || FStorePaintBuffer) {
    if (FStorePaintBuffer) RePaintControl();
    NotifyChildrenBackground();
  }
}

void TscCustomControl::changeEvent(QEvent* event) {
  Control::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) RePaintControl();
}

}  // namespace orvelle
