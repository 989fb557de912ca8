#pragma once

#include "controls/active_control.h"
#include "controls/glow_effect.h"
#include "controls/gp_state_options.h"
#include "toolkit/image_list.h"

#include <QMenu>
#include <QPointer>
#include <QString>

class QTimer;

namespace orvelle {

// The glow of a button's image and caption: the label glow plus the states that show it.
class TscButtonGlowEffect : public TscGlowEffect {
  Q_OBJECT
  Q_PROPERTY(orvelle::TscButtonGlowEffect::TscsCtrlStates States READ States WRITE SetStates)

 public:
  // One flag per TscsCtrlState, bit (1 << state).
  enum TscsCtrlStateFlag { scsfNormal = 1 << scsNormal, scsfHot = 1 << scsHot, scsfPressed = 1 << scsPressed,
                           scsfFocused = 1 << scsFocused, scsfDisabled = 1 << scsDisabled };
  Q_DECLARE_FLAGS(TscsCtrlStates, TscsCtrlStateFlag)
  Q_FLAG(TscsCtrlStates)

  explicit TscButtonGlowEffect(QObject* parent = nullptr) : TscGlowEffect(parent) {}

  TscsCtrlStates States() const { return states_; }
  void SetStates(TscsCtrlStates value) { Store(states_, value); }
  bool Shows(TscsCtrlState state) const { return Enabled() && states_.testFlag(TscsCtrlStateFlag(1 << state)); }

 private:
  TscsCtrlStates states_ = TscsCtrlStates(scsfHot | scsfPressed | scsfFocused);
};

// The graphic button's option set: the per-state colours and the shape style.
class TscGPButtonOptions : public TscGPStateOptions {
  Q_OBJECT
  Q_PROPERTY(orvelle::TscGPButtonOptions::TscGPButtonShapeStyle ShapeStyle READ ShapeStyle WRITE SetShapeStyle)

 public:
  enum TscGPButtonShapeStyle { scgpRect, scgpRoundedRect, scgpRoundedLeftRight, scgpSegmentedLeft,
                               scgpSegmentedLeftRounded, scgpSegmentedRight, scgpSegmentedRightRounded,
                               scgpSegmentedMiddle, scgpTabLeft, scgpTabLeftRounded, scgpTabRight,
                               scgpTabRightRounded, scgpTabTop, scgpTabBottom, scgpEllipse, scgpRounded };
  Q_ENUM(TscGPButtonShapeStyle)

  explicit TscGPButtonOptions(QObject* parent = nullptr) : TscGPStateOptions(parent) {}

  TscGPButtonShapeStyle ShapeStyle() const { return shape_style_; }
  void SetShapeStyle(TscGPButtonShapeStyle value) { Store(shape_style_, value); }

