#pragma once

#include "controls/panel.h"

#include <QList>
#include <QPoint>
#include <QPointer>

class QTimer;

namespace orvelle {

// The placeholder of a split view: a bare control aligned to the split view's edge of the
// parent. It paints nothing; in docked mode its width (or height) pushes the parent's other
// aligned controls aside, and the split view takes its bounds from it.
class TscSplitViewBackControl : public Control {
  Q_OBJECT
 public:
  explicit TscSplitViewBackControl(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent*) override {}
};

// A panel attached to one edge of its parent that opens to OpenedWidth (OpenedHeight at the top
// or bottom) and closes to CompactWidth (CompactHeight), sliding AnimationStep pixels every
// 15 ms. In overlay mode it slides over the parent's other controls; in docked mode its
// placeholder pushes them aside. With a compact size of 0 it is disabled whenever it is closed.
class TscCustomSplitView : public TscPanel {
  Q_OBJECT
  Q_PROPERTY(orvelle::TscCustomSplitView::TscSplitViewPlacement Placement READ Placement WRITE SetPlacement)
  Q_PROPERTY(orvelle::TscCustomSplitView::TscSplitViewDisplayMode DisplayMode READ DisplayMode WRITE SetDisplayMode)
  Q_PROPERTY(int OpenedWidth READ OpenedWidth WRITE SetOpenedWidth)
  Q_PROPERTY(int OpenedHeight READ OpenedHeight WRITE SetOpenedHeight)
  Q_PROPERTY(int CompactWidth READ CompactWidth WRITE SetCompactWidth)
  Q_PROPERTY(int CompactHeight READ CompactHeight WRITE SetCompactHeight)
  Q_PROPERTY(int OpenedMinWidth READ OpenedMinWidth WRITE SetOpenedMinWidth)
  Q_PROPERTY(int OpenedMaxWidth READ OpenedMaxWidth WRITE SetOpenedMaxWidth)
  Q_PROPERTY(int OpenedMinHeight READ OpenedMinHeight WRITE SetOpenedMinHeight)
  Q_PROPERTY(int OpenedMaxHeight READ OpenedMaxHeight WRITE SetOpenedMaxHeight)
  Q_PROPERTY(bool Animation READ Animation WRITE SetAnimation)
  Q_PROPERTY(ushort AnimationStep READ AnimationStep WRITE SetAnimationStep)
  Q_PROPERTY(bool HideControls READ HideControls WRITE SetHideControls)
  Q_PROPERTY(int GripSize READ GripSize WRITE SetGripSize)
  Q_PROPERTY(bool Opened READ Opened WRITE SetOpened)

 public:
  enum TscSplitViewPlacement { scsvpLeft, scsvpRight, scsvpTop, scsvpBottom };
  Q_ENUM(TscSplitViewPlacement)
  enum TscSplitViewDisplayMode { scsvmOverlay, scsvmDocked };
  Q_ENUM(TscSplitViewDisplayMode)
  enum TscSplitViewState { scsvsOpened, scsvsOpening, scsvsClosed, scsvsClosing };
  Q_ENUM(TscSplitViewState)

  static constexpr int kSlideInterval = 15;  // ms between slide steps

  explicit TscCustomSplitView(QWidget* parent = nullptr);
  ~TscCustomSplitView() override;

  TscSplitViewPlacement Placement() const { return placement_; }
  void SetPlacement(TscSplitViewPlacement placement);
  TscSplitViewDisplayMode DisplayMode() const { return display_mode_; }
  void SetDisplayMode(TscSplitViewDisplayMode mode);

  // True exactly while fully open. Opening while open or opening, and closing while closed or
  // closing, are ignored; otherwise the panel slides (with Animation) or jumps to the end size.
  bool Opened() const { return state_ == scsvsOpened; }
  void SetOpened(bool value);
  // Start opening or closing without the checks of SetOpened (while loading: open or close at once).
  void Open();
  void Close();
  TscSplitViewState State() const { return state_; }

