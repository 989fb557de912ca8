#pragma once

#include "controls/custom_control.h"
#include "controls/options.h"
#include "controls/value_range.h"
#include "toolkit/image_list.h"

#include <QPointer>
#include <QRect>

namespace orvelle {

// How a track bar's track or thumb is drawn: the theme's element, plain colour rectangles, or
// pictures of the control's image list.
class TscTrackBarStyle : public QObject {
  Q_OBJECT
 public:
  enum TscTrackStyleKind { sctsStyled, sctsColor, sctsCustomImage };
  Q_ENUM(TscTrackStyleKind)
};
using TscTrackStyleKind = TscTrackBarStyle::TscTrackStyleKind;

// The track of a track bar: its kind, thickness across the slider, the shortening at both ends,
// and its colours.
class TscTrackBarTrackOptions : public TscOptions {
  Q_OBJECT
  Q_PROPERTY(orvelle::TscTrackBarStyle::TscTrackStyleKind StyleKind READ StyleKind WRITE SetStyleKind)
  Q_PROPERTY(int Size READ Size WRITE SetSize)
  Q_PROPERTY(int Offset READ Offset WRITE SetOffset)
  Q_PROPERTY(orvelle::Color Color READ GetColor WRITE SetColor)
  Q_PROPERTY(orvelle::Color ProgressColor READ ProgressColor WRITE SetProgressColor)
  Q_PROPERTY(orvelle::Color FrameColor READ FrameColor WRITE SetFrameColor)
  Q_PROPERTY(int FrameWidth READ FrameWidth WRITE SetFrameWidth)
  Q_PROPERTY(bool StyleColors READ StyleColors WRITE SetStyleColors)
  Q_PROPERTY(int CustomImageIndex READ CustomImageIndex WRITE SetCustomImageIndex)
  Q_PROPERTY(int CustomImageProgressIndex READ CustomImageProgressIndex WRITE SetCustomImageProgressIndex)

 public:
  using TscOptions::TscOptions;

  TscTrackStyleKind StyleKind() const { return style_kind_; }
  void SetStyleKind(TscTrackStyleKind value) { Store(style_kind_, value); }
  // Thickness across the slider; 0 takes the whole inner height.
  int Size() const { return size_; }
  void SetSize(int value) { Store(size_, value); }
  // The track is shortened by this at both ends.
  int Offset() const { return offset_; }
  void SetOffset(int value) { Store(offset_, value); }
  orvelle::Color GetColor() const { return color_; }
  void SetColor(orvelle::Color value) { Store(color_, value); }
  orvelle::Color ProgressColor() const { return progress_color_; }
  void SetProgressColor(orvelle::Color value) { Store(progress_color_, value); }
  orvelle::Color FrameColor() const { return frame_color_; }
  void SetFrameColor(orvelle::Color value) { Store(frame_color_, value); }
  int FrameWidth() const { return frame_width_; }
  void SetFrameWidth(int value) { Store(frame_width_, value); }
  bool StyleColors() const override { return style_colors_; }
  void SetStyleColors(bool value) { Store(style_colors_, value); }
  int CustomImageIndex() const { return custom_image_index_; }
  void SetCustomImageIndex(int value) { Store(custom_image_index_, value); }
  int CustomImageProgressIndex() const { return custom_image_progress_index_; }
  void SetCustomImageProgressIndex(int value) { Store(custom_image_progress_index_, value); }

  // The colours as drawn (through the theme when StyleColors is on).
  QColor DrawnColor() const { return Resolve(color_); }
  QColor DrawnProgressColor() const { return Resolve(progress_color_); }
  QColor DrawnFrameColor() const { return Resolve(frame_color_); }


