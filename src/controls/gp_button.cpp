#include "controls/gp_button.h"

#include "controls/caption_text.h"
#include "controls/value_range.h"
#include "toolkit/focus.h"
#include "toolkit/form.h"
#include "toolkit/theme.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLinearGradient>
#include <QMetaMethod>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QtMath>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace orvelle {
namespace {

// Alpha of the drop-down arrow.
constexpr std::uint8_t kArrowAlpha = 200;
// Distance between the frame and the content rectangle.
constexpr int kContentInset = 3;


// The edges of a rectangle, in drawing order, and the corner each one starts from.
enum Edge { kTopEdge, kRightEdge, kBottomEdge, kLeftEdge, kNoEdge };

// A closed figure (or, with an open edge, the outline without that edge) of the rectangle with
// an arc of the given diameter in each corner: top-left, top-right, bottom-right, bottom-left. A
// diameter of 0 makes a square corner. Arcs start at 180, 270, 0 and 90 degrees clockwise from
// the x axis, each sweeping 90 degrees, like AddRoundedRectPath.
QPainterPath CornersPath(const QRectF& r, const std::array<double, 4>& diameters, Edge open = kNoEdge) {
  static constexpr std::array<double, 4> kStart = {180, 270, 0, 90};
  QPainterPath path;
  const int first = open == kNoEdge ? 0 : (open + 1) % 4;
  for (int step = 0; step < 4; ++step) {
    const int corner = (first + step) % 4;
    const double d = diameters[corner];
    const double x = (corner == 1 || corner == 2) ? r.right() - d : r.left();
    const double y = (corner == 2 || corner == 3) ? r.bottom() - d : r.top();
    if (d <= 0) {
      const QPointF point(corner == 1 || corner == 2 ? r.right() : r.left(), corner >= 2 ? r.bottom() : r.top());
      if (step == 0) {
        path.moveTo(point);
      } else {
        path.lineTo(point);
      }
      continue;
    }
    // Qt counts angles counter-clockwise on screen, so each clockwise angle changes sign.
    const QRectF square(x, y, d, d);
    if (step == 0) path.arcMoveTo(square, -kStart[corner]);
    path.arcTo(square, -kStart[corner], -90);
  }
  if (open == kNoEdge) path.closeSubpath();
  return path;
}

// The rectangle grown by `by` on one edge (kNoEdge: unchanged).
QRectF GrowEdge(QRectF r, Edge edge, double by) {
  switch (edge) {
    case kTopEdge:
      r.setTop(r.top() - by);
      break;
    case kRightEdge:
      r.setRight(r.right() + by);
      break;
    case kBottomEdge:
      r.setBottom(r.bottom() + by);
      break;
    case kLeftEdge:
      r.setLeft(r.left() - by);
      break;
    case kNoEdge:
      break;
  }
  return r;
}

using Shape = TscGPButtonOptions::TscGPButtonShapeStyle;

// The edge a tab shape leaves open (the side that joins its page).
Edge OpenEdge(Shape shape) {
  switch (shape) {
    case TscGPButtonOptions::scgpTabLeft:
    case TscGPButtonOptions::scgpTabLeftRounded:
      return kRightEdge;
    case TscGPButtonOptions::scgpTabRight:
    case TscGPButtonOptions::scgpTabRightRounded:
      return kLeftEdge;
    case TscGPButtonOptions::scgpTabTop:
      return kBottomEdge;
    case TscGPButtonOptions::scgpTabBottom:
      return kTopEdge;
    default:
      return kNoEdge;
  }
}

// The corner diameters of a shape on a rectangle: `d` for rounded corners, the rectangle's
// height for the half-round ends.
std::array<double, 4> CornerDiameters(Shape shape, const QRectF& r, double d) {
  const double h = r.height();
  switch (shape) {
    case TscGPButtonOptions::scgpRoundedRect:
      return {d, d, d, d};
    case TscGPButtonOptions::scgpRoundedLeftRight:
      return {h, h, h, h};
    case TscGPButtonOptions::scgpSegmentedLeft:
    case TscGPButtonOptions::scgpTabLeft:
      return {d, 0, 0, d};
    case TscGPButtonOptions::scgpSegmentedLeftRounded:
    case TscGPButtonOptions::scgpTabLeftRounded:
      return {h, 0, 0, h};
    case TscGPButtonOptions::scgpSegmentedRight:
    case TscGPButtonOptions::scgpTabRight:
      return {0, d, d, 0};
    case TscGPButtonOptions::scgpSegmentedRightRounded:
    case TscGPButtonOptions::scgpTabRightRounded:
      return {0, h, h, 0};
    case TscGPButtonOptions::scgpTabTop:
      return {d, d, 0, 0};
    case TscGPButtonOptions::scgpTabBottom:
      return {0, 0, d, d};
    default:
      return {0, 0, 0, 0};
  }
}

// Draws a picture (painted by `draw` at full strength into a transparent layer) as a halo in
// `color`: copies fading with their distance around it, up to `size` pixels.
template <class Draw>
void DrawHalo(QPainter& painter, const QRect& area, const QColor& color, int size, int offset, bool intensive,
              Draw&& draw) {
  if (area.isEmpty() || size <= 0) return;
  QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
  layer.fill(Qt::transparent);
  {
    QPainter layer_painter(&layer);
    layer_painter.translate(-area.topLeft());
    draw(layer_painter);
    layer_painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    layer_painter.fillRect(area, QColor(color.red(), color.green(), color.blue()));
  }
  painter.save();
  for (int d = size; d >= 1; --d) {
    painter.setOpacity(color.alphaF() * (size - d + 1) / (size + 1) / (intensive ? 1 : 2));
    for (const QPoint step : {QPoint(-d, 0), QPoint(d, 0), QPoint(0, -d), QPoint(0, d)}) {
      painter.drawImage(area.topLeft() + step + QPoint(offset, offset), layer);
    }
  }
  painter.restore();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TscCustomButtonControl

TscCustomButtonControl::TscCustomButtonControl(QWidget* parent)
    : TscCustomActiveControl(parent), glow_effect_(new TscButtonGlowEffect(this)), repeat_timer_(new QTimer(this)) {
  resize(100, 35);
  UseLeftPressFocus();
  SetTabStop(true);
  repeat_timer_->setSingleShot(false);
  connect(repeat_timer_, &QTimer::timeout, this, &TscCustomButtonControl::RepeatTick);
  connect(glow_effect_, &TscOptions::Changed, this, &TscCustomButtonControl::RePaintControl);
}

void TscCustomButtonControl::SetCaption(const QString& value) {
  if (value == caption_) return;
  caption_ = value;
  UpdateShortcut();
  RePaintControl();
}

void TscCustomButtonControl::SetShowCaption(bool value) {
  if (value == show_caption_) return;
  show_caption_ = value;
  const int width = value ? width_with_caption_ : width_without_caption_;
  if (width > 0) SetWidth(width);
  RePaintControl();
}

void TscCustomButtonControl::SetImages(ImageList* value) {
  if (value == images_) return;
  if (images_) disconnect(images_, nullptr, this, nullptr);
  images_ = value;
  if (images_) connect(images_, &ImageList::Changed, this, &TscCustomButtonControl::RePaintControl);
  RePaintControl();
}

void TscCustomButtonControl::SetImageIndex(int value) { StoreAndRepaint(image_index_, value); }

void TscCustomButtonControl::SetLayout(TButtonLayout value) { StoreAndRepaint(layout_, value); }

void TscCustomButtonControl::SetMargin(int value) {
  if (value >= -1) StoreAndRepaint(margin_, value);
}

void TscCustomButtonControl::SetSpacing(int value) {
  if (value >= 0) StoreAndRepaint(spacing_, value);
}

void TscCustomButtonControl::SetImageMargin(int value) {
  if (value >= 0) StoreAndRepaint(image_margin_, value);
}

void TscCustomButtonControl::SetCanFocused(bool value) {
  if (value == CanFocused()) return;
  Control::SetCanFocused(value);
  UpdateShortcut();
}

void TscCustomButtonControl::SetRepeatClickInterval(int value) {
  if (value > 0) repeat_click_interval_ = value;
}

void TscCustomButtonControl::SetImageGlow(bool value) {
  if (value == image_glow_) return;
  image_glow_ = value;
  if (glow_effect_->Enabled()) RePaintControl();
}

void TscCustomButtonControl::SetGroupIndex(int value) {
  if (value == group_index_ || value < 0) return;
  group_index_ = value;
  if (down_) ReleaseGroup();
}

void TscCustomButtonControl::SetDown(bool value) {
  if (value == down_) return;
  down_ = value;
  if (value) ReleaseGroup();
  RePaintControl();
  if (value) ButtonClick();
}

void TscCustomButtonControl::SetDefault(bool value) {
  if (value == default_) return;
  default_ = value;
  if (value) {
    connect(qApp, &QApplication::focusChanged, this, &TscCustomButtonControl::RePaintControl, Qt::UniqueConnection);
  } else {
    disconnect(qApp, &QApplication::focusChanged, this, &TscCustomButtonControl::RePaintControl);
  }
  UpdateDialogKeys();
  RePaintControl();
}

void TscCustomButtonControl::SetCancel(bool value) {
  if (value == cancel_) return;
  cancel_ = value;
  UpdateDialogKeys();
}

bool TscCustomButtonControl::ActiveDefault() const {
  if (!default_ || !CanFocused()) return false;
  const QWidget* focused = QApplication::focusWidget();
  if (!focused || focused->window() != window()) return true;
  return focused == this || !qobject_cast<const TscCustomButtonControl*>(focused);
}

void TscCustomButtonControl::UpdateDialogKeys() {
  QWidget* target = (default_ || cancel_) ? window() : nullptr;
  if (target == dialog_window_) return;
  if (dialog_window_) dialog_window_->removeEventFilter(this);
  dialog_window_ = target == this ? nullptr : target;
  if (dialog_window_) dialog_window_->installEventFilter(this);
}

bool TscCustomButtonControl::eventFilter(QObject* watched, QEvent* event) {
  if (watched != dialog_window_ || event->type() != QEvent::KeyPress) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  if (key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) return false;
  if (!isEnabled() || !isVisible()) return false;
  const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
  if ((enter && ActiveDefault()) || (key->key() == Qt::Key_Escape && cancel_)) {
    ButtonClick();
    return true;
  }
  return false;
}

void TscCustomButtonControl::SetWordWrap(bool value) { StoreAndRepaint(word_wrap_, value); }

void TscCustomButtonControl::SetDropDownMenu(QMenu* value) {
  if (value == drop_down_menu_) return;
  drop_down_menu_ = value;
  RePaintControl();
}

void TscCustomButtonControl::SetGalleryMenu(QMenu* value) {
  if (value == gallery_menu_) return;
  gallery_menu_ = value;
  RePaintControl();
}

void TscCustomButtonControl::SetCustomDropDown(bool value) { StoreAndRepaint(custom_drop_down_, value); }

void TscCustomButtonControl::SetShowMenuArrow(bool value) { StoreAndRepaint(show_menu_arrow_, value); }

void TscCustomButtonControl::SetArrowPosition(TscArrowPosition value) { StoreAndRepaint(arrow_position_, value); }

TscsCtrlState TscCustomButtonControl::GetCtrlState() const {
  if (down_) return scsPressed;
  if (!isEnabled()) return scsDisabled;
  if (menu_dropped_down_) return scsHot;
  if ((MouseIn() && pressed_) || space_down_) return scsPressed;
  if (MouseIn() || ActiveDefault()) return scsHot;
  if (ShowsFocus(this) && CanFocused()) return scsFocused;
  return scsNormal;
}

void TscCustomButtonControl::ButtonClick() { emit OnClick(this); }

void TscCustomButtonControl::AccelClick() {
  if (CanFocused() && !hasFocus()) setFocus(Qt::ShortcutFocusReason);
  ButtonClick();
}

void TscCustomButtonControl::FinishClick() {
  if (group_index_ > 0) {
    if (release_down_on_up_) {
      release_down_on_up_ = false;
      down_ = false;
      RePaintControl();
      ButtonClick();
    } else if (!down_) {
      SetDown(true);
    }
    return;
  }
  ButtonClick();
}

void TscCustomButtonControl::UpdateShortcut() {
  if (shortcut_id_ != 0) {
    releaseShortcut(shortcut_id_);
    shortcut_id_ = 0;
  }
  const QKeySequence key = QKeySequence::mnemonic(caption_);
  if (!key.isEmpty()) shortcut_id_ = grabShortcut(key);
}

bool TscCustomButtonControl::CanAnimate() const {
  if (pressed_ || space_down_ || down_ || menu_dropped_down_) return false;
  return TscCustomActiveControl::CanAnimate();
}

void TscCustomButtonControl::DoMouseEnter() {
  if (pressed_) StartRepeat();
  TscCustomActiveControl::DoMouseEnter();
}

void TscCustomButtonControl::DoMouseLeave() {
  if (!space_down_) StopRepeat();
  TscCustomActiveControl::DoMouseLeave();
}

void TscCustomButtonControl::StartRepeat() {
  if (!repeat_click_) return;
  repeat_timer_->start(kRepeatDelay);
}

void TscCustomButtonControl::StopRepeat() { repeat_timer_->stop(); }

void TscCustomButtonControl::RepeatTick() {
  repeat_timer_->setInterval(repeat_click_interval_);
  ButtonClick();
}

void TscCustomButtonControl::OpenDropDown() {
  menu_dropped_down_ = true;
  RePaintControl();
  emit OnDropDown(this);
  auto close_up = [this] {
    menu_dropped_down_ = false;
    RePaintControl();
    emit OnCloseUp(this);
  };
  if (QMenu* menu = Menu()) {
    connect(menu, &QMenu::aboutToHide, this, close_up, Qt::SingleShotConnection);
    menu->popup(mapToGlobal(QPoint(0, height())));
  } else {
    // A custom drop-down is shown by the OnDropDown handler, which has nothing to report back:
    // the button is open only while the handler runs.
    close_up();
  }
}

bool TscCustomButtonControl::event(QEvent* event) {
  if (event->type() == QEvent::Shortcut) {
    if (isEnabled()) AccelClick();
    return true;
  }
  if (event->type() == QEvent::ParentChange) UpdateDialogKeys();
  return TscCustomActiveControl::event(event);
}

void TscCustomButtonControl::LeftPressed(QMouseEvent* event) {
  FocusOnLeftPress(event->button());
  const QPoint p = event->position().toPoint();
  emit OnMouseDown(this, event->button(), event->modifiers(), p.x(), p.y());
  if (HasDropDown()) {
    OpenDropDown();
    return;
  }
  if (group_index_ > 0 && down_ && allow_all_up_) release_down_on_up_ = true;
  pressed_ = true;
  RePaintControl();
  if (group_index_ > 0 && !down_) SetDown(true);
  StartRepeat();
}

void TscCustomButtonControl::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    LeftPressed(event);
    return;
  }
  const QPoint p = event->position().toPoint();
  emit OnMouseDown(this, event->button(), event->modifiers(), p.x(), p.y());
}

