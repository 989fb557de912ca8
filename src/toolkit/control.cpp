#include "toolkit/control.h"

#include "toolkit/accessibility.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>

#include <algorithm>

namespace orvelle {

Control::Control(QWidget* parent) : QWidget(parent), font_(new orvelle::Font(this)) {
  InstallToolkitAccessibility();
  connect(font_, &orvelle::Font::Changed, this, &Control::FontObjectChanged);
  setFont(font_->ToQFont());
  AdoptParentFont();
}

void Control::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  const QSize old_size = size();
  if (isWindow()) {
    move(left, top);
    resize(width, height);
  } else {
    setGeometry(left, top, width, height);
  }
  RememberAnchors();
  if (align_ != alNone) RealignParent();
  if (old_size != size()) Realign();
}

bool Control::Visible() const {
  if (isWindow()) return isVisible();
  return !isHidden() || !testAttribute(Qt::WA_WState_ExplicitShowHide);
}

void Control::SetVisible(bool visible) {
  if (visible == Visible() && testAttribute(Qt::WA_WState_ExplicitShowHide)) return;
  setVisible(visible);
  if (align_ != alNone) RealignParent();
}

bool Control::Enabled() const { return !testAttribute(Qt::WA_ForceDisabled); }

void Control::SetEnabled(bool enabled) { setEnabled(enabled); }

void Control::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  RealignParent();
}

void Control::SetAnchors(TAnchors anchors) {
  anchors_ = anchors;
  RememberAnchors();
}

Control* Control::ParentControl() const { return isWindow() ? nullptr : qobject_cast<Control*>(parentWidget()); }

void Control::RealignParent() {
  if (Control* parent = ParentControl()) parent->Realign();
}

void Control::RememberAnchors() {
  const QWidget* parent = isWindow() ? nullptr : parentWidget();
  if (!parent) return;
  const Control* parent_control = ParentControl();
  if (parent_control && parent_control->aligning_) return;  // the parent is moving us by our anchors
  anchor_right_ = parent->width() - (x() + width());
  anchor_bottom_ = parent->height() - (y() + height());
}

void Control::ApplyAnchors(int parentWidth, int parentHeight) {
  int left = x(), top = y(), w = width(), h = height();
  if (anchors_.testFlag(akRight)) {
    if (anchors_.testFlag(akLeft)) {
      w = parentWidth - left - anchor_right_;
    } else {
      left = parentWidth - w - anchor_right_;
    }
  }
  if (anchors_.testFlag(akBottom)) {
    if (anchors_.testFlag(akTop)) {
      h = parentHeight - top - anchor_bottom_;
    } else {
      top = parentHeight - h - anchor_bottom_;
    }
  }
  if (QRect(left, top, std::max(w, 0), std::max(h, 0)) != geometry()) SetBounds(left, top, w, h);
}

void Control::Realign() {
  if (aligning_) return;
  aligning_ = true;
  const QList<Control*> children = ChildControls();
  QRect r = contentsRect();
  for (TAlign kind : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (Control* child : children) {
      if (child->align_ != kind || !child->Visible()) continue;
      switch (kind) {
        case alTop:
          child->SetBounds(r.left(), r.top(), r.width(), child->height());
          r.setTop(r.top() + child->height());
          break;
        case alBottom:
          child->SetBounds(r.left(), r.bottom() + 1 - child->height(), r.width(), child->height());
          r.setBottom(r.bottom() - child->height());
          break;
        case alLeft:
          child->SetBounds(r.left(), r.top(), child->width(), r.height());
          r.setLeft(r.left() + child->width());
          break;
        case alRight:
          child->SetBounds(r.right() + 1 - child->width(), r.top(), child->width(), r.height());
          r.setRight(r.right() - child->width());
          break;
        case alClient:
          child->SetBounds(r.left(), r.top(), r.width(), r.height());
          break;
        case alNone:
          break;
      }
    }
  }
  for (Control* child : children) {
    if (child->align_ == alNone && child->anchors_ != TAnchors(akLeft | akTop)) child->ApplyAnchors(width(), height());
  }
  aligning_ = false;
}

void Control::SetTabStop(bool value) {
  tab_stop_ = value;
  UpdateFocusPolicy();
}

void Control::UseLeftPressFocus() {
  left_press_focus_ = true;
  UpdateFocusPolicy();
}