 private:
  TscTrackStyleKind style_kind_ = TscTrackBarStyle::sctsStyled;
  int size_ = 10;
  int offset_ = 5;
  orvelle::Color color_ = clBtnShadow;
  orvelle::Color progress_color_ = clHighlight;
  orvelle::Color frame_color_ = clNone;
  int frame_width_ = 1;
  bool style_colors_ = true;
  int custom_image_index_ = -1;
  int custom_image_progress_index_ = -1;
};

// The thumb of a track bar: its kind, size (automatic while Width x Height < 1), fill per state
// and pointer shape.
class TscTrackBarThumbOptions : public TscOptions {
  Q_OBJECT
  Q_PROPERTY(orvelle::TscTrackBarStyle::TscTrackStyleKind StyleKind READ StyleKind WRITE SetStyleKind)
  Q_PROPERTY(int Width READ Width WRITE SetWidth)
  Q_PROPERTY(int Height READ Height WRITE SetHeight)
  Q_PROPERTY(orvelle::Color NormalColor READ NormalColor WRITE SetNormalColor)
  Q_PROPERTY(orvelle::Color HotColor READ HotColor WRITE SetHotColor)
  Q_PROPERTY(orvelle::Color PressedColor READ PressedColor WRITE SetPressedColor)
  Q_PROPERTY(orvelle::Color DisabledColor READ DisabledColor WRITE SetDisabledColor)
  Q_PROPERTY(bool StyleColors READ StyleColors WRITE SetStyleColors)
  Q_PROPERTY(orvelle::TscTrackBarThumbOptions::TCursor Cursor READ Cursor WRITE SetCursor)
  Q_PROPERTY(bool UseCursor READ UseCursor WRITE SetUseCursor)
  Q_PROPERTY(int CustomImageNormalIndex READ CustomImageNormalIndex WRITE SetCustomImageNormalIndex)
  Q_PROPERTY(int CustomImageHotIndex READ CustomImageHotIndex WRITE SetCustomImageHotIndex)
  Q_PROPERTY(int CustomImagePressedIndex READ CustomImagePressedIndex WRITE SetCustomImagePressedIndex)
  Q_PROPERTY(int CustomImageDisabledIndex READ CustomImageDisabledIndex WRITE SetCustomImageDisabledIndex)

 public:
  // Pointer shapes a layout can name.
  enum TCursor { crDefault, crArrow, crHandPoint, crSizeWE, crSizeNS, crCross, crIBeam };
  Q_ENUM(TCursor)

  using TscOptions::TscOptions;

  TscTrackStyleKind StyleKind() const { return style_kind_; }
  void SetStyleKind(TscTrackStyleKind value) { Store(style_kind_, value); }
  int Width() const { return width_; }
  void SetWidth(int value) { Store(width_, value); }
  int Height() const { return height_; }
  void SetHeight(int value) { Store(height_, value); }
  orvelle::Color NormalColor() const { return normal_color_; }
  void SetNormalColor(orvelle::Color value) { Store(normal_color_, value); }
  orvelle::Color HotColor() const { return hot_color_; }
  void SetHotColor(orvelle::Color value) { Store(hot_color_, value); }
  orvelle::Color PressedColor() const { return pressed_color_; }
  void SetPressedColor(orvelle::Color value) { Store(pressed_color_, value); }
  orvelle::Color DisabledColor() const { return disabled_color_; }
  void SetDisabledColor(orvelle::Color value) { Store(disabled_color_, value); }
  bool StyleColors() const override { return style_colors_; }
  void SetStyleColors(bool value) { Store(style_colors_, value); }
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor value) { Store(cursor_, value); }
  bool UseCursor() const { return use_cursor_; }
  void SetUseCursor(bool value) { Store(use_cursor_, value); }
  int CustomImageNormalIndex() const { return custom_image_normal_index_; }
  void SetCustomImageNormalIndex(int value) { Store(custom_image_normal_index_, value); }
  int CustomImageHotIndex() const { return custom_image_hot_index_; }
  void SetCustomImageHotIndex(int value) { Store(custom_image_hot_index_, value); }
  int CustomImagePressedIndex() const { return custom_image_pressed_index_; }
  void SetCustomImagePressedIndex(int value) { Store(custom_image_pressed_index_, value); }
  int CustomImageDisabledIndex() const { return custom_image_disabled_index_; }
  void SetCustomImageDisabledIndex(int value) { Store(custom_image_disabled_index_, value); }