void TscCustomButtonControl::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void TscCustomButtonControl::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  emit OnMouseUp(this, event->button(), event->modifiers(), p.x(), p.y());
  if (event->button() != Qt::LeftButton || !pressed_) return;
  pressed_ = false;
  StopRepeat();
  RePaintControl();
  if (!MouseIn()) {
    release_down_on_up_ = false;
    return;
  }
  if (release_down_on_up_) {
    FinishClick();
  } else if (!down_) {
    ButtonClick();
  }
}

void TscCustomButtonControl::keyPressEvent(QKeyEvent* event) {
  if (!CanFocused()) {
    event->ignore();
    return;
  }
  switch (event->key()) {
    case Qt::Key_Space:
      if (!space_down_ && !event->isAutoRepeat()) {
        space_down_ = true;
        if (group_index_ > 0 && down_ && allow_all_up_) release_down_on_up_ = true;
        RePaintControl();
        StartRepeat();
      }
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (group_index_ > 0 && down_ && allow_all_up_) release_down_on_up_ = true;
      FinishClick();
      return;
    case Qt::Key_Up:
    case Qt::Key_Down:
      if (Menu()) {
        OpenDropDown();
        return;
      }
      break;
    default:
      break;
  }
  TscCustomActiveControl::keyPressEvent(event);
}

