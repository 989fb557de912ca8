#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace orvelle {

// The drop shadow of a pop-up window (the drop-down's item list): the pop-up's shape shifted
// kOffset pixels right and down and blurred over kBlur pixels, of which a soft dark band shows
// along the pop-up's right and bottom edges. The band is drawn by two windows of its own, one
// beside the pop-up's right edge and one below its bottom edge; they never overlap the pop-up, take
// no pointer input, never activate, and follow the pop-up: showing, hiding, moving and resizing.
//
// A shadow needs a screen that composes translucent windows; where none does (an X server without
// a compositing manager) it stays hidden rather than showing as an opaque band.
class TscPopupShadow : public QObject {
  Q_OBJECT

 public:
  static constexpr int kOffset = 3;    // how far the shadow's shape lies right of and below the pop-up
  static constexpr int kBlur = 6;      // the width of its soft edge
  static constexpr int kDarkest = 90;  // the alpha of black at its darkest
  // How far the shadow reaches past the pop-up's right and bottom edges.
  static constexpr int kReach = kOffset + kBlur / 2;

  // The shadow of popup. Its windows belong to the popup's owner (so they lie in the owner's
  // window family) or, for a pop-up without one, to the pop-up itself.
  explicit TscPopupShadow(QWidget* popup);
  ~TscPopupShadow() override;

  // Whether this screen composes translucent windows, which a shadow needs.
  static bool ScreenComposesTranslucency();

  // The shadow's alpha at a pixel given in the pop-up's coordinates: 0 over the pop-up, kDarkest
  // inside the shifted shape, fading to 0 across its edge.
  int AlphaAt(int x, int y) const;

  // The window along the pop-up's right edge (kReach wide, as tall as the pop-up plus kReach) and
  // the one below it (as wide as the pop-up, kReach high).
  QWidget* RightBand() const { return right_; }
  QWidget* BottomBand() const { return bottom_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Follow();
  // Places a band at the rectangle (global coordinates) and, when its size changed, draws it.
  void PlaceBand(QWidget* band, const QRect& where, const QPoint& originInPopup);

  QPointer<QWidget> popup_;
  QPointer<QWidget> right_;
  QPointer<QWidget> bottom_;
};

}  // namespace orvelle