  int OpenedWidth() const { return opened_width_; }
  void SetOpenedWidth(int value);
  int OpenedHeight() const { return opened_height_; }
  void SetOpenedHeight(int value);
  int CompactWidth() const { return compact_width_; }
  void SetCompactWidth(int value);
  int CompactHeight() const { return compact_height_; }
  void SetCompactHeight(int value);
  int OpenedMinWidth() const { return opened_min_width_; }
  void SetOpenedMinWidth(int value) { opened_min_width_ = value; }
  int OpenedMaxWidth() const { return opened_max_width_; }
  void SetOpenedMaxWidth(int value) { opened_max_width_ = value; }
  int OpenedMinHeight() const { return opened_min_height_; }
  void SetOpenedMinHeight(int value) { opened_min_height_ = value; }
  int OpenedMaxHeight() const { return opened_max_height_; }
  void SetOpenedMaxHeight(int value) { opened_max_height_ = value; }

  bool Animation() const { return animation_; }
  void SetAnimation(bool value) { animation_ = value; }
  ushort AnimationStep() const { return animation_step_; }
  void SetAnimationStep(ushort value) { animation_step_ = value; }
  bool HideControls() const { return hide_controls_; }
  void SetHideControls(bool value) { hide_controls_ = value; }
  int GripSize() const { return grip_size_; }
  // Negative sizes are ignored.
  void SetGripSize(int value);

  // While opening or closing, or without a placeholder, the requested bounds; otherwise the
  // bounds follow the placeholder and the opened or compact size.
  void SetBounds(int left, int top, int width, int height) override;

  const TscSplitViewBackControl* BackControl() const { return back_control_; }
  // The slide timer; it runs only while opening or closing.
  const QTimer* AnimationTimer() const { return animation_timer_; }
  // One slide step of the timer.
  void SlideTick();

 signals:
  void OnOpening(QObject* sender);
  void OnOpened(QObject* sender);
  void OnClosing(QObject* sender);
  void OnClosed(QObject* sender);

 protected:
  virtual void SetState(TscSplitViewState state);
  QAccessible::Role AccessibleRole() const override { return QAccessible::Pane; }

  void Loaded() override;
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // The compact, opened, minimum and maximum sizes; the grip is scaled when used.
  void ScalePixelOptions(int m, int d) override;

 private:
  bool Horizontal() const { return placement_ == scsvpLeft || placement_ == scsvpRight; }
  bool Animates() const;
  int OpenedSize() const { return Horizontal() ? opened_width_ : opened_height_; }
  int CompactSize() const { return Horizontal() ? compact_width_ : compact_height_; }
  int CurrentSize() const { return Horizontal() ? width() : height(); }
  // The placeholder's size along the moving edge: the opened size only when docked and open.
  int BackControlSize() const;
  void PlaceBackControl();
  void SetBackControlSize(int size);
  void ReapplyBounds();
  // Sets the size along the moving edge, keeping the right (bottom) edge for right (bottom)
  // placement.
  void ResizeKeepingEdge(int size);
  void ApplyEndSize();
  void EnableWhenShown();
  void DisableWhenHidden();
  void HideChildren();
  void ShowHiddenChildren();
  void FireStateEvent();
  bool InGrip(const QPoint& p) const;
  int GripWidth() const;

  TscSplitViewPlacement placement_ = scsvpLeft;
  TscSplitViewDisplayMode display_mode_ = scsvmOverlay;
  TscSplitViewState state_ = scsvsOpened;
  int opened_width_ = 250;
  int opened_height_ = 50;
  int compact_width_ = 50;
  int compact_height_ = 20;
  int opened_min_width_ = 0;
  int opened_max_width_ = 0;
  int opened_min_height_ = 0;
  int opened_max_height_ = 0;
  bool animation_ = true;
  ushort animation_step_ = 25;
  bool hide_controls_ = false;
  int grip_size_ = 0;
  QTimer* animation_timer_;
  QPointer<TscSplitViewBackControl> back_control_;
  QList<QPointer<QWidget>> visible_list_;
  bool grip_down_ = false;
  QPoint grip_down_pos_;
  bool destroying_ = false;
};

// The kit's sliding side panel.
class TscSplitView : public TscCustomSplitView {
  Q_OBJECT
 public:
  using TscCustomSplitView::TscCustomSplitView;
};

}  // namespace orvelle
