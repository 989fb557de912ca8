#pragma once

#include "controls/drawing.h"
#include "toolkit/control.h"

#include <QAccessible>
#include <QEvent>
#include <QKeyEvent>
#include <QString>

#include <cstdint>
#include <optional>

class QPainter;

namespace orvelle {

// A control's value for assistive technology: the value within its range.
struct KitAccessibleValue {
  double value;
  double minimum;
  double maximum;
};

// The root of the styled control kit: a control that paints its whole face in DrawControl.
//
// Qt's backing store is the kit's off-screen bitmap, and Qt's compositing of a widget that does
// not fill its background is the copy of the parent's pixels: a control with a transparent
// background simply paints nothing behind its shapes, and what its parent (and anything below)
// shows appears at its anti-aliased edges. CaptureParentBackground therefore asks Qt to compose
// the control again; the parent's pixels are always current when DrawControl runs.
//
// How to write a kit control on this base: src/controls/README.md.
class TscCustomControl : public Control {
  Q_OBJECT
  Q_PROPERTY(orvelle::TscCustomControl::TStyleElements StyleElements READ StyleElements WRITE SetStyleElements)
  Q_PROPERTY(bool TransparentBackground READ TransparentBackground WRITE SetTransparentBackground)
  Q_PROPERTY(bool StorePaintBuffer READ StorePaintBuffer WRITE SetStorePaintBuffer)

 public:
  enum TStyleElement { seFont = 1, seClient = 2, seBorder = 4 };
  Q_DECLARE_FLAGS(TStyleElements, TStyleElement)
  Q_FLAG(TStyleElements)

  explicit TscCustomControl(QWidget* parent = nullptr);

  TStyleElements StyleElements() const { return style_elements_; }
  void SetStyleElements(TStyleElements elements);
  bool TransparentBackground() const { return transparent_background_; }
  // Like every setter: stores a different value and repaints at once; the children are told
  // that the background behind them changed.
  void SetTransparentBackground(bool value);
  bool StorePaintBuffer() const { return store_paint_buffer_; }
  void SetStorePaintBuffer(bool value) { store_paint_buffer_ = value; }
  // The name assistive technology announces is Control's AccessibleName; when empty, the
  // control's caption without its access-key markers.

  // A control that switches something on and off (playing, muting) tells assistive technology
  // whether it is on: from the first call it is checkable, and checked while on; a change is
  // announced as a state change.
  void SetAccessibleChecked(bool checked);
  std::optional<bool> AccessibleChecked() const { return accessible_checked_; }
  // A control that opens and closes something (a panel) tells assistive technology whether it is
  // open: from the first call it is expandable, and expanded while open; a change is announced.
  void SetAccessibleExpanded(bool expanded);
  std::optional<bool> AccessibleExpanded() const { return accessible_expanded_; }

  // scsDisabled when the control is disabled, else scsNormal.
  virtual TscsCtrlState GetCtrlState() const;
  // Refreshes the copy of the parent's pixels behind a transparent control (see above).
  void CaptureParentBackground();
  // Repaints at once (synchronously), reusing the parent's pixels.
  void RePaintControl();

  // Accumulated scale in percent, and the factor (never below 1.0) that drawing multiplies its
  // built-in pixel sizes by (see Control::ChangeScale for which mechanism applies to what).
  int ScalePercent() const { return scale_percent_; }
  double ScaleFactor() const { return scale_factor_; }
  // Control::ChangeScale, then ScalePercent := MulDiv(ScalePercent, M, D), the factor follows,
  // and OnChangeScale fires when the factor changed. Kit controls override ScalePixelOptions.
  void ChangeScale(int m, int d) final;

  // Whether a theme colour applies to the given element of this control: the element is in
  // StyleElements and a custom theme is active. Pass it to ResolveColor as `themed`.
  bool UsesStyle(TStyleElement element) const;

 signals:
  void OnChangeScale(QObject* sender);
  // Keys reaching the control (it has the focus): OnKeyDown and OnKeyUp with the key code
  // (Qt::Key) and the modifiers, OnKeyPress after OnKeyDown with the character typed, if any. A
  // handler may change the key or character, which the control then handles instead; 0 (or
  // '\0') swallows it.
  void OnKeyDown(QObject* sender, int* key, Qt::KeyboardModifiers shift);
  void OnKeyPress(QObject* sender, QChar* key);
  void OnKeyUp(QObject* sender, int* key, Qt::KeyboardModifiers shift);

