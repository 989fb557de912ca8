#include "controls/custom_control.h"

#include "controls/accessible.h"
#include "service/error.h"
#include "service/log.h"
#include "toolkit/theme.h"

#include <QPainter>

#include <algorithm>

namespace orvelle {

TscCustomControl::TscCustomControl(QWidget* parent) : Control(parent) {
  InstallKitAccessibility();
  SetTabStop(false);
  setFocusPolicy(Qt::NoFocus);
}

void TscCustomControl::SetAccessibleChecked(bool checked) {
  if (accessible_checked_ == checked) return;
  const bool was_checkable = accessible_checked_.has_value();
  accessible_checked_ = checked;
  QAccessible::State changed;
  changed.checked = true;
  changed.checkable = !was_checkable;
  QAccessibleStateChangeEvent event(this, changed);
  QAccessible::updateAccessibility(&event);
}

void TscCustomControl::SetAccessibleExpanded(bool expanded) {
  if (accessible_expanded_ == expanded) return;
  const bool was_expandable = accessible_expanded_.has_value();
  accessible_expanded_ = expanded;
  QAccessible::State changed;
  changed.expanded = true;
  changed.collapsed = true;
  changed.expandable = !was_expandable;
  QAccessibleStateChangeEvent event(this, changed);
  QAccessible::updateAccessibility(&event);
}

void TscCustomControl::NotifyAccessibleNameChanged() {
  QAccessibleEvent event(this, QAccessible::NameChanged);
  QAccessible::updateAccessibility(&event);
}

void TscCustomControl::NotifyAccessibleValueChanged() {
  const auto value = AccessibleValue();
  QAccessibleValueChangeEvent event(this, value ? QVariant(value->value) : QVariant(AccessibleValueText()));
  QAccessible::updateAccessibility(&event);
}

void TscCustomControl::SetStyleElements(TStyleElements elements) {
  if (elements == style_elements_) return;
  style_elements_ = elements;
  RePaintControl();
}

void TscCustomControl::SetTransparentBackground(bool value) {
  if (!StoreAndRepaint(transparent_background_, value)) return;
  NotifyChildrenBackground();
}

bool TscCustomControl::UsesStyle(TStyleElement element) const {
  return style_elements_.testFlag(element) && IsCustomStyleActive();
}

TscsCtrlState TscCustomControl::GetCtrlState() const { return isEnabled() ? scsNormal : scsDisabled; }

void TscCustomControl::CaptureParentBackground() {
  if (!transparent_background_ || width() == 0 || height() == 0 || !parentWidget()) return;
  if (!from_wm_paint_) update();
}

void TscCustomControl::RePaintControl() {
  if (isVisible()) repaint();
}

void TscCustomControl::ChangeScale(int m, int d) {
  Control::ChangeScale(m, d);
  if (!ScaleChanges(m, d)) return;
  scale_percent_ = MulDiv(scale_percent_, m, d);
  const double old_factor = scale_factor_;
  scale_factor_ = std::max(1.0, scale_percent_ / 100.0);
  if (scale_factor_ != old_factor) emit OnChangeScale(this);
}

void TscCustomControl::DrawControl(QPainter&, TscsCtrlState) {}

void TscCustomControl::DrawOpaqueBackground(QPainter& painter) {
  if (!transparent_background_) painter.fillRect(rect(), ResolveColor(GetColor(), UsesStyle(seClient)));
}

void TscCustomControl::PaintFace(QPainter& painter, TscsCtrlState state) {
  QRect face = rect();
  if (draw_in_client_rect_) {
    face = contentsRect();
    if (face.isEmpty()) return;
  }
  painter.save();
  if (draw_in_client_rect_) {
    painter.translate(face.topLeft());
    painter.setClipRect(QRect(QPoint(0, 0), face.size()));
  }
  // Qt runs this inside its own paint handling, which an exception must never unwind (it would
  // also leave the window unable to repaint at once). A face whose drawing fails, a picture that
  // cannot be decoded say, stays as far as it got.
  try {
    DrawControl(painter, state);
  } catch (const Error& e) {
    qCWarning(lcUi) << "Drawing" << objectName() << "failed:" << e.Message();
  } catch (const std::exception& e) {
    qCWarning(lcUi) << "Drawing" << objectName() << "failed:" << e.what();
  } catch (...) {
    qCWarning(lcUi) << "Drawing" << objectName() << "failed";
  }
  painter.restore();
}

bool TscCustomControl::event(QEvent* event) {
  if (event->type() == ParentBackgroundChanged) {
    if (transparent_background_) BackgroundMoved();
    return true;
  }
  if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
      RaiseKeyEvents(*static_cast<QKeyEvent*>(event))) {
    return true;
  }
  return Control::event(event);
}

bool TscCustomControl::RaiseKeyEvents(QKeyEvent& event) {
  const bool down = event.type() == QEvent::KeyPress;
  int key = event.key();
  down ? emit OnKeyDown(this, &key, event.modifiers()) : emit OnKeyUp(this, &key, event.modifiers());
  QString text = event.text();
  if (down && key != 0 && !text.isEmpty()) {
    QChar typed = text.front();
    emit OnKeyPress(this, &typed);
    text = typed.isNull() ? QString() : QString(typed) + text.mid(1);
  }
  const bool swallowed = key == 0 || (down && !event.text().isEmpty() && text.isEmpty());
  if (swallowed) {
    event.accept();
    return true;
  }
  if (key == event.key() && text == event.text()) return false;
  QKeyEvent changed(event.type(), key, event.modifiers(), text, event.isAutoRepeat(), event.count());
  Control::event(&changed);
  event.setAccepted(changed.isAccepted());
  return true;
}

void TscCustomControl::paintEvent(QPaintEvent*) {
  if (width() == 0 || height() == 0) return;
  QPainter painter(this);
  from_wm_paint_ = true;
  PaintFace(painter, GetCtrlState());
  from_wm_paint_ = false;
}

void TscCustomControl::BackgroundMoved() {
  CaptureParentBackground();
  RePaintControl();
  NotifyChildrenBackground();
}

void TscCustomControl::moveEvent(QMoveEvent* event) {
  Control::moveEvent(event);
  if (transparent_background_) BackgroundMoved();
}

void TscCustomControl::resizeEvent(QResizeEvent* event) {
  Control::resizeEvent(event);
  if (transparent_background_ || store_paint_buffer_) {
    if (store_paint_buffer_) RePaintControl();
    NotifyChildrenBackground();
  }
}

void TscCustomControl::changeEvent(QEvent* event) {
  Control::changeEvent(event);
  // Enabling changes the state drawn; the reading direction mirrors alignments.
  if (event->type() == QEvent::EnabledChange || event->type() == QEvent::LayoutDirectionChange) RePaintControl();
}

}  // namespace orvelle