 private:
  TscGPButtonShapeStyle shape_style_ = scgpRect;
};

// The press and click rules of the kit's buttons, their image and caption fields and layout, the
// repeat-click timer, the group (Down, GroupIndex, AllowAllUp) and the drop-down menu.
//
// Clicks come only from these rules, never from the toolkit's generic click path:
// - left button: a press takes the focus (when CanFocused), raises OnMouseDown and shows the
//   pressed look; moving out and back while held shows the normal and the pressed look; the
//   release raises OnMouseUp, repaints hot, and then clicks when the pointer is still inside.
//   The second press of a double click counts as a press. Other buttons only raise the events.
// - keys, only while focused and CanFocused: Space shows the pressed look while held and clicks
//   once on release; Enter clicks at once and again on every auto-repeated key-down.
// - the caption's access key ("&x") takes the focus (when CanFocused) and clicks.
// - RepeatClick: while held, a first repeated click after kRepeatDelay ms, then one every
//   RepeatClickInterval ms; leaving the control stops it, coming back restarts it.
// - Default and Cancel: Enter and Escape left unhandled by the focused control of the window.
// - GroupIndex > 0: a left press sets Down (which releases the other buttons of the group and
//   clicks); with AllowAllUp, pressing a button that is already down releases it on mouse-up and
//   clicks.
class TscCustomButtonControl : public TscCustomActiveControl {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(bool ShowCaption READ ShowCaption WRITE SetShowCaption)
  Q_PROPERTY(orvelle::ImageList* Images READ Images WRITE SetImages)
  Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
  Q_PROPERTY(orvelle::TscCustomButtonControl::TButtonLayout Layout READ Layout WRITE SetLayout)
  Q_PROPERTY(int Margin READ Margin WRITE SetMargin)
  Q_PROPERTY(int Spacing READ Spacing WRITE SetSpacing)
  Q_PROPERTY(int ImageMargin READ ImageMargin WRITE SetImageMargin)
  Q_PROPERTY(bool CanFocused READ CanFocused WRITE SetCanFocused)
  Q_PROPERTY(bool ShowFocusRect READ ShowFocusRect WRITE SetShowFocusRect)
  Q_PROPERTY(bool RepeatClick READ RepeatClick WRITE SetRepeatClick)
  Q_PROPERTY(int RepeatClickInterval READ RepeatClickInterval WRITE SetRepeatClickInterval)
  Q_PROPERTY(orvelle::TscButtonGlowEffect* GlowEffect READ GlowEffect)
  Q_PROPERTY(bool ImageGlow READ ImageGlow WRITE SetImageGlow)
  Q_PROPERTY(int GroupIndex READ GroupIndex WRITE SetGroupIndex)
  Q_PROPERTY(bool AllowAllUp READ AllowAllUp WRITE SetAllowAllUp)
  Q_PROPERTY(bool Down READ Down WRITE SetDown)
  Q_PROPERTY(bool Default READ Default WRITE SetDefault)
  Q_PROPERTY(bool Cancel READ Cancel WRITE SetCancel)
  Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
  Q_PROPERTY(bool ScaleFrameWidth READ ScaleFrameWidth WRITE SetScaleFrameWidth)
  Q_PROPERTY(bool ScaleMarginAndSpacing READ ScaleMarginAndSpacing WRITE SetScaleMarginAndSpacing)
  Q_PROPERTY(int WidthWithCaption READ WidthWithCaption WRITE SetWidthWithCaption)
  Q_PROPERTY(int WidthWithoutCaption READ WidthWithoutCaption WRITE SetWidthWithoutCaption)
  Q_PROPERTY(QMenu* DropDownMenu READ DropDownMenu WRITE SetDropDownMenu)
  Q_PROPERTY(QMenu* GalleryMenu READ GalleryMenu WRITE SetGalleryMenu)
  Q_PROPERTY(bool CustomDropDown READ CustomDropDown WRITE SetCustomDropDown)
  Q_PROPERTY(bool ShowMenuArrow READ ShowMenuArrow WRITE SetShowMenuArrow)
  Q_PROPERTY(orvelle::TscCustomButtonControl::TscArrowPosition ArrowPosition READ ArrowPosition WRITE SetArrowPosition)

 public:
  enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
  Q_ENUM(TButtonLayout)
  enum TscArrowPosition { scapRight, scapBottom };
  Q_ENUM(TscArrowPosition)

  static constexpr int kRepeatDelay = 500;

  explicit TscCustomButtonControl(QWidget* parent = nullptr);

