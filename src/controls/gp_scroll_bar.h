#pragma once

#include "controls/custom_control.h"
#include "controls/options.h"

#include <QObject>
#include <QPoint>
#include <QRect>

class QPainter;
class QTimer;

namespace orvelle {

// The look of the kit's custom-drawn scroll bars (an item list's, a graphic memo's): the track fill, the thumb colour
// with one alpha per thumb state, square or rounded thumb ends, the inset of the track, the
// bar's thickness and whether it lies beside the content or over it.
class TscGPControlScrollBarOptions : public TscOptions {
  Q_OBJECT
  Q_PROPERTY(orvelle::Color FillColor READ FillColor WRITE SetFillColor)
  Q_PROPERTY(int FillColorAlpha READ FillColorAlpha WRITE SetFillColorAlpha)
  Q_PROPERTY(orvelle::Color ThumbColor READ ThumbColor WRITE SetThumbColor)
  Q_PROPERTY(int ThumbColorAlpha READ ThumbColorAlpha WRITE SetThumbColorAlpha)
  Q_PROPERTY(int ThumbColorHotAlpha READ ThumbColorHotAlpha WRITE SetThumbColorHotAlpha)
  Q_PROPERTY(int ThumbColorPressedAlpha READ ThumbColorPressedAlpha WRITE SetThumbColorPressedAlpha)
  Q_PROPERTY(bool ThumbRounded READ ThumbRounded WRITE SetThumbRounded)
  Q_PROPERTY(int BorderWidth READ BorderWidth WRITE SetBorderWidth)
  Q_PROPERTY(int Size READ Size WRITE SetSize)
  Q_PROPERTY(orvelle::TscGPControlScrollBarOptions::TscGPScrollBarPosition Position READ Position WRITE SetPosition)

 public:
  enum TscGPScrollBarPosition { scgpsbDefault, scgpsbOverContent };
  Q_ENUM(TscGPScrollBarPosition)

  explicit TscGPControlScrollBarOptions(QObject* parent = nullptr) : TscOptions(parent) {}

  orvelle::Color FillColor() const { return fill_color_; }
  void SetFillColor(orvelle::Color value) { Store(fill_color_, value); }
  int FillColorAlpha() const { return fill_color_alpha_; }
  void SetFillColorAlpha(int value) { StoreAlpha(fill_color_alpha_, value); }
  orvelle::Color ThumbColor() const { return thumb_color_; }
  void SetThumbColor(orvelle::Color value) { Store(thumb_color_, value); }
  int ThumbColorAlpha() const { return thumb_color_alpha_; }
  void SetThumbColorAlpha(int value) { StoreAlpha(thumb_color_alpha_, value); }
  int ThumbColorHotAlpha() const { return thumb_color_hot_alpha_; }
  void SetThumbColorHotAlpha(int value) { StoreAlpha(thumb_color_hot_alpha_, value); }
  int ThumbColorPressedAlpha() const { return thumb_color_pressed_alpha_; }
  void SetThumbColorPressedAlpha(int value) { StoreAlpha(thumb_color_pressed_alpha_, value); }
  bool ThumbRounded() const { return thumb_rounded_; }
  void SetThumbRounded(bool value) { Store(thumb_rounded_, value); }
  int BorderWidth() const { return border_width_; }
  void SetBorderWidth(int value) {
    if (value >= 0) Store(border_width_, value);
  }
  int Size() const { return size_; }
  void SetSize(int value) {
    if (value > 0) Store(size_, value);
  }
  TscGPScrollBarPosition Position() const { return position_; }
  void SetPosition(TscGPScrollBarPosition value) { Store(position_, value); }

  // The thumb's alpha in a thumb state (normal, hot or pressed).
  int ThumbAlpha(TscsCtrlState state) const;
  // Scales the bar's thickness and the track's inset from M to D.
  void Scale(int m, int d);

 private:
  void StoreAlpha(int& field, int value) {
    if (value >= 0 && value <= 255) Store(field, value);
  }

