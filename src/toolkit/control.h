#pragma once

#include "toolkit/color.h"
#include "toolkit/font.h"

#include <QEvent>
#include <QList>
#include <QWidget>

namespace orvelle {

// Sent to a control's child widgets when the background behind them changed (the parent's colour,
// its own see-through setting, its style); no parameters.
inline const QEvent::Type ParentBackgroundChanged = static_cast<QEvent::Type>(QEvent::User + 0x0504);

// Components that a layout builds are told when loading starts and when the whole tree is
// built, their properties written and their references resolved (before any handler is bound).
class Loadable {
 public:
  virtual ~Loadable() = default;
  bool Loading() const { return loading_; }
  void BeginLoad() { loading_ = true; }
  void EndLoad() {
    loading_ = false;
    Loaded();
  }

 protected:
  virtual void Loaded() {}

 private:
  bool loading_ = false;
};

// The base of every visible control of the toolkit and the kit: the positional properties a
// layout writes (bounds, visibility, alignment in the parent, anchors, tab order), the font and
// colour, the generic mouse events, and scaling.
//
// Events are Qt signals named after the event ("OnClick"); their first parameter is the sender.
// A layout binds them to handlers of its window by name.
class Control : public QWidget, public Loadable {
  Q_OBJECT
  Q_PROPERTY(int Left READ Left WRITE SetLeft)
  Q_PROPERTY(int Top READ Top WRITE SetTop)
  Q_PROPERTY(int Width READ Width WRITE SetWidth)
  Q_PROPERTY(int Height READ Height WRITE SetHeight)
  Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_PROPERTY(orvelle::Control::TAlign Align READ Align WRITE SetAlign)
  Q_PROPERTY(orvelle::Control::TAnchors Anchors READ Anchors WRITE SetAnchors)
  Q_PROPERTY(int TabOrder READ TabOrder WRITE SetTabOrder)
  Q_PROPERTY(bool TabStop READ TabStop WRITE SetTabStop)
  Q_PROPERTY(orvelle::Font* Font READ GetFont)
  Q_PROPERTY(bool ParentFont READ ParentFont WRITE SetParentFont)
  Q_PROPERTY(orvelle::Color Color READ GetColor WRITE SetColor)
  Q_PROPERTY(QString AccessibleName READ AccessibleName WRITE SetAccessibleName)
  Q_PROPERTY(QString AccessibleDescription READ AccessibleDescription WRITE SetAccessibleDescription)

 public:
  enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
  Q_ENUM(TAlign)
  enum TAnchorKind { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
  Q_DECLARE_FLAGS(TAnchors, TAnchorKind)
  Q_FLAG(TAnchors)

  explicit Control(QWidget* parent = nullptr);

  int Left() const { return x(); }
  void SetLeft(int value) { SetBounds(value, Top(), Width(), Height()); }
  int Top() const { return y(); }
  void SetTop(int value) { SetBounds(Left(), value, Width(), Height()); }
  int Width() const { return width(); }
  void SetWidth(int value) { SetBounds(Left(), Top(), value, Height()); }
  int Height() const { return height(); }
  void SetHeight(int value) { SetBounds(Left(), Top(), Width(), value); }
  // Moves and sizes the control (negative sizes count as 0), remembers its distances to the
  // parent's edges for its anchors, and realigns its own aligned children.
  virtual void SetBounds(int left, int top, int width, int height);

  // The control's own visibility flag (a child not hidden shows with its parent).
  bool Visible() const;
  void SetVisible(bool visible);
  // The control's own enabled flag.
  bool Enabled() const;
  void SetEnabled(bool enabled);

  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors anchors);
  // Lays out the aligned children (top, bottom, left, right, then client, each in child order)
  // and moves the anchored ones after a size change.
  void Realign();

  int TabOrder() const { return tab_order_; }
  void SetTabOrder(int order) { tab_order_ = order; }
  bool TabStop() const { return tab_stop_; }
  // Whether Tab reaches the control (a press focuses it too, unless it uses the left-press rule
  // below).
  void SetTabStop(bool value);

  orvelle::Font* GetFont() const { return font_; }
  bool ParentFont() const { return parent_font_; }
  void SetParentFont(bool value);
  orvelle::Color GetColor() const { return color_; }
  // A different colour runs ColorChanged, then tells the children that their background changed.
  void SetColor(orvelle::Color color);
  // Sends ParentBackgroundChanged to every visible child widget, in child order.
  virtual void NotifyChildrenBackground();