void TscCustomButtonControl::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && space_down_) {
    space_down_ = false;
    StopRepeat();
    RePaintControl();
    FinishClick();
    return;
  }
  TscCustomActiveControl::keyReleaseEvent(event);
}

void TscCustomButtonControl::focusInEvent(QFocusEvent* event) {
  TscCustomActiveControl::focusInEvent(event);
  if (!CanFocused()) return;
  CaptureParentBackground();
  RePaintControl();
}

void TscCustomButtonControl::focusOutEvent(QFocusEvent* event) {
  TscCustomActiveControl::focusOutEvent(event);
  if (space_down_) {
    space_down_ = false;
    StopRepeat();
  }
  RePaintControl();
}

void TscCustomButtonControl::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) {
    SetMouseIn(false);
    pressed_ = false;
    space_down_ = false;
    StopRepeat();
  }
  TscCustomActiveControl::changeEvent(event);
}

QRect TscCustomButtonControl::ContentRect(int frameWidth, int arrowSize) const {
  const int inset = ClampToCanvas(std::int64_t{frameWidth} + kContentInset +
                             (glow_effect_->Enabled() ? glow_effect_->GlowSize() / 2 : 0));
  QRect r = rect().adjusted(inset, inset, -inset, -inset);
  if (show_menu_arrow_ && HasDropDown()) {
    const int arrow = ClampToCanvas(2 * std::int64_t{arrowSize});
    if (arrow_position_ == scapRight) {
      r.setRight(r.right() - arrow);
    } else {
      r.setBottom(r.bottom() - arrow);
    }
  }
  return r;
}