  orvelle::Color fill_color_ = clBtnFace;
  int fill_color_alpha_ = 100;
  orvelle::Color thumb_color_ = clWindowText;
  int thumb_color_alpha_ = 50;
  int thumb_color_hot_alpha_ = 100;
  int thumb_color_pressed_alpha_ = 150;
  bool thumb_rounded_ = false;
  int border_width_ = 0;
  int size_ = 11;
  TscGPScrollBarPosition position_ = scgpsbDefault;
};

// A scroll bar that a control draws itself (it is no window), vertical or horizontal: a range
// Min...Max of which PageSize units are visible, a Position within Min...Max - PageSize + 1, and a
// thumb that shows the visible part. The bar exists only while Min < Max. Lengths and offsets run
// along the bar (down a vertical one, right along a horizontal one).
//
// Pointer rules (the owner passes its mouse events in its own coordinates):
// - a press on the thumb drags it; the thumb follows the pointer within the track and Position
//   follows the thumb; the release ends the drag;
// - a press on the track pages toward the pointer: the first page after kPagingDelay ms, then one
//   every kPagingInterval ms while the button is held and the pointer stays on the bar, and one
//   more on release; paging stops once the thumb reaches the pointer;
// - the thumb shows its hot alpha while the pointer is over it and its pressed alpha while dragged.
class TscGPControlScrollBar : public QObject {
  Q_OBJECT

 public:
  static constexpr int kPagingDelay = 500;
  static constexpr int kPagingInterval = 100;

  TscGPControlScrollBar(QObject* owner, TscGPControlScrollBarOptions* options,
                        Qt::Orientation orientation = Qt::Vertical);

  Qt::Orientation Orientation() const { return orientation_; }

  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  int PageSize() const { return page_size_; }
  // Stores Min, Max (not below Min) and PageSize (0 when Max - Min is smaller than it), and
  // limits Position to its range; a changed Position is reported.
  void SetParams(int min, int max, int pageSize);
  // Limits the value to Min...Max - PageSize + 1; a change is reported by PositionChanged.
  void SetPosition(int value);
  // The highest position: Max - PageSize + 1 (never below Min).
  int MaxPosition() const;
  bool Visible() const { return min_ < max_; }

  // The bar's rectangle in the owner's coordinates; the track and thumb follow from it.
  QRect Bounds() const { return bounds_; }
  void SetBounds(const QRect& bounds) { bounds_ = bounds; }
  // The track (the bounds shrunk by BorderWidth) and the thumb within it.
  QRect TrackRect() const;
  QRect ThumbRect() const;
  TscsCtrlState ThumbState() const { return thumb_state_; }
  bool Dragging() const { return dragging_; }
  bool Paging() const { return paging_; }
  const QTimer* PagingTimer() const { return paging_timer_; }

  // Draws the track and the thumb; themed passes the colours through the theme.
  void Draw(QPainter& painter, bool themed) const;

  // Pointer input in the owner's coordinates; each returns whether the bar took the event.
  bool MousePress(const QPoint& p);
  bool MouseMove(const QPoint& p);
  bool MouseRelease(const QPoint& p);
  // The pointer left the owner: the thumb shows its idle alpha (unless it is being dragged).
  void MouseLeave();
  // The owner can no longer see the press that started a drag or paging (it was hidden, say):
  // the drag or paging ends where it is, without the final page of a release, and the thumb
  // shows its idle alpha.
  void CancelPointerInput();

 signals:
  // Position changed (by a setter, a drag or a page); the owner scrolls.
  void PositionChanged();
  // The bar's look changed (thumb state); the owner repaints.
  void Invalidated();

 private:
  // A point's coordinate along the bar, and a rectangle's start, length and thickness.
  int Along(const QPoint& p) const { return orientation_ == Qt::Vertical ? p.y() : p.x(); }
  int StartOf(const QRect& r) const { return orientation_ == Qt::Vertical ? r.top() : r.left(); }
  int EndOf(const QRect& r) const { return orientation_ == Qt::Vertical ? r.bottom() : r.right(); }
  int LengthOf(const QRect& r) const { return orientation_ == Qt::Vertical ? r.height() : r.width(); }
  int ThicknessOf(const QRect& r) const { return orientation_ == Qt::Vertical ? r.width() : r.height(); }
  int ThumbLength(int trackLength) const;
  int ThumbOffset(int trackLength, int thumbLength) const;
  void SetThumbState(TscsCtrlState state);
  // Moves the thumb so that the press's grip lies at this coordinate along the bar.
  void DragTo(int along);
  // One page toward the pointer; false (and paging ends) when the thumb has reached it.
  bool PageTowardPointer();
  void PagingTick();
  void StopPaging();

  TscGPControlScrollBarOptions* options_;
  Qt::Orientation orientation_;
  int min_ = 0;
  int max_ = 0;
  int position_ = 0;
  int page_size_ = 0;
  QRect bounds_;
  TscsCtrlState thumb_state_ = scsNormal;
  bool dragging_ = false;
  int drag_grip_ = 0;  // the press's distance from the thumb's start
  bool paging_ = false;
  QPoint pointer_;     // where the pointer was last seen while paging
  QTimer* paging_timer_;
};

}  // namespace orvelle