  // Rescales the control from M to D pixels per inch: nothing when M equals D or D is 0;
  // otherwise the bounds and the font height by MulDiv, then ScalePixelOptions, then the child
  // controls. Two mechanisms, each for its own kind of size:
  //  - a pixel size the control stores (bounds, font height, a published option such as a
  //    border width or a picture size) is rescaled here, once, with MulDiv(value, M, D) — in
  //    ScalePixelOptions for a control's own options;
  //  - a size built into the drawing code (a constant inset or line width of the kit) is
  //    multiplied at drawing time by the kit control's ScaleFactor.
  // Subclasses override ScalePixelOptions, never this.
  virtual void ChangeScale(int m, int d);

  // What assistive technology announces for the control, in the window's language: its name
  // (an icon-only button is named only by it) and a description of what it is for. A layout sets
  // them; a control whose focus goes to an inner widget passes them on to it.
  virtual QString AccessibleName() const { return accessibleName(); }
  virtual void SetAccessibleName(const QString& name) { setAccessibleName(name); }
  virtual QString AccessibleDescription() const { return accessibleDescription(); }
  virtual void SetAccessibleDescription(const QString& text) { setAccessibleDescription(text); }

  // Whether a click that the pointer gives (a left button released over a control) is being
  // delivered right now. Handlers that drop the focus after a pointer click ask it, so that a click
  // from the keyboard, assistive technology or a remote command leaves the focus where it is.
  static bool PointerClickRunning();

  // Runs the click event; called for a left press and release inside the control.
  virtual void Click();
  virtual void DblClick();

  // Direct child controls in child order.
  QList<Control*> ChildControls() const;

 signals:
  void OnClick(QObject* sender);
  void OnDblClick(QObject* sender);
  void OnMouseEnter(QObject* sender);
  void OnMouseLeave(QObject* sender);
  void OnMouseDown(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
  void OnMouseUp(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
  void OnMouseMove(QObject* sender, Qt::KeyboardModifiers shift, int x, int y);
  void OnResize(QObject* sender);

 protected:
  // Scales the control's own pixel options from M to D with MulDiv(value, M, D); called by
  // ChangeScale only when the scale changes (M != D, D != 0). Empty here.
  virtual void ScalePixelOptions(int m, int d);
  // Whether rescaling from M to D changes anything (M differs from D and D is not 0).
  static bool ScaleChanges(int m, int d) { return m != d && d != 0; }

  // The focus rule of the controls with a CanFocused option (the kit's graphic button and track
  // bar), switched on once by their constructor: only a left press gives them the focus
  // (FocusOnLeftPress), so Qt's click focus, which every mouse button triggers, stays off
  // whatever writes TabStop; Tab reaches them while they are a tab stop and CanFocused.
  void UseLeftPressFocus();
  bool CanFocused() const { return can_focused_; }
  // Also sets TabStop; without it the control never takes the focus and gives up the one it has.
  void SetCanFocused(bool value);
  // Gives a CanFocused control the focus for a press of the left button; other buttons never do.
  void FocusOnLeftPress(Qt::MouseButton button);

  // Hooks for subclasses: called after the colour or the font changed (both repaint by default).
  virtual void ColorChanged() { update(); }
  virtual void FontChanged() { update(); }

  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  Control* ParentControl() const;
  void RealignParent();
  void RememberAnchors();
  void ApplyAnchors(int parentWidth, int parentHeight);
  void FontObjectChanged();
  void AdoptParentFont();
  void UpdateFocusPolicy();

  orvelle::Font* font_;
  orvelle::Color color_ = clBtnFace;
  TAlign align_ = alNone;
  TAnchors anchors_ = TAnchors(akLeft | akTop);
  int anchor_right_ = 0;
  int anchor_bottom_ = 0;
  int tab_order_ = -1;
  bool tab_stop_ = false;
  bool left_press_focus_ = false;
  bool can_focused_ = true;
  bool parent_font_ = true;
  bool adopting_font_ = false;
  bool aligning_ = false;
  bool left_pressed_ = false;
};

}  // namespace orvelle

Q_DECLARE_OPERATORS_FOR_FLAGS(orvelle::Control::TAnchors)
