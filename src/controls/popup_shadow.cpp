#include "controls/popup_shadow.h"

#include "service/log.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <xcb/xcb.h>

namespace orvelle {

namespace {

// Whether a compositing manager owns the _NET_WM_CM_S0 selection (the freedesktop window manager
// specification's way to announce one) of the first X screen, where the program's windows are.
bool X11CompositingManagerRuns() {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (!x11 || !x11->connection()) return false;
  xcb_connection_t* connection = x11->connection();
  const QByteArray name = QByteArrayLiteral("_NET_WM_CM_S0");
  xcb_intern_atom_reply_t* atom =
      xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, name.size(), name.constData()), nullptr);
  if (!atom) return false;
  xcb_get_selection_owner_reply_t* owner =
      xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
  const bool runs = owner && owner->owner != XCB_NONE;
  std::free(owner);
  std::free(atom);
  return runs;
}

// One band of a shadow: a translucent window showing its pixels.
class ShadowBand : public QWidget {
 public:
  explicit ShadowBand(QWidget* parent) : QWidget(parent) {
    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                   Qt::WindowTransparentForInput);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
  }
  QImage pixels;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, pixels);
  }
};

}  // namespace

TscPopupShadow::TscPopupShadow(QWidget* popup) : QObject(popup), popup_(popup) {
  QWidget* owner = popup->parentWidget() ? popup->parentWidget() : popup;
  right_ = new ShadowBand(owner);
  bottom_ = new ShadowBand(owner);
  popup->installEventFilter(this);
}

TscPopupShadow::~TscPopupShadow() {
  delete right_.data();
  delete bottom_.data();
}

bool TscPopupShadow::ScreenComposesTranslucency() {
  if (QGuiApplication::platformName() != u"xcb") return true;
  static const bool composes = [] {
    const bool runs = X11CompositingManagerRuns();
    if (!runs) qCInfo(lcUi) << "No compositing manager runs on the X server: pop-up windows show without a shadow";
    return runs;
  }();
  return composes;
}

int TscPopupShadow::AlphaAt(int x, int y) const {
  if (!popup_) return 0;
  const QRect popup(QPoint(0, 0), popup_->size());
  if (popup.contains(x, y)) return 0;
  // The distance from the pixel's centre to the shifted shape (negative inside it).
  const QRectF shape = QRectF(popup).translated(kOffset, kOffset);
  const double px = x + 0.5, py = y + 0.5;
  const double dx = std::max({shape.left() - px, 0.0, px - shape.right()});
  const double dy = std::max({shape.top() - py, 0.0, py - shape.bottom()});
  const double outside = std::hypot(dx, dy);
  const double inside = std::min({px - shape.left(), shape.right() - px, py - shape.top(), shape.bottom() - py});
  const double distance = outside > 0 ? outside : -std::max(inside, 0.0);
  const double weight = std::clamp((kBlur / 2.0 - distance) / kBlur, 0.0, 1.0);
  return static_cast<int>(std::lround(kDarkest * weight * weight * (3 - 2 * weight)));  // smooth fall-off
}

void TscPopupShadow::PlaceBand(QWidget* band, const QRect& where, const QPoint& originInPopup) {
  auto* shadow_band = static_cast<ShadowBand*>(band);
  if (shadow_band->pixels.size() != where.size()) {
    QImage pixels(where.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < pixels.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(pixels.scanLine(y));
      for (int x = 0; x < pixels.width(); ++x) {
        line[x] = qPremultiply(qRgba(0, 0, 0, AlphaAt(originInPopup.x() + x, originInPopup.y() + y)));
      }
    }
    shadow_band->pixels = pixels;
    band->update();
  }
  band->setGeometry(where);
  band->show();
}

void TscPopupShadow::Follow() {
  if (!right_ || !bottom_) return;
  if (!popup_ || !popup_->isVisible() || !ScreenComposesTranslucency()) {
    right_->hide();
    bottom_->hide();
    return;
  }
  const QRect popup(popup_->mapToGlobal(QPoint(0, 0)), popup_->size());
  const int w = popup.width(), h = popup.height();
  PlaceBand(right_, QRect(popup.right() + 1, popup.top(), kReach, h + kReach), QPoint(w, 0));
  PlaceBand(bottom_, QRect(popup.left(), popup.bottom() + 1, w, kReach), QPoint(0, h));
}

bool TscPopupShadow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == popup_) {
    switch (event->type()) {
      case QEvent::Show:
      case QEvent::Hide:
      case QEvent::Move:
      case QEvent::Resize:
        Follow();
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace orvelle