void TscCustomButtonControl::DrawMenuArrow(QPainter& painter, int size, const QColor& textColor) const {
  if (!show_menu_arrow_ || !HasDropDown()) return;
  const std::int64_t w = width(), h = height();
  QPointF box = arrow_position_ == scapRight ? QPointF(w - 2 * std::int64_t{size}, (h - size) / 2)
                                              : QPointF((w - size) / 2, h - 2 * std::int64_t{size});
  QPainterPath triangle;
  triangle.moveTo(box + QPointF(0, size / 2.0));
  triangle.lineTo(box + QPointF(size, size / 2.0));
  triangle.lineTo(box + QPointF(size / 2.0, size));
  triangle.closeSubpath();
  QColor color = textColor;
  color.setAlpha(kArrowAlpha);
  painter.fillPath(triangle, color);
}

void TscCustomButtonControl::DrawImageAndText(QPainter& painter, const QRect& content, int frameWidth, int imageIndex,
                                              const QColor& textColor, TscsCtrlState state) const {
  const bool has_image = images_ && imageIndex >= 0 && imageIndex < images_->Count();
  const int iw = has_image ? images_->Width() : 0;
  const int ih = has_image ? images_->Height() : 0;
  const QString text = ShownCaption();
  const bool has_text = !text.isEmpty();
  // Positions are worked out in 64 bits: margins and spacing up to the largest integer add up
  // beyond 32 bits, and a sum that wrapped round would bring a far-off part back into view.
  using Pixel = std::int64_t;
  const Pixel sp = has_image && has_text ? spacing_ : 0;
  const bool image_band = image_margin_ > 0 && images_;
  const bool horizontal = layout_ == blGlyphLeft || layout_ == blGlyphRight;

  const Pixel L = content.left(), T = content.top(), W = content.width(), H = content.height();
  const Pixel R = L + W, B = T + H;
  const Pixel cx = L + W / 2, cy = T + H / 2;

  // The caption's size, wrapped to the room the image leaves.
  CaptionFormat format;
  format.word_wrap = word_wrap_;
  format.alignment = Qt::AlignCenter;
  int tw = 0, th = 0;
  if (has_text) {
    Pixel room_w = W, room_h = H;
    const Pixel taken = image_band ? Pixel{image_margin_} + spacing_
                                   : Pixel{margin_ >= 0 ? margin_ : 0} + (horizontal ? iw : ih) + sp;
    (horizontal ? room_w : room_h) -= taken;
    auto room = [](Pixel v) { return static_cast<int>(std::clamp<Pixel>(v, 1, kCanvasLimit)); };
    const QSize bound = MeasureCaption(text, font(), format, room(room_w));
    tw = std::min(bound.width(), std::max(content.width(), 0));
    th = std::min(bound.height(), std::max(content.height(), 0));
  }

  Pixel ix = 0, iy = 0, tx = 0, ty = 0;
  if (image_band) {
    // The image centred in a band ImageMargin wide along the frame's inner edge; the caption
    // ImageMargin + Spacing into the content rectangle.
    const Pixel band = image_margin_;
    switch (layout_) {
      case blGlyphLeft:
        ix = frameWidth + (band - iw) / 2;
        tx = L + band + spacing_;
        break;
      case blGlyphRight:
        ix = width() - frameWidth - band + (band - iw) / 2;
        tx = R - band - spacing_ - tw;
        break;
      case blGlyphTop:
        iy = frameWidth + (band - ih) / 2;
        ty = T + band + spacing_;
        break;
      case blGlyphBottom:
        iy = height() - frameWidth - band + (band - ih) / 2;
        ty = B - band - spacing_ - th;
        break;
    }
    if (horizontal) {
      iy = cy - ih / 2;
      ty = cy - th / 2;
    } else {
      ix = cx - iw / 2;
      tx = cx - tw / 2;
    }
  } else if (margin_ < 0) {
    switch (layout_) {
      case blGlyphLeft:
        ix = cx - (iw + tw + sp) / 2;
        tx = ix + iw + sp;
        break;
      case blGlyphRight:
        tx = cx - (iw + tw + sp) / 2;
        ix = tx + tw + sp;
        break;
      case blGlyphTop:
        iy = cy - (ih + th + sp) / 2;
        ty = iy + ih + sp;
        break;
      case blGlyphBottom:
        ty = cy - (ih + th + sp) / 2;
        iy = ty + th + sp;
        break;
    }
    if (horizontal) {
      iy = cy - ih / 2;
      ty = cy - th / 2;
    } else {
      ix = cx - iw / 2;
      tx = cx - tw / 2;
    }
  } else {
    switch (layout_) {
      case blGlyphLeft:
        ix = L + margin_;
        tx = ix + iw + sp;
        break;
      case blGlyphRight:
        ix = R - margin_ - iw;
        tx = ix - sp - tw;
        break;
      case blGlyphTop:
        iy = T + margin_;
        ty = iy + ih + sp;
        break;
      case blGlyphBottom:
        iy = B - margin_ - ih;
        ty = iy - sp - th;
        break;
    }
    if (horizontal) {
      iy = cy - ih / 2;
      ty = cy - th / 2;
    } else {
      ix = cx - iw / 2;
      tx = cx - tw / 2;
    }
  }

  const bool enabled = state != scsDisabled;
  const QRect text_rect(ClampToCanvas(tx), ClampToCanvas(ty), tw, th);
  auto draw_image = [&](QPainter& p) {
    if (has_image) images_->Draw(p, ClampToCanvas(ix), ClampToCanvas(iy), imageIndex, enabled);
  };
  auto draw_text = [&](QPainter& p, const QColor& color) {
    if (!has_text) return;
    p.setPen(color);
    DrawCaption(p, text_rect, text, font(), format);
  };

  if (glow_effect_->Shows(state)) {
    const QColor glow_color = glow_effect_->DrawnColor(static_cast<std::uint8_t>(glow_effect_->AlphaValue()));
    DrawHalo(painter, rect(), glow_color, glow_effect_->GlowSize() / 2, glow_effect_->Offset(),
             glow_effect_->Intensive(), [&](QPainter& p) {
               if (image_glow_) draw_image(p);
               draw_text(p, Qt::black);
             });
  }
  draw_image(painter);
  draw_text(painter, textColor);
}