  // The fill of the thumb in a state (hot: pointer over the thumb; pressed: dragging).
  orvelle::Color StateColor(TscsCtrlState state) const;
  QColor DrawnStateColor(TscsCtrlState state) const { return Resolve(StateColor(state)); }
  int StateImageIndex(TscsCtrlState state) const;
  Qt::CursorShape CursorShape() const;

 private:
  TscTrackStyleKind style_kind_ = TscTrackBarStyle::sctsStyled;
  int width_ = 0;
  int height_ = 0;
  orvelle::Color normal_color_ = clHighlight;
  orvelle::Color hot_color_ = clHighlight;
  orvelle::Color pressed_color_ = clHighlight;
  orvelle::Color disabled_color_ = clGray;
  bool style_colors_ = true;
  TCursor cursor_ = crDefault;
  bool use_cursor_ = false;
  int custom_image_normal_index_ = -1;
  int custom_image_hot_index_ = -1;
  int custom_image_pressed_index_ = -1;
  int custom_image_disabled_index_ = -1;
};

// The kit's slider: a track with a filled part up to a rectangular thumb that the user drags, or
// moves one step at a time with the arrow keys and the wheel, a page (kPageStep) with Page Up and
// Page Down, and to its ends with Home and End.
//
// OnChange follows every change of Value made through its setter (code, drag, keys, wheel, jump
// click); OnLastChange ends a drag and follows every key and wheel step, moved or not. Range
// setters pull Value into the new range silently.
class TscCustomTrackBar : public TscCustomControl {
  Q_OBJECT
  Q_PROPERTY(int MinValue READ MinValue WRITE SetMinValue)
  Q_PROPERTY(int MaxValue READ MaxValue WRITE SetMaxValue)
  Q_PROPERTY(int Value READ Value WRITE SetValue)
  Q_PROPERTY(bool Vertical READ Vertical WRITE SetVertical)
  Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
  Q_PROPERTY(bool MouseSupport READ MouseSupport WRITE SetMouseSupport)
  Q_PROPERTY(bool JumpWhenClick READ JumpWhenClick WRITE SetJumpWhenClick)
  Q_PROPERTY(bool CanFocused READ CanFocused WRITE SetCanFocused)
  Q_PROPERTY(bool ShowFocusRect READ ShowFocusRect WRITE SetShowFocusRect)
  Q_PROPERTY(orvelle::TscTrackBarTrackOptions* TrackOptions READ TrackOptions)
  Q_PROPERTY(orvelle::TscTrackBarThumbOptions* ThumbOptions READ ThumbOptions)

 public:
  // How far Page Up and Page Down move the value.
  static constexpr int kPageStep = 10;

  // Where the parts lie for the current size, options and value.
  struct Layout {
    QRect track;     // TrackR
    QRect thumb;     // ThumbR
    QRect progress;  // the track up to the thumb's centre
    int offset1 = 0;  // first and last thumb-centre positions along the track
    int offset2 = 0;
    int thumb_offset = 0;  // BOffset, from offset1
    QSize thumb_size;      // along x across, before any narrowing
  };

  explicit TscCustomTrackBar(QWidget* parent = nullptr);