 protected:
  // Draws the control's own content on its painter (the parent's pixels are already there for a
  // transparent control); empty in the root class.
  virtual void DrawControl(QPainter& painter, TscsCtrlState state);
  // The background of an opaque face: fills the control with its Color (through the theme when
  // seClient applies); draws nothing for a transparent control. DrawControl calls it first.
  void DrawOpaqueBackground(QPainter& painter);

  // The setter rule of the kit: a different value is stored and the control repaints at once
  // (RePaintControl); an equal value does nothing. Returns whether the value changed, for a
  // setter that has more to do on a change (a label resizing to its caption).
  template <class T>
  bool StoreAndRepaint(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    RePaintControl();
    return true;
  }

  // Colour and font changes repaint at once, like every other setter.
  void ColorChanged() override { RePaintControl(); }
  void FontChanged() override { RePaintControl(); }
  // Paints the face for the given state: DrawControl inside the client rectangle when
  // DrawInClientRect, else on the whole control. Never throws: an error of DrawControl ends the
  // drawing where it happened and is logged.
  void PaintFace(QPainter& painter, TscsCtrlState state);

  // What assistive technology is told (see TscAccessible): the role; the raw caption (the name is
  // AccessibleName when set, else this caption, with its "&" access-key markers resolved unless
  // the control shows its caption literally, see SetLiteralCaption); the value within its range,
  // for controls that have one; a value as text (a drop-down's current item). Defaults: a client
  // area, no caption, no value.
  virtual QAccessible::Role AccessibleRole() const { return QAccessible::Client; }
  virtual QString AccessibleCaption() const { return {}; }
  virtual std::optional<KitAccessibleValue> AccessibleValue() const { return std::nullopt; }
  virtual QString AccessibleValueText() const { return {}; }
  // Whether the caption is shown as written, "&" included ("R&D" announced as "R&D"), instead of
  // with access-key markers (the default: "&Next" announced as "Next").
  bool LiteralCaption() const { return literal_caption_; }
  void SetLiteralCaption(bool value) { literal_caption_ = value; }
  // Whether assistive technology can press the control, and the press (a click as the keyboard
  // gives it: the focus stays where it is).
  virtual bool AccessiblePressable() const { return false; }
  virtual void AccessiblePress() {}
  // Sets the value assistive technology asks for (only controls whose value the user sets); the
  // control clamps it as its own setter does.
  virtual bool AccessibleValueSettable() const { return false; }
  virtual void SetAccessibleValue(double) {}
  // Announces a change of the name or of the value to assistive technology.
  void NotifyAccessibleNameChanged();
  void NotifyAccessibleValueChanged();

  // Size the painted face to the client rectangle (inside the contents margins) instead of the
  // whole control.
  bool DrawInClientRect() const { return draw_in_client_rect_; }
  void SetDrawInClientRect(bool value) { draw_in_client_rect_ = value; }

  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  friend class TscAccessible;

  // Re-captures, repaints and tells the children, after a move or a background change.
  void BackgroundMoved();
  // Raises OnKeyDown/OnKeyPress or OnKeyUp for a key event and hands the key on as the handlers
  // left it; true when the event was handled here (swallowed or handed on changed).
  bool RaiseKeyEvents(QKeyEvent& event);

  TStyleElements style_elements_ = TStyleElements(seFont | seClient | seBorder);
  bool transparent_background_ = true;
  bool from_wm_paint_ = false;  // Qt's paint handler is running
  bool store_paint_buffer_ = false;
  bool draw_in_client_rect_ = false;
  bool literal_caption_ = false;
  int scale_percent_ = 100;
  double scale_factor_ = 1.0;
  std::optional<bool> accessible_checked_;
  std::optional<bool> accessible_expanded_;
};

}  // namespace orvelle

Q_DECLARE_OPERATORS_FOR_FLAGS(orvelle::TscCustomControl::TStyleElements)