void TscCustomButtonControl::ScalePixelOptions(int m, int d) {
  if (scale_margin_and_spacing_) {
    if (margin_ > 0) margin_ = MulDiv(margin_, m, d);
    if (spacing_ > 0) spacing_ = MulDiv(spacing_, m, d);
  }
  if (image_margin_ > 0) image_margin_ = MulDiv(image_margin_, m, d);
  if (width_with_caption_ > 0) width_with_caption_ = MulDiv(width_with_caption_, m, d);
  if (width_without_caption_ > 0) width_without_caption_ = MulDiv(width_without_caption_, m, d);
}

// ---------------------------------------------------------------------------------------------
// TscGPButton

TscGPButton::TscGPButton(QWidget* parent) : TscCustomButtonControl(parent), options_(new TscGPButtonOptions(this)) {
  connect(options_, &TscOptions::Changed, this, [this] {
    KeepSquare();
    RePaintControl();
  });
}

int TscGPButton::StateImageIndex(TscsCtrlState state) const {
  auto or_else = [](int index, int fallback) { return index == -1 ? fallback : index; };
  switch (state) {
    case scsHot:
      return or_else(hot_image_index_, ImageIndex());
    case scsPressed:
      return or_else(pressed_image_index_, or_else(hot_image_index_, ImageIndex()));
    case scsFocused:
      return or_else(focused_image_index_, or_else(hot_image_index_, ImageIndex()));
    case scsNormal:
    case scsDisabled:
      break;
  }
  return ImageIndex();
}

