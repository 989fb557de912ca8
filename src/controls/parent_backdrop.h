#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>

class QWidget;

namespace orvelle {

// What a see-through control shows where it draws nothing, kept as pixels while that is nothing
// but its parent's own painting: the parent paints every pixel under the control opaque and no
// sibling lower in the stacking order intersects the control. A control that composes its face
// over these pixels paints every pixel of its rectangle itself, so it is marked opaque
// (Qt::WA_OpaquePaintEvent, which this object alone sets and clears) and Qt no longer repaints
// the parent under it for each of its repaints.
//
// The pixels are the parent rendered once for the control's rectangle without its children. They
// are looked at again, and the control paints see-through until then, after anything that can
// change what lies under it: the control moved, resized, re-parented or shown again; a theme or
// palette change; the parent telling its children that their background changed
// (ParentBackgroundChanged: its colour, its see-through setting, its style kind); a sibling shown,
// hidden, moved, resized, restacked, added or removed so that a lower one starts or stops
// intersecting the control. A look that finds the same pixels keeps the same image (and cacheKey),
// so what the control composed from them stays valid.
class ParentBackdrop : public QObject {
 public:
  explicit ParentBackdrop(QWidget* control);

  // Called from the control's paint event, when its face is about to cover all of its rectangle:
  // the parent's painting under the control at the pixel ratio, looked at once after each change;
  // null while anything else lies under the control. The control is marked opaque exactly while
  // this is not null, and must then paint every pixel of its rectangle over these pixels.
  const QImage& Pixels(qreal pixel_ratio);
  // The pixels of the last look while nothing has changed since; null otherwise (see-through, or a
  // new look is due at the next paint).
  const QImage& Current() const;
  // Called from the control's paint event when its face leaves pixels untouched this time: the
  // control is see-through again (and repainted so when it was opaque during this paint).
  void Release();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Look(qreal pixel_ratio);
  QImage RenderParent(qreal pixel_ratio) const;
  bool LowerSiblingOverlaps() const;
  // Paints see-through until the next look.
  void Invalidate();
  void SeeThrough();
  // Watches the parent (for children added or removed) and every sibling (for their geometry,
  // visibility and stacking).
  void WatchParent(QWidget* parent);

  QWidget* control_;
  QPointer<QWidget> parent_;
  QImage pixels_;  // RGB32; null: see-through
  bool looked_ = false;
  bool siblings_clear_ = false;  // no lower sibling intersected the control at the last look
};

}  // namespace orvelle
