#include "controls/split_view.h"

#include <QMouseEvent>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace orvelle {
namespace {

// The size a slide or a jump ends at: the stored size as far as a widget can take it, so that a
// negative or an oversized size still ends at a size the panel really has, at its edge.
int EndSize(int size) { return std::clamp(size, 0, QWIDGETSIZE_MAX); }

}  // namespace

TscSplitViewBackControl::TscSplitViewBackControl(QWidget* parent) : Control(parent) {
  setAttribute(Qt::WA_NoSystemBackground);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

TscCustomSplitView::TscCustomSplitView(QWidget* parent)
    : TscPanel(parent), animation_timer_(new QTimer(this)) {
  SetCanEmpty(false);
  animation_timer_->setInterval(kSlideInterval);
  connect(animation_timer_, &QTimer::timeout, this, &TscCustomSplitView::SlideTick);
  PlaceBackControl();
}

TscCustomSplitView::~TscCustomSplitView() {
  destroying_ = true;
  animation_timer_->stop();
  delete back_control_.data();
}

bool TscCustomSplitView::Animates() const { return animation_ && !Loading(); }

void TscCustomSplitView::SetPlacement(TscSplitViewPlacement placement) {
  placement_ = placement;
  PlaceBackControl();
}

void TscCustomSplitView::SetDisplayMode(TscSplitViewDisplayMode mode) {
  if (mode == display_mode_) return;
  display_mode_ = mode;
  PlaceBackControl();
}

int TscCustomSplitView::BackControlSize() const {
  return display_mode_ == scsvmDocked && state_ == scsvsOpened ? OpenedSize() : CompactSize();
}

void TscCustomSplitView::SetBackControlSize(int size) {
  if (!back_control_) return;
  if (Horizontal()) {
    back_control_->SetWidth(size);
  } else {
    back_control_->SetHeight(size);
  }
}

// Puts the placeholder into the parent behind every sibling, aligned to the chosen edge, then
// snaps the split view to it and anchors it to that edge and both sides along it.
void TscCustomSplitView::PlaceBackControl() {
  if (!back_control_) back_control_ = new TscSplitViewBackControl();
  QWidget* parent = parentWidget();
  if (back_control_->parentWidget() != parent) {
    back_control_->setParent(parent);
    if (parent) back_control_->setVisible(Visible());
  }
  if (parent) back_control_->lower();
  static constexpr Control::TAlign kEdgeAlign[] = {alLeft, alRight, alTop, alBottom};
  back_control_->SetAlign(kEdgeAlign[placement_]);
  SetBackControlSize(BackControlSize());
  ReapplyBounds();
  static const TAnchors kEdgeAnchors[] = {TAnchors(akLeft | akTop | akBottom), TAnchors(akTop | akRight | akBottom),
                                          TAnchors(akLeft | akTop | akRight), TAnchors(akLeft | akRight | akBottom)};
  SetAnchors(kEdgeAnchors[placement_]);
}

void TscCustomSplitView::ReapplyBounds() { SetBounds(x(), y(), width(), height()); }

void TscCustomSplitView::SetBounds(int left, int top, int width, int height) {
  const bool sliding = state_ == scsvsOpening || state_ == scsvsClosing;
  if (sliding || !back_control_ || !parentWidget() || back_control_->parentWidget() != parentWidget()) {
    Control::SetBounds(left, top, width, height);
    return;
  }
  const QRect p = back_control_->geometry();
  const bool open = state_ == scsvsOpened;
  const int opened_width = EndSize(opened_width_), compact_width = EndSize(compact_width_);
  const int opened_height = EndSize(opened_height_), compact_height = EndSize(compact_height_);
  QRect snapped;
  switch (placement_) {
    case scsvpLeft:
      snapped = QRect(p.left(), p.top(), open ? opened_width : compact_width, p.height());
      break;
    case scsvpRight:
      snapped = open ? QRect(p.left() + p.width() - opened_width, p.top(), opened_width, p.height())
                     : QRect(p.left(), p.top(), compact_width, p.height());
      break;
    case scsvpTop:
      snapped = QRect(p.left(), p.top(), p.width(), open ? opened_height : compact_height);
      break;
    case scsvpBottom:
      snapped = open ? QRect(p.left(), p.top() + p.height() - opened_height, p.width(), opened_height)
                     : QRect(p.left(), p.top(), p.width(), compact_height);
      break;
  }
  Control::SetBounds(snapped.left(), snapped.top(), snapped.width(), snapped.height());
}

void TscCustomSplitView::SetOpened(bool value) {
  if (value) {
    if (state_ == scsvsOpened || state_ == scsvsOpening) return;
    SetState(Animates() ? scsvsOpening : scsvsOpened);
  } else {
    if (state_ == scsvsClosed || state_ == scsvsClosing) return;
    SetState(Animates() ? scsvsClosing : scsvsClosed);
  }
}

// While loading there is no slide: a slide state entered then would never end (no timer runs, and
// the opened size is never applied), so these go straight to the end state as the setter does.
void TscCustomSplitView::Open() { SetState(Animates() ? scsvsOpening : scsvsOpened); }

void TscCustomSplitView::Close() { SetState(Animates() ? scsvsClosing : scsvsClosed); }

void TscCustomSplitView::SetState(TscSplitViewState state) {
  state_ = state;
  raise();
  if (hide_controls_) {
    if (state == scsvsClosed || state == scsvsClosing) HideChildren();
    if (state == scsvsOpened) ShowHiddenChildren();
  }
  if (Animates()) {
    if (state == scsvsOpening || state == scsvsClosing) {
      animation_timer_->start();
    } else {
      animation_timer_->stop();
    }
    FireStateEvent();
    return;
  }
  ApplyEndSize();
}

void TscCustomSplitView::FireStateEvent() {
  if (state_ == scsvsOpened) NotifyChildrenBackground();
  if (Loading() || destroying_) return;
  switch (state_) {
    case scsvsOpened:
      emit OnOpened(this);
      break;
    case scsvsOpening:
      emit OnOpening(this);
      break;
    case scsvsClosed:
      emit OnClosed(this);
      break;
    case scsvsClosing:
      emit OnClosing(this);
      break;
  }
}

// Without a slide the end size applies at once: any state but opened takes the compact size.
void TscCustomSplitView::ApplyEndSize() {
  if (state_ != scsvsOpened) {
    ResizeKeepingEdge(EndSize(CompactSize()));
    if (display_mode_ == scsvmDocked) SetBackControlSize(CompactSize());
    DisableWhenHidden();
    if (!Loading() && !destroying_) emit OnClosed(this);
    return;
  }
  EnableWhenShown();
  ResizeKeepingEdge(EndSize(OpenedSize()));
  if (display_mode_ == scsvmDocked) SetBackControlSize(OpenedSize());
  FireStateEvent();
}

void TscCustomSplitView::ResizeKeepingEdge(int size) {
  switch (placement_) {
    case scsvpLeft:
      Control::SetBounds(x(), y(), size, height());
      break;
    case scsvpRight:
      Control::SetBounds(x() + width() - size, y(), size, height());
      break;
    case scsvpTop:
      Control::SetBounds(x(), y(), width(), size);
      break;
    case scsvpBottom:
      Control::SetBounds(x(), y() + height() - size, width(), size);
      break;
  }
}

// A split view that closes to nothing is disabled whenever none of it is shown, so that it
// takes no input, and enabled as soon as any of it shows.
void TscCustomSplitView::EnableWhenShown() {
  if (CompactSize() == 0 && !Enabled()) SetEnabled(true);
}

void TscCustomSplitView::DisableWhenHidden() {
  if (CompactSize() == 0 && Enabled()) SetEnabled(false);
}

void TscCustomSplitView::SlideTick() {
  if (state_ == scsvsOpened || state_ == scsvsClosed) {
    animation_timer_->stop();
    return;
  }
  // A step of 0 would leave the panel where it is, tick after tick.
  const int step = std::max<int>(animation_step_, 1);
  const int opened = EndSize(OpenedSize());
  if (state_ == scsvsOpening) {
    EnableWhenShown();
    const int size = std::min(CurrentSize() + step, opened);
    ResizeKeepingEdge(size);
    if (display_mode_ == scsvmDocked) SetBackControlSize(size);
    if (size == opened) {
      EnableWhenShown();
      SetState(scsvsOpened);
    }
    return;
  }
  const int compact = EndSize(CompactSize());
  const int size = std::max(compact, std::min(CurrentSize() - step, opened));
  ResizeKeepingEdge(size);
  if (display_mode_ == scsvmDocked) SetBackControlSize(size);
  if (size == compact) {
    DisableWhenHidden();
    SetState(scsvsClosed);
  }
}

// The size setters resize the placeholder first, so that the bounds taken from it are current.
void TscCustomSplitView::SetOpenedWidth(int value) {
  if (value == opened_width_) return;
  opened_width_ = value;
  if (display_mode_ == scsvmDocked) SetBackControlSize(BackControlSize());
  if (!Loading()) ReapplyBounds();
}

void TscCustomSplitView::SetOpenedHeight(int value) {
  if (value == opened_height_) return;
  opened_height_ = value;
  if (display_mode_ == scsvmDocked) SetBackControlSize(BackControlSize());
  if (!Loading()) ReapplyBounds();
}

void TscCustomSplitView::SetCompactWidth(int value) {
  if (value == compact_width_) return;
  compact_width_ = value;
  SetBackControlSize(BackControlSize());
  if (!Loading()) ReapplyBounds();
}

void TscCustomSplitView::SetCompactHeight(int value) {
  if (value == compact_height_) return;
  compact_height_ = value;
  SetBackControlSize(BackControlSize());
  if (!Loading()) ReapplyBounds();
}

void TscCustomSplitView::SetGripSize(int value) {
  if (value < 0) return;
  grip_size_ = value;
  setMouseTracking(value > 0);
  if (value == 0) unsetCursor();
}

void TscCustomSplitView::HideChildren() {
  if (!visible_list_.isEmpty()) return;
  for (QObject* child : children()) {
    auto* widget = qobject_cast<QWidget*>(child);
    if (!widget || widget->isWindow() || widget->isHidden()) continue;
    visible_list_.append(widget);
    widget->hide();
  }
}

void TscCustomSplitView::ShowHiddenChildren() {
  for (const QPointer<QWidget>& widget : visible_list_) {
    if (widget) widget->show();
  }
  visible_list_.clear();
  Realign();
}

void TscCustomSplitView::Loaded() {
  TscPanel::Loaded();
  if (hide_controls_) {
    if (state_ == scsvsClosed || state_ == scsvsClosing) {
      HideChildren();
    } else {
      ShowHiddenChildren();
    }
  }
  if (auto* parent = qobject_cast<Control*>(parentWidget())) parent->Realign();
  // The size setters left the bounds alone while loading; take them from the placeholder now.
  ReapplyBounds();
}

bool TscCustomSplitView::event(QEvent* event) {
  const bool handled = TscPanel::event(event);
  switch (event->type()) {
    case QEvent::ParentChange:
      PlaceBackControl();
      break;
    case QEvent::StyleChange:
      // Brought to the front once the style change has been handled everywhere.
      QMetaObject::invokeMethod(this, &QWidget::raise, Qt::QueuedConnection);
      break;
    default:
      break;
  }
  return handled;
}

void TscCustomSplitView::showEvent(QShowEvent* event) {
  TscPanel::showEvent(event);
  if (back_control_ && back_control_->parentWidget()) {
    back_control_->show();
    back_control_->lower();
  }
  raise();
}

void TscCustomSplitView::hideEvent(QHideEvent* event) {
  TscPanel::hideEvent(event);
  // Only the split view's own hiding takes the placeholder along, not a hidden window.
  if (back_control_ && isHidden()) back_control_->hide();
}

int TscCustomSplitView::GripWidth() const {
  return static_cast<int>(std::nearbyint(grip_size_ * ScaleFactor()));
}

// The grip band lies along the edge that faces the parent's content.
bool TscCustomSplitView::InGrip(const QPoint& p) const {
  if (grip_size_ <= 0 || state_ != scsvsOpened) return false;
  const int grip = GripWidth();
  switch (placement_) {
    case scsvpLeft:
      return p.x() >= width() - grip;
    case scsvpRight:
      return p.x() < grip;
    case scsvpTop:
      return p.y() >= height() - grip;
    case scsvpBottom:
      return p.y() < grip;
  }
  return false;
}

void TscCustomSplitView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && InGrip(event->position().toPoint())) {
    grip_down_ = true;
    grip_down_pos_ = event->globalPosition().toPoint();
    return;
  }
  TscPanel::mousePressEvent(event);
}