namespace {

QBrush FillBrush(const TscGPStateOptions& options, TscGPButtonOptions::TscGPButtonShapeStyle shape,
                 TscsCtrlState state, const QRectF& fillRect) {
  if (options.ShapeFillStyle() != TscGPStateOptions::scgpsfGradient) return QBrush(options.StateFillColor(state));
  const double grow = (shape == TscGPButtonOptions::scgpTabTop || shape == TscGPButtonOptions::scgpTabBottom)
                          ? options.FrameWidth()
                          : 1;
  QRectF area = fillRect;
  InflateGPRectF(area, grow, grow);
  return QBrush(AngledGradient(area, options.StateGradientAngle(state), options.StateGradientLightColor(state),
                               options.StateGradientDarkColor(state)));
}

}  // namespace

void DrawGPButtonShape(QPainter& painter, const TscGPStateOptions& options,
                       TscGPButtonOptions::TscGPButtonShapeStyle shape, const QRect& client, TscsCtrlState state) {
  const QColor frame_color = options.StateFrameColor(state);
  const int frame_width = options.FrameWidth();
  const bool frame_visible = GPFrameVisible(frame_color);
  const QRectF frame_rect = GPShapeFrameRect(client, frame_width);
  const QRectF fill_rect = GPShapeFillRect(client, frame_width, frame_color);
  const QBrush brush = FillBrush(options, shape, state, fill_rect);
  QPen pen(frame_color, frame_width);
  pen.setJoinStyle(Qt::MiterJoin);

  if (shape == TscGPButtonOptions::scgpRect || shape == TscGPButtonOptions::scgpSegmentedMiddle) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(brush);
    painter.drawRect(fill_rect);
    // The frame of a rectangle is the band between the frame rectangle grown and shrunk by half
    // the frame width: the stroke with mitred corners, filled so the corners are covered exactly.
    if (frame_visible) {
      QRectF outer = frame_rect, inner = frame_rect;
      InflateGPRectF(outer, frame_width / 2.0, frame_width / 2.0);
      InflateGPRectF(inner, -frame_width / 2.0, -frame_width / 2.0);
      QPainterPath frame;
      frame.addRect(outer);
      if (!inner.isEmpty()) frame.addRect(inner);
      painter.fillPath(frame, frame_color);
    }
    return;
  }
  if (shape == TscGPButtonOptions::scgpEllipse || shape == TscGPButtonOptions::scgpRounded) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(brush);
    painter.drawEllipse(fill_rect);
    if (frame_visible) {
      painter.setPen(pen);
      painter.setBrush(Qt::NoBrush);
      painter.drawEllipse(frame_rect);
    }
    return;
  }
  // Rounded corners: the frame's diameter is twice the corner radius; a translucent frame's fill
  // uses one frame width less (at least 1), so the two do not overlap.
  const double frame_d = 2.0 * options.ShapeCornerRadius();
  const double fill_d = frame_visible && frame_color.alpha() < 255 ? std::max(1.0, frame_d - frame_width) : frame_d;
  const Edge open = OpenEdge(shape);
  painter.setPen(Qt::NoPen);
  painter.setBrush(brush);
  // A tab's fill runs to the client edge on its open side, and its frame stops there.
  const QRectF tab_fill = GrowEdge(fill_rect, open, fill_rect.left() - ToGPRectF(client).left());
  painter.drawPath(CornersPath(tab_fill, CornerDiameters(shape, tab_fill, fill_d)));
  if (frame_visible) {
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const QRectF tab_frame = GrowEdge(frame_rect, open, frame_width / 2.0);
    painter.drawPath(CornersPath(tab_frame, CornerDiameters(shape, frame_rect, frame_d), open));
  }
}

