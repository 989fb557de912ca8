#include "controls/track_bar.h"

#include "toolkit/focus.h"
#include "toolkit/image_list.h"
#include "toolkit/theme.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <cstdint>

namespace orvelle {

orvelle::Color TscTrackBarThumbOptions::StateColor(TscsCtrlState state) const {
  switch (state) {
    case scsDisabled:
      return disabled_color_;
    case scsPressed:
      return pressed_color_;
    case scsHot:
      return hot_color_;
    default:
      return normal_color_;
  }
}

int TscTrackBarThumbOptions::StateImageIndex(TscsCtrlState state) const {
  switch (state) {
    case scsDisabled:
      return custom_image_disabled_index_;
    case scsPressed:
      return custom_image_pressed_index_;
    case scsHot:
      return custom_image_hot_index_;
    default:
      return custom_image_normal_index_;
  }
}

Qt::CursorShape TscTrackBarThumbOptions::CursorShape() const {
  switch (cursor_) {
    case crHandPoint:
      return Qt::PointingHandCursor;
    case crSizeWE:
      return Qt::SizeHorCursor;
    case crSizeNS:
      return Qt::SizeVerCursor;
    case crCross:
      return Qt::CrossCursor;
    case crIBeam:
      return Qt::IBeamCursor;
    case crDefault:
    case crArrow:
      break;
  }
  return Qt::ArrowCursor;
}

TscCustomTrackBar::TscCustomTrackBar(QWidget* parent)
    : TscCustomControl(parent),
      track_options_(new TscTrackBarTrackOptions(this)),
      thumb_options_(new TscTrackBarThumbOptions(this)) {
  SetColor(clWindow);
  resize(100, 20);
  setMouseTracking(true);
  UseLeftPressFocus();
  connect(track_options_, &TscOptions::Changed, this, &TscCustomTrackBar::RePaintControl);
  connect(thumb_options_, &TscOptions::Changed, this, &TscCustomTrackBar::RePaintControl);
}

void TscCustomTrackBar::SetMinValue(int value) {
  if (range_.SetMinimum(value)) RePaintControl();
}

void TscCustomTrackBar::SetMaxValue(int value) {
  if (range_.SetMaximum(value)) RePaintControl();
}

void TscCustomTrackBar::SetValue(int value) {
  if (!range_.SetValue(value)) return;
  RePaintControl();
  NotifyAccessibleValueChanged();
  Change();
}

void TscCustomTrackBar::Change() { emit OnChange(this); }

void TscCustomTrackBar::SetVertical(bool value) { StoreAndRepaint(vertical_, value); }

void TscCustomTrackBar::SetShowFocusRect(bool value) { StoreAndRepaint(show_focus_rect_, value); }

QRect TscCustomTrackBar::ToControl(const QRect& r) const {
  if (!vertical_) return r;
  return QRect(r.y(), height() - (r.x() + r.width()), r.height(), r.width());
}

// The thumb's size along and across the track.
QSize TscCustomTrackBar::ThumbSize() const {
  const TscTrackBarThumbOptions& thumb = *thumb_options_;
  auto along_across = [this](int w, int h) {
    w = ClampToCanvas(w);
    h = ClampToCanvas(h);
    return vertical_ ? QSize(h, w) : QSize(w, h);
  };
  if (thumb.StyleKind() == TscTrackBarStyle::sctsCustomImage && TrackImages()) {
    return along_across(TrackImages()->Width(), TrackImages()->Height());
  }
  // The area in 64 bits: two large sides must not wrap round to an area below one.
  if (std::int64_t{thumb.Width()} * thumb.Height() >= 1) return along_across(thumb.Width(), thumb.Height());
  const int across = CrossLength() - 4;
  return QSize(across / 2, across);
}

TscCustomTrackBar::Layout TscCustomTrackBar::ComputeLayout() const {
  const TscTrackBarTrackOptions& track = *track_options_;
  Layout layout;
  // Lengths beyond the largest widget are held there, so that the sums below stay in range.
  const int offset = ClampToCanvas(track.Offset());
  const int size = ClampToCanvas(track.Size());
  const int frame_width = ClampToCanvas(track.FrameWidth());
  QRect r(2, 2, AlongLength() - 4, CrossLength() - 4);
  if (offset > 0) r.adjust(offset, 0, -offset, 0);
  if (size != 0) r = QRect(r.left(), r.top() + r.height() / 2 - size / 2, r.width(), size);

  const QSize thumb = ThumbSize();
  layout.thumb_size = thumb;
  const int half = thumb.width() / 2;
  const bool styled_thumb = thumb_options_->StyleKind() == TscTrackBarStyle::sctsStyled;
  layout.offset1 = r.left() + half - (styled_thumb ? 1 : 0);
  layout.offset2 = r.left() + r.width() - half + (styled_thumb ? 1 : 0);
  layout.thumb_offset = static_cast<int>(MulDivRoundEven(range_.Reached(), layout.offset2 - layout.offset1, range_.Span()));
  QRect thumb_rect(layout.offset1 + layout.thumb_offset - half, r.top() + r.height() / 2 - thumb.height() / 2, thumb.width(),
                   thumb.height());
  const bool both_colour = track.StyleKind() == TscTrackBarStyle::sctsColor &&
                           thumb_options_->StyleKind() == TscTrackBarStyle::sctsColor;
  if (both_colour && !track.FrameColor().IsNone()) thumb_rect.adjust(frame_width, 0, -frame_width, 0);
  const int centre = thumb_rect.left() + thumb_rect.width() / 2;
  layout.track = ToControl(r);
  layout.thumb = ToControl(thumb_rect);
  layout.progress = ToControl(QRect(r.left(), r.top(), std::max(0, centre - r.left()), r.height()));
  return layout;
}

int TscCustomTrackBar::ValueFromOffset(int d) const {
  const Layout layout = ComputeLayout();
  const int travel = layout.offset2 - layout.offset1;
  if (travel <= 0) return MinValue();
  d = std::clamp(d, 0, travel);
  return static_cast<int>(MulDivRoundEven(range_.Span(), d, travel) + MinValue());
}

TscsCtrlState TscCustomTrackBar::ThumbState() const {
  if (!isEnabled()) return scsDisabled;
  if (down_) return scsPressed;
  if (mouse_over_) return scsHot;
  return scsNormal;
}

QColor TscCustomTrackBar::ResolveOwn(orvelle::Color color) const { return ResolveColor(color, UsesStyle(seClient)); }

void TscCustomTrackBar::DrawBackground(QPainter& painter) {
  DrawOpaqueBackground(painter);
}

void TscCustomTrackBar::DrawControl(QPainter& painter, TscsCtrlState) {
  DrawBackground(painter);
  const Layout layout = ComputeLayout();
  DrawTrack(painter, layout);
  DrawThumb(painter, layout);
  if (ShowsFocus(this) && CanFocused() && show_focus_rect_) DrawFocusRect(painter);
}

void TscCustomTrackBar::DrawImage(QPainter& painter, int index, const QRect& target) {
  const ImageList* images = TrackImages();
  if (!images || target.isEmpty()) return;
  const QImage image = images->Image(index);
  if (!image.isNull()) painter.drawImage(target, image);
}

void TscCustomTrackBar::DrawTrack(QPainter& painter, const Layout& layout) {
  const TscTrackBarTrackOptions& track = *track_options_;
  switch (track.StyleKind()) {
    case TscTrackBarStyle::sctsColor:
      // A track shortened past its length has crossed ends: there is nothing to draw (Qt would
      // fill such a rectangle turned round).
      if (layout.track.isEmpty()) break;
      if (!track.GetColor().IsNone()) painter.fillRect(layout.track, track.DrawnColor());
      if (!track.ProgressColor().IsNone() && !layout.progress.isEmpty()) {
        painter.fillRect(layout.progress, track.DrawnProgressColor());
      }
      if (!track.FrameColor().IsNone() && track.FrameWidth() > 0) {
        const QColor frame = track.DrawnFrameColor();
        const int w = ClampToCanvas(track.FrameWidth());
        const QRect& r = layout.track;
        painter.fillRect(QRect(r.left(), r.top(), r.width(), w), frame);
        painter.fillRect(QRect(r.left(), r.bottom() - w + 1, r.width(), w), frame);
        painter.fillRect(QRect(r.left(), r.top(), w, r.height()), frame);
        painter.fillRect(QRect(r.right() - w + 1, r.top(), w, r.height()), frame);
      }
      break;
    case TscTrackBarStyle::sctsStyled: {
      // The theme's track: a sunken groove in the face's shadow with a light edge. Under a theme
      // with a styled thumb the groove ends under the thumb's centre at either end.
      QRect groove = layout.track;
      if (IsCustomStyleActive() && thumb_options_->StyleKind() == TscTrackBarStyle::sctsStyled) {
        const int half = layout.thumb_size.width() / 2;
        groove = vertical_ ? groove.adjusted(0, half, 0, -half) : groove.adjusted(half, 0, -half, 0);
      }
      if (groove.isEmpty()) break;
      painter.fillRect(groove, ResolveOwn(clBtnShadow));
      painter.setPen(ResolveOwn(clBtnHighlight));
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(groove.adjusted(0, 0, -1, -1));
      break;
    }
    case TscTrackBarStyle::sctsCustomImage:
      DrawImage(painter, track.CustomImageIndex(), layout.track);
      painter.save();
      painter.setClipRect(layout.progress);
      DrawImage(painter, track.CustomImageProgressIndex(), layout.track);
      painter.restore();
      break;
  }
}

void TscCustomTrackBar::DrawThumb(QPainter& painter, const Layout& layout) {
  const TscTrackBarThumbOptions& thumb = *thumb_options_;
  const TscsCtrlState state = ThumbState();
  if (layout.thumb.isEmpty()) return;  // narrowed past its width, or no size at all
  switch (thumb.StyleKind()) {
    case TscTrackBarStyle::sctsColor:
      painter.fillRect(layout.thumb, thumb.DrawnStateColor(state));
      break;
    case TscTrackBarStyle::sctsStyled: {
      // The theme's thumb: a face-coloured block, accent-coloured while hot or pressed.
      const orvelle::Color face = state == scsDisabled ? clBtnShadow
                                  : state == scsNormal ? clBtnHighlight
                                                       : clHighlight;
      painter.fillRect(layout.thumb, ResolveOwn(face));
      painter.setPen(ResolveOwn(clBtnShadow));
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(layout.thumb.adjusted(0, 0, -1, -1));
      break;
    }
    case TscTrackBarStyle::sctsCustomImage:
      DrawImage(painter, thumb.StateImageIndex(state), layout.thumb);
      break;
  }
}

void TscCustomTrackBar::DrawFocusRect(QPainter& painter) {
  DrawFocusDots(painter, rect(), ResolveColor(GetStyleLabelTextColor(scsNormal), false), ScaleFactor() >= 1.5 ? 2 : 1);
}

void TscCustomTrackBar::ScalePixelOptions(int m, int d) {
  track_options_->SetSize(MulDiv(track_options_->Size(), m, d));
  thumb_options_->SetWidth(MulDiv(thumb_options_->Width(), m, d));
  thumb_options_->SetHeight(MulDiv(thumb_options_->Height(), m, d));
}

void TscCustomTrackBar::PressThumb(const QPointF& position, Qt::MouseButton button) {
  if (read_only_) return;
  FocusOnLeftPress(button);
  if (!mouse_support_) return;
  const Layout layout = ComputeLayout();
  if (!layout.thumb.contains(position.toPoint())) return;
  drag_start_ = Along(position);
  drag_start_offset_ = layout.thumb_offset;
  down_ = true;
  RePaintControl();
  emit OnStartDragButton(this);
}

void TscCustomTrackBar::mousePressEvent(QMouseEvent* event) {
  TscCustomControl::mousePressEvent(event);
  PressThumb(event->position(), event->button());
}

void TscCustomTrackBar::mouseDoubleClickEvent(QMouseEvent* event) {
  TscCustomControl::mouseDoubleClickEvent(event);
  PressThumb(event->position(), event->button());
}

void TscCustomTrackBar::SetMouseOverThumb(bool over) {
  if (over == mouse_over_) return;
  mouse_over_ = over;
  if (thumb_options_->UseCursor()) {
    if (over) {
      setCursor(thumb_options_->CursorShape());
    } else {
      unsetCursor();
    }
  }
  RePaintControl();
}

void TscCustomTrackBar::mouseMoveEvent(QMouseEvent* event) {
  TscCustomControl::mouseMoveEvent(event);
  if (read_only_ || !mouse_support_) return;
  if (down_) {
    SetValue(ValueFromOffset(Along(event->position()) + drag_start_offset_ - drag_start_));
    return;
  }
  SetMouseOverThumb(ComputeLayout().thumb.contains(event->position().toPoint()));
}

void TscCustomTrackBar::mouseReleaseEvent(QMouseEvent* event) {
  TscCustomControl::mouseReleaseEvent(event);
  if (read_only_) return;
  if (down_) {
    down_ = false;
    const bool over = ComputeLayout().thumb.contains(event->position().toPoint());
    mouse_over_ = over;
    if (thumb_options_->UseCursor() && !over) unsetCursor();
    RePaintControl();
    emit OnLastChange(this);
    return;
  }
  if (jump_when_click_) SetValue(ValueFromOffset(Along(event->position()) - ComputeLayout().thumb_size.width() / 2 - 2));
}

void TscCustomTrackBar::leaveEvent(QEvent* event) {
  TscCustomControl::leaveEvent(event);
  if (!down_) SetMouseOverThumb(false);
}

void TscCustomTrackBar::Step(int delta) {
  // A step past the largest or smallest integer stays there rather than wrapping round.
  const std::int64_t stepped = std::int64_t{Value()} + delta;
  SetValue(static_cast<int>(std::clamp<std::int64_t>(stepped, INT_MIN, INT_MAX)));
  emit OnLastChange(this);
}

void TscCustomTrackBar::StepTo(int value) {
  SetValue(value);
  emit OnLastChange(this);
}

void TscCustomTrackBar::keyPressEvent(QKeyEvent* event) {
  if (!CanFocused() || read_only_) {
    TscCustomControl::keyPressEvent(event);
    return;
  }
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
      Step(-1);
      break;
    case Qt::Key_Right:
    case Qt::Key_Up:
      Step(1);
      break;
    case Qt::Key_PageUp:
      Step(kPageStep);
      break;
    case Qt::Key_PageDown:
      Step(-kPageStep);
      break;
    case Qt::Key_Home:
      StepTo(MinValue());
      break;
    case Qt::Key_End:
      StepTo(MaxValue());
      break;
    default:
      TscCustomControl::keyPressEvent(event);
      return;
  }
  event->accept();
}