void Control::SetCanFocused(bool value) {
  if (value == can_focused_) return;
  can_focused_ = value;
  SetTabStop(value);
}

void Control::FocusOnLeftPress(Qt::MouseButton button) {
  if (button == Qt::LeftButton && can_focused_ && !hasFocus()) setFocus(Qt::MouseFocusReason);
}

void Control::UpdateFocusPolicy() {
  if (left_press_focus_) {
    setFocusPolicy(can_focused_ && tab_stop_ ? Qt::TabFocus : Qt::NoFocus);
    if (!can_focused_ && hasFocus()) clearFocus();
  } else if (tab_stop_) {
    setFocusPolicy(Qt::StrongFocus);
  } else {
    setFocusPolicy(static_cast<Qt::FocusPolicy>(focusPolicy() & ~Qt::TabFocus));
  }
}

void Control::SetParentFont(bool value) {
  parent_font_ = value;
  if (value) AdoptParentFont();
}

void Control::SetColor(orvelle::Color color) {
  if (color == color_) return;
  color_ = color;
  ColorChanged();
  NotifyChildrenBackground();
}

void Control::NotifyChildrenBackground() {
  const QObjectList kids = children();
  for (QObject* child : kids) {
    auto* widget = qobject_cast<QWidget*>(child);
    if (!widget || widget->isWindow() || !widget->isVisible()) continue;
    QEvent event(ParentBackgroundChanged);
    QCoreApplication::sendEvent(widget, &event);
  }
}

void Control::AdoptParentFont() {
  if (!parent_font_) return;
  Control* parent = ParentControl();
  if (!parent) return;
  adopting_font_ = true;
  font_->Assign(*parent->GetFont());
  adopting_font_ = false;
}

void Control::FontObjectChanged() {
  if (!adopting_font_) parent_font_ = false;
  setFont(font_->ToQFont());
  for (Control* child : ChildControls()) child->AdoptParentFont();
  FontChanged();
}

void Control::ChangeScale(int m, int d) {
  if (!ScaleChanges(m, d)) return;
  if (!isWindow()) SetBounds(MulDiv(x(), m, d), MulDiv(y(), m, d), MulDiv(width(), m, d), MulDiv(height(), m, d));
  if (!parent_font_) font_->SetHeight(MulDiv(font_->Height(), m, d));
  ScalePixelOptions(m, d);
  for (Control* child : ChildControls()) child->ChangeScale(m, d);
}

void Control::ScalePixelOptions(int, int) {}

void Control::Click() { emit OnClick(this); }

void Control::DblClick() { emit OnDblClick(this); }

QList<Control*> Control::ChildControls() const {
  QList<Control*> result;
  for (QObject* child : children()) {
    auto* control = qobject_cast<Control*>(child);
    if (control && !control->isWindow()) result.append(control);
  }
  return result;
}

namespace {
// How many left-button releases are being delivered to controls (nested when a handler opens a
// box that runs the event loop).
int pointer_clicks_running = 0;
}  // namespace

bool Control::PointerClickRunning() { return pointer_clicks_running > 0; }

bool Control::event(QEvent* event) {
  if (event->type() == QEvent::ParentChange) {
    AdoptParentFont();
    RememberAnchors();
  }
  if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    ++pointer_clicks_running;
    const bool handled = QWidget::event(event);
    --pointer_clicks_running;
    return handled;
  }
  return QWidget::event(event);
}

void Control::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Realign();
  emit OnResize(this);
}

void Control::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (event->button() == Qt::LeftButton) left_pressed_ = true;
  emit OnMouseDown(this, event->button(), event->modifiers(), p.x(), p.y());
}

void Control::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (event->button() == Qt::LeftButton && left_pressed_) {
    left_pressed_ = false;
    if (rect().contains(p)) Click();
  }
  emit OnMouseUp(this, event->button(), event->modifiers(), p.x(), p.y());
}

void Control::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  emit OnMouseDown(this, event->button(), event->modifiers(), p.x(), p.y());
  if (event->button() == Qt::LeftButton) DblClick();
}

void Control::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  emit OnMouseMove(this, event->modifiers(), p.x(), p.y());
}

void Control::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  emit OnMouseEnter(this);
}

void Control::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  emit OnMouseLeave(this);
}

}  // namespace orvelle