  QString Caption() const { return caption_; }
  void SetCaption(const QString& value);
  bool ShowCaption() const { return show_caption_; }
  // Also switches the width to WidthWithCaption or WidthWithoutCaption when that value is > 0.
  void SetShowCaption(bool value);
  // The image list (none once it is destroyed); the button repaints when the list changes.
  ImageList* Images() const { return images_; }
  void SetImages(ImageList* value);
  int ImageIndex() const { return image_index_; }
  // Stores a different index and repaints at once; an equal one does nothing.
  void SetImageIndex(int value);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout value);
  // -1 centres the image-and-caption group; otherwise the distance from the content's edge.
  int Margin() const { return margin_; }
  void SetMargin(int value);
  int Spacing() const { return spacing_; }
  void SetSpacing(int value);
  int ImageMargin() const { return image_margin_; }
  void SetImageMargin(int value);
  using Control::CanFocused;
  // Also sets TabStop; without it the button never takes the focus and ignores keys.
  void SetCanFocused(bool value);
  // Kept for layouts; the graphic button never draws a focus rectangle.
  bool ShowFocusRect() const { return show_focus_rect_; }
  void SetShowFocusRect(bool value) { show_focus_rect_ = value; }
  bool RepeatClick() const { return repeat_click_; }
  void SetRepeatClick(bool value) { repeat_click_ = value; }
  int RepeatClickInterval() const { return repeat_click_interval_; }
  // Values below 1 ms are ignored.
  void SetRepeatClickInterval(int value);
  TscButtonGlowEffect* GlowEffect() const { return glow_effect_; }
  bool ImageGlow() const { return image_glow_; }
  void SetImageGlow(bool value);
  int GroupIndex() const { return group_index_; }
  void SetGroupIndex(int value);
  bool AllowAllUp() const { return allow_all_up_; }
  void SetAllowAllUp(bool value) { allow_all_up_ = value; }
  bool Down() const { return down_; }
  // Down shows the pressed look. Setting it releases the other buttons of the group and clicks.
  void SetDown(bool value);
  // A Default button clicks on Enter and a Cancel button on Escape (without Shift, Ctrl or Alt)
  // when the control with the focus in its window leaves the key unhandled. The default button is
  // active, and draws hot, while the focus is on itself or on any control that is not a kit
  // button.
  bool Default() const { return default_; }
  void SetDefault(bool value);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool value);
  bool ActiveDefault() const;
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool value);
  bool ScaleFrameWidth() const { return scale_frame_width_; }
  void SetScaleFrameWidth(bool value) { scale_frame_width_ = value; }
  bool ScaleMarginAndSpacing() const { return scale_margin_and_spacing_; }
  void SetScaleMarginAndSpacing(bool value) { scale_margin_and_spacing_ = value; }
  int WidthWithCaption() const { return width_with_caption_; }
  void SetWidthWithCaption(int value) { width_with_caption_ = value; }
  int WidthWithoutCaption() const { return width_without_caption_; }
  void SetWidthWithoutCaption(int value) { width_without_caption_ = value; }
  QMenu* DropDownMenu() const { return drop_down_menu_; }
  void SetDropDownMenu(QMenu* value);
  // A second menu opened the same way when there is no DropDownMenu. The toolkit has one kind of
  // pop-up menu, so a gallery is an ordinary menu here (its actions may carry icons).
  QMenu* GalleryMenu() const { return gallery_menu_; }
  void SetGalleryMenu(QMenu* value);
  bool CustomDropDown() const { return custom_drop_down_; }
  void SetCustomDropDown(bool value);
  bool ShowMenuArrow() const { return show_menu_arrow_; }
  void SetShowMenuArrow(bool value);
  TscArrowPosition ArrowPosition() const { return arrow_position_; }
  void SetArrowPosition(TscArrowPosition value);

  // First match wins: Down -> pressed; disabled; a menu open -> hot; pressed by the pointer
  // inside or by Space -> pressed; pointer over it -> hot; focused (CanFocused) -> focused;
  // else normal.
  TscsCtrlState GetCtrlState() const override;

  // Whether the left button went down on the control and has not been released, and whether
  // Space is held on it.
  bool Pressed() const { return pressed_; }
  bool SpaceDown() const { return space_down_; }
  bool MenuDroppedDown() const { return menu_dropped_down_; }

  // Runs the click: OnClick.
  virtual void ButtonClick();
  // The toolkit's generic click path does nothing here: clicks come only from the rules above.
  void Click() override {}

 signals:
  void OnDropDown(QObject* sender);
  void OnCloseUp(QObject* sender);
  void OnPaintContent(QObject* sender, QPainter* canvas, QRect rect, int state);

 protected:
  // Whether a drop-down (a menu, the gallery or a custom one) replaces the plain press.
  bool HasDropDown() const { return Menu() || custom_drop_down_; }
  // The menu a press or Up/Down opens: DropDownMenu, else GalleryMenu.
  QMenu* Menu() const { return drop_down_menu_ ? drop_down_menu_ : gallery_menu_; }
  // Clears Down on the other buttons of the same group; overrides choose which siblings count.
  virtual void ReleaseGroup() {}
  // The access key of the caption was typed.
  virtual void AccelClick();
  // The content rectangle: the client rectangle shrunk by the frame and 3 pixels, by half the
  // glow size when the glow is on, and by twice the drop-down arrow's size on its side.
  QRect ContentRect(int frameWidth, int arrowSize) const;
  // Draws the drop-down arrow (a triangle in an arrowSize box) when one is shown, in the text
  // colour at alpha 200.
  void DrawMenuArrow(QPainter& painter, int arrowSize, const QColor& textColor) const;
  // Draws image and caption in the content rectangle (with the glow when it shows in this state).
  void DrawImageAndText(QPainter& painter, const QRect& content, int frameWidth, int imageIndex,
                        const QColor& textColor, TscsCtrlState state) const;
  // The text the button shows: the caption, empty when ShowCaption is off.
  QString ShownCaption() const { return show_caption_ ? caption_ : QString(); }
  // The margin and spacing (when > 0, with ScaleMarginAndSpacing), the image margin and the two
  // widths (when > 0).
  void ScalePixelOptions(int m, int d) override;
  QAccessible::Role AccessibleRole() const override { return QAccessible::Button; }
  // The shown caption: a button without one is named by AccessibleName.
  QString AccessibleCaption() const override { return ShownCaption(); }
  // Assistive technology presses the button as Enter does.
  bool AccessiblePressable() const override { return true; }
  void AccessiblePress() override { FinishClick(); }

  void DoMouseEnter() override;
  void DoMouseLeave() override;
  bool CanAnimate() const override;

  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void LeftPressed(QMouseEvent* event);
  void OpenDropDown();
  void StartRepeat();
  void StopRepeat();
  void RepeatTick();
  // The click that ends a press (mouse-up inside, Space up, Enter): with a group it sets Down,
  // or with AllowAllUp releases a button that was already down; otherwise a plain ButtonClick.
  void FinishClick();
  void UpdateShortcut();
  // Watches the window's unhandled keys while Default or Cancel is set.
  void UpdateDialogKeys();

  QString caption_;
  bool show_caption_ = true;
  QPointer<ImageList> images_;
  int image_index_ = -1;
  TButtonLayout layout_ = blGlyphLeft;
  int margin_ = -1;
  int spacing_ = 1;
  int image_margin_ = 0;
  bool show_focus_rect_ = true;
  bool repeat_click_ = false;
  int repeat_click_interval_ = 100;
  TscButtonGlowEffect* glow_effect_;
  bool image_glow_ = true;
  int group_index_ = 0;
  bool allow_all_up_ = false;
  bool down_ = false;
  bool default_ = false;
  bool cancel_ = false;
  QPointer<QWidget> dialog_window_;  // the window whose keys are watched
  bool word_wrap_ = true;
  bool scale_frame_width_ = true;
  bool scale_margin_and_spacing_ = false;
  int width_with_caption_ = 0;
  int width_without_caption_ = 0;
  QPointer<QMenu> drop_down_menu_;
  QPointer<QMenu> gallery_menu_;
  bool custom_drop_down_ = false;
  bool show_menu_arrow_ = true;
  TscArrowPosition arrow_position_ = scapRight;

  bool pressed_ = false;
  bool space_down_ = false;
  bool release_down_on_up_ = false;  // a press on a group button that was already down (AllowAllUp)
  bool menu_dropped_down_ = false;
  int shortcut_id_ = 0;
  QTimer* repeat_timer_;
};

