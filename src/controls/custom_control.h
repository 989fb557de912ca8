#pragma once

#include "controls/drawing.h"
#include "toolkit/control.h"

#include <QEvent>

class QPainter;

namespace orvelle {

// Sent to a control's children when the background behind them changed; no parameters.
inline const QEvent::Type ParentBackgroundChanged = static_cast<QEvent::Type>(QEvent::User + 0x0504);

// The root of the styled control kit: a control that paints its whole face in DrawControl.
//
// Qt's backing store is the kit's off-screen bitmap, and Qt's compositing of a widget that does
// not fill its background is the copy of the parent's pixels: a control with a transparent
// background simply paints nothing behind its shapes, and what its parent (and anything below)
// shows appears at its anti-aliased edges. CaptureParentBackground therefore asks Qt to compose
// the control again; the parent's pixels are always current when DrawControl runs.
//
// A kit control is one class deriving from this (or TscCustomActiveControl, or TscPanel) that
// publishes its options as Q_PROPERTYs, overrides DrawControl (and GetCtrlState when it has more
// states), calls RePaintControl from its setters, and scales its pixel options in ChangeScale.
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
  bool TransparentBackground() const { return FTransparentBackground; }
  // Stores the flag; nothing else.
  virtual void SetTransparentBackground(bool value) { FTransparentBackground = value; }
  bool StorePaintBuffer() const { return FStorePaintBuffer; }
  void SetStorePaintBuffer(bool value) { FStorePaintBuffer = value; }

  // scsDisabled when the control is disabled, else scsNormal.
  virtual TscsCtrlState GetCtrlState() const;
  // Sends ParentBackgroundChanged to every visible child, in child order.
  virtual void NotifyChildrenBackground();
  // Refreshes the copy of the parent's pixels behind a transparent control (see above).
  void CaptureParentBackground();
  // Repaints at once (synchronously), reusing the parent's pixels.
  void RePaintControl();

  // Accumulated scale in percent, and the factor (never below 1.0) that pixel options use.
  int ScalePercent() const { return FScalePercent; }
  double ScaleFactor() const { return FScaleFactor; }
  // Scales from M to D pixels per inch: FScalePercent := MulDiv(FScalePercent, M, D), the factor
  // follows, and OnChangeScale fires when the factor changed. Overrides scale their own pixel
  // options with MulDiv(value, M, D) and call this.
  void ChangeScale(int m, int d) override;

  // Whether a theme colour applies to the given element of this control.
  bool UsesStyle(TStyleElement element) const;

 signals:
  void OnChangeScale(QObject* sender);

 protected:
  // Draws the control's own content on its painter (the parent's pixels are already there for a
  // transparent control); empty in the root class.
  virtual void DrawControl(QPainter& painter, TscsCtrlState state);
  // Paints the face for the given state: DrawControl inside the client rectangle when
  // FDrawInClientRect, else on the whole control. Never throws: an error of DrawControl ends the
  // drawing where it happened.
  void PaintFace(QPainter& painter, TscsCtrlState state);

  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

  bool FTransparentBackground = true;
  bool FStopEraseBackground = false;
  bool FForceDraw = false;
  bool FromWMPaint = false;
  bool FStorePaintBuffer = false;
  bool FDrawInClientRect = false;
  int FScalePercent = 100;
  double FScaleFactor = 1.0;

 private:
  TStyleElements style_elements_ = TStyleElements(seFont | seClient | seBorder);
};

}  // namespace orvelle

Q_DECLARE_OPERATORS_FOR_FLAGS(orvelle::TscCustomControl::TStyleElements)