QRectF TscGPButton::FrameRect() const { return GPShapeFrameRect(rect(), options_->FrameWidth()); }

QRectF TscGPButton::FillRect(const QColor& frameColor) const {
  return GPShapeFillRect(rect(), options_->FrameWidth(), frameColor);
}

void TscGPButton::DrawControl(QPainter& painter, TscsCtrlState state) {
  DrawOpaqueBackground(painter);
  const QColor text_color = options_->StateFontColor(state);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  DrawGPButtonShape(painter, *options_, options_->ShapeStyle(), rect(), state);
  DrawMenuArrow(painter, options_->ArrowSize(), text_color);
  painter.restore();

  const int frame_width = options_->FrameWidth();
  const QRect content = ContentRect(frame_width, options_->ArrowSize());
  if (isSignalConnected(QMetaMethod::fromSignal(&TscCustomButtonControl::OnPaintContent))) {
    emit OnPaintContent(this, &painter, content, state);
    return;
  }
  DrawImageAndText(painter, content, frame_width, StateImageIndex(state), text_color, state);
}

void TscGPButton::ButtonClick() {
  if (modal_setting_) {
    if (auto* form = qobject_cast<Form*>(window())) form->SetModalResult(modal_result_);
  }
  TscCustomButtonControl::ButtonClick();
}

void TscGPButton::ReleaseGroup() {
  if (GroupIndex() <= 0 || !parentWidget()) return;
  for (QObject* child : parentWidget()->children()) {
    auto* sibling = qobject_cast<TscGPButton*>(child);
    if (!sibling || sibling == this || sibling->GroupIndex() != GroupIndex() || !sibling->Down()) continue;
    sibling->SetDown(false);
  }
}

void TscGPButton::ScalePixelOptions(int m, int d) {
  TscCustomButtonControl::ScalePixelOptions(m, d);
  options_->Scale(m, d, ScaleFrameWidth());
}

void TscGPButton::KeepSquare() {
  if (options_->ShapeStyle() == TscGPButtonOptions::scgpRounded && width() != height()) SetWidth(height());
}

void TscGPButton::Loaded() {
  TscCustomButtonControl::Loaded();
  KeepSquare();
}

void TscGPButton::resizeEvent(QResizeEvent* event) {
  TscCustomButtonControl::resizeEvent(event);
  KeepSquare();
}

}  // namespace orvelle