// The kit's graphic push button: an anti-aliased shape whose fill, frame and text colours follow
// the button's state (Options), with an image per state and an optional caption inside.
class TscGPButton : public TscCustomButtonControl {
  Q_OBJECT
  Q_PROPERTY(orvelle::TscGPButtonOptions* Options READ Options)
  Q_PROPERTY(int HotImageIndex READ HotImageIndex WRITE SetHotImageIndex)
  Q_PROPERTY(int PressedImageIndex READ PressedImageIndex WRITE SetPressedImageIndex)
  Q_PROPERTY(int FocusedImageIndex READ FocusedImageIndex WRITE SetFocusedImageIndex)
  Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult)
  Q_PROPERTY(bool ModalSetting READ ModalSetting WRITE SetModalSetting)

 public:
  Q_INVOKABLE explicit TscGPButton(QWidget* parent = nullptr);

  // With ModalSetting on, a click first gives the button's window this ModalResult (a
  // Form::TModalResult value), which closes a modal window with it, and then raises OnClick;
  // OnClick may still set the window's ModalResult back to mrNone to keep it open. Both only
  // store the value.
  int ModalResult() const { return modal_result_; }
  void SetModalResult(int value) { modal_result_ = value; }
  bool ModalSetting() const { return modal_setting_; }
  void SetModalSetting(bool value) { modal_setting_ = value; }
  void ButtonClick() override;

  TscGPButtonOptions* Options() const { return options_; }
  // These three only store the value; it shows at the next repaint, whatever causes it.
  int HotImageIndex() const { return hot_image_index_; }
  void SetHotImageIndex(int value) { hot_image_index_ = value; }
  int PressedImageIndex() const { return pressed_image_index_; }
  void SetPressedImageIndex(int value) { pressed_image_index_ = value; }
  int FocusedImageIndex() const { return focused_image_index_; }
  void SetFocusedImageIndex(int value) { focused_image_index_ = value; }

  // The image index drawn in a state: hot falls back to ImageIndex; pressed and focused fall back
  // to HotImageIndex, then ImageIndex.
  int StateImageIndex(TscsCtrlState state) const;

  // The frame and fill rectangles of the shape for the current options and a frame colour.
  QRectF FrameRect() const;
  QRectF FillRect(const QColor& frameColor) const;

 protected:
  void DrawControl(QPainter& painter, TscsCtrlState state) override;
  void ReleaseGroup() override;
  bool AnimateFocusedState() const override { return CanFocused(); }
  // Also the corner radius and the arrow size, and the frame width with ScaleFrameWidth.
  void ScalePixelOptions(int m, int d) override;
  void Loaded() override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The circle style keeps the button square: width follows height.
  void KeepSquare();

  TscGPButtonOptions* options_;
  int hot_image_index_ = -1;
  int pressed_image_index_ = -1;
  int focused_image_index_ = -1;
  int modal_result_ = 0;
  bool modal_setting_ = false;
};

// Draws a graphic button's shape of the given style over the client rectangle with the state's
// fill and frame from the option set. The drop-down list's face draws its rectangular shapes
// with it.
void DrawGPButtonShape(QPainter& painter, const TscGPStateOptions& options,
                       TscGPButtonOptions::TscGPButtonShapeStyle shape, const QRect& client, TscsCtrlState state);

}  // namespace orvelle

Q_DECLARE_OPERATORS_FOR_FLAGS(orvelle::TscButtonGlowEffect::TscsCtrlStates)