void TscCustomSplitView::mouseMoveEvent(QMouseEvent* event) {
  if (!grip_down_) {
    if (grip_size_ > 0) {
      if (InGrip(event->position().toPoint())) {
        setCursor(Horizontal() ? Qt::SizeHorCursor : Qt::SizeVerCursor);
      } else {
        unsetCursor();
      }
    }
    TscPanel::mouseMoveEvent(event);
    return;
  }
  const QPoint pos = event->globalPosition().toPoint();
  const QPoint moved = pos - grip_down_pos_;
  grip_down_pos_ = pos;
  // The panel grows when the pointer moves away from its own edge.
  int change = 0;
  switch (placement_) {
    case scsvpLeft:
      change = moved.x();
      break;
    case scsvpRight:
      change = -moved.x();
      break;
    case scsvpTop:
      change = moved.y();
      break;
    case scsvpBottom:
      change = -moved.y();
      break;
  }
  const int minimum = Horizontal() ? std::max(compact_width_, opened_min_width_) : std::max(compact_height_, opened_min_height_);
  const int maximum = Horizontal() ? opened_max_width_ : opened_max_height_;
  int size = std::max(OpenedSize() + change, minimum);
  if (maximum > 0 && maximum > minimum) size = std::min(size, maximum);
  if (Horizontal()) {
    SetOpenedWidth(size);
  } else {
    SetOpenedHeight(size);
  }
}

void TscCustomSplitView::mouseReleaseEvent(QMouseEvent* event) {
  if (grip_down_ && event->button() == Qt::LeftButton) {
    grip_down_ = false;
    return;
  }
  TscPanel::mouseReleaseEvent(event);
}

void TscCustomSplitView::ScalePixelOptions(int m, int d) {
  compact_width_ = MulDiv(compact_width_, m, d);
  compact_height_ = MulDiv(compact_height_, m, d);
  opened_width_ = MulDiv(opened_width_, m, d);
  opened_height_ = MulDiv(opened_height_, m, d);
  opened_min_width_ = MulDiv(opened_min_width_, m, d);
  opened_max_width_ = MulDiv(opened_max_width_, m, d);
  opened_min_height_ = MulDiv(opened_min_height_, m, d);
  opened_max_height_ = MulDiv(opened_max_height_, m, d);
}

}  // namespace orvelle