void TscCustomTrackBar::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  if (read_only_ || delta == 0) {
    event->ignore();
    return;
  }
  // Rolled toward the listener moves a horizontal slider up and a vertical one down.
  const bool toward = delta <= 0;
  Step(vertical_ ? (toward ? -1 : 1) : (toward ? 1 : -1));
  event->accept();
}

void TscCustomTrackBar::focusInEvent(QFocusEvent* event) {
  TscCustomControl::focusInEvent(event);
  if (CanFocused() && !read_only_) CaptureParentBackground();
  RePaintControl();
}

void TscCustomTrackBar::focusOutEvent(QFocusEvent* event) {
  TscCustomControl::focusOutEvent(event);
  RePaintControl();
}

void TscTrackBar::SetCustomImages(ImageList* images) {
  if (images == custom_images_) return;
  custom_images_ = images;
  RePaintControl();
}

void TscTrackBar::SetCustomBackgroundImageIndex(int index) {
  if (index == custom_background_image_index_) return;
  custom_background_image_index_ = index;
  RePaintControl();
}

void TscTrackBar::DrawBackground(QPainter& painter) {
  TscCustomTrackBar::DrawBackground(painter);
  if (!custom_images_) return;
  const QImage background = custom_images_->Image(custom_background_image_index_);
  if (!background.isNull()) painter.drawImage(rect(), background);
}

}  // namespace orvelle