  int MinValue() const { return range_.Minimum(); }
  void SetMinValue(int value);
  int MaxValue() const { return range_.Maximum(); }
  void SetMaxValue(int value);
  int Value() const { return range_.Value(); }
  // Clamps to the range; a different result is stored, repainted, and announced by OnChange.
  void SetValue(int value);
  bool Vertical() const { return vertical_; }
  void SetVertical(bool value);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool value) { read_only_ = value; }
  bool MouseSupport() const { return mouse_support_; }
  void SetMouseSupport(bool value) { mouse_support_ = value; }
  bool JumpWhenClick() const { return jump_when_click_; }
  void SetJumpWhenClick(bool value) { jump_when_click_ = value; }
  using Control::CanFocused;
  using Control::SetCanFocused;
  bool ShowFocusRect() const { return show_focus_rect_; }
  void SetShowFocusRect(bool value);
  TscTrackBarTrackOptions* TrackOptions() const { return track_options_; }
  TscTrackBarThumbOptions* ThumbOptions() const { return thumb_options_; }

  Layout ComputeLayout() const;
  // The value for a thumb offset d from the first thumb position (dragging, jump clicks).
  int ValueFromOffset(int d) const;
  bool Dragging() const { return down_; }
  bool MouseOverThumb() const { return mouse_over_; }

 signals:
  void OnChange(QObject* sender);
  void OnLastChange(QObject* sender);
  void OnStartDragButton(QObject* sender);

 protected:
  // The images of the custom-image styles; none here.
  virtual ImageList* TrackImages() const { return nullptr; }
  // Raises OnChange.
  virtual void Change();

  void DrawControl(QPainter& painter, TscsCtrlState state) override;
  // What lies under the track: nothing over the parent's pixels, or the control's colour when it
  // is opaque.
  virtual void DrawBackground(QPainter& painter);
  // The track's thickness and the thumb's size.
  void ScalePixelOptions(int m, int d) override;
  QAccessible::Role AccessibleRole() const override { return QAccessible::Slider; }
  std::optional<KitAccessibleValue> AccessibleValue() const override {
    return KitAccessibleValue{double(Value()), double(MinValue()), double(MaxValue())};
  }
  // Assistive technology sets the value as the keyboard does, unless the bar is read-only.
  bool AccessibleValueSettable() const override { return !ReadOnly(); }
  void SetAccessibleValue(double value) override { SetValue(qRound(value)); }

  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  // Positions along the track and across it, whichever way the slider lies: the vertical slider
  // is laid out as a horizontal one whose along axis runs from the bottom edge upward.
  int AlongLength() const { return vertical_ ? height() : width(); }
  int CrossLength() const { return vertical_ ? width() : height(); }
  int Along(const QPointF& p) const { return vertical_ ? height() - static_cast<int>(p.y()) : static_cast<int>(p.x()); }
  QRect ToControl(const QRect& along_rect) const;
  QSize ThumbSize() const;
  TscsCtrlState ThumbState() const;
  void DrawTrack(QPainter& painter, const Layout& layout);
  void DrawThumb(QPainter& painter, const Layout& layout);
  void DrawFocusRect(QPainter& painter);
  void DrawImage(QPainter& painter, int index, const QRect& target);
  void PressThumb(const QPointF& position, Qt::MouseButton button);
  void SetMouseOverThumb(bool over);
  // A key or wheel step: the value moves by `delta` (or to `value`) through the setter, then
  // OnLastChange, also when it stood still.
  void Step(int delta);
  void StepTo(int value);
  QColor ResolveOwn(orvelle::Color color) const;

  ValueRange range_{0, 100, 50};
  bool vertical_ = false;
  bool read_only_ = false;
  bool mouse_support_ = true;
  bool jump_when_click_ = false;
  bool show_focus_rect_ = true;
  TscTrackBarTrackOptions* track_options_;
  TscTrackBarThumbOptions* thumb_options_;

  bool down_ = false;
  bool mouse_over_ = false;
  int drag_start_ = 0;         // OMPos, along the track
  int drag_start_offset_ = 0;  // OldBOffset
  bool cursor_set_ = false;
};

// The track bar that layouts name: publishes the custom images of the image styles.
class TscTrackBar : public TscCustomTrackBar {
  Q_OBJECT
  Q_PROPERTY(orvelle::ImageList* CustomImages READ CustomImages WRITE SetCustomImages)
  Q_PROPERTY(int CustomBackgroundImageIndex READ CustomBackgroundImageIndex WRITE SetCustomBackgroundImageIndex)

 public:
  explicit TscTrackBar(QWidget* parent = nullptr) : TscCustomTrackBar(parent) {}

  ImageList* CustomImages() const { return custom_images_; }
  void SetCustomImages(ImageList* images);
  int CustomBackgroundImageIndex() const { return custom_background_image_index_; }
  void SetCustomBackgroundImageIndex(int index);

 protected:
  ImageList* TrackImages() const override { return custom_images_; }
  // The background, then the custom background image over it.
  void DrawBackground(QPainter& painter) override;

 private:
  QPointer<ImageList> custom_images_;
  int custom_background_image_index_ = -1;
};

}  // namespace orvelle
