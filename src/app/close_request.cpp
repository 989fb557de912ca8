#include "app/close_request.h"

#include "service/log.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>

namespace orvelle {
namespace {

// The atom of `name` on the X server of Qt's own connection, 0 when there is none.
unsigned Atom(xcb_connection_t* connection, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 1, static_cast<uint16_t>(qstrlen(name)), name), nullptr);
  if (!reply) return 0;
  const unsigned atom = reply->atom;
  std::free(reply);
  return atom;
}

bool IsQuitKey(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const auto* key = static_cast<const QKeyEvent*>(event);
  return key->key() == Qt::Key_Q && (key->modifiers() & Qt::ControlModifier);
}

}  // namespace

CloseRequests::CloseRequests(QWidget& window, std::function<void()> close)
    : QObject(&window), window_(window), close_(std::move(close)) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 && x11->connection()) {
    protocols_atom_ = Atom(x11->connection(), "WM_PROTOCOLS");
    delete_atom_ = Atom(x11->connection(), "WM_DELETE_WINDOW");
    QCoreApplication::instance()->installNativeEventFilter(this);
  }
  qApp->installEventFilter(this);
}

CloseRequests::~CloseRequests() { QCoreApplication::instance()->removeNativeEventFilter(this); }

bool CloseRequests::WindowBlocked() const {
  // Any of the program's boxes holds the window's input while it is open.
  const QWidget* modal = QApplication::activeModalWidget();
  return modal && modal != &window_;
}

bool CloseRequests::IsDeleteRequestForWindow(const void* message) const {
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & ~0x80) != XCB_CLIENT_MESSAGE || delete_atom_ == 0) return false;
  const auto* client = static_cast<const xcb_client_message_event_t*>(message);
  return client->format == 32 && client->type == protocols_atom_ && client->data.data32[0] == delete_atom_ &&
         window_.windowHandle() && client->window == window_.windowHandle()->winId();
}

bool CloseRequests::nativeEventFilter(const QByteArray& event_type, void* message, qintptr*) {
  if (event_type != "xcb_generic_event_t" || !IsDeleteRequestForWindow(message) || !WindowBlocked()) return false;
  qCDebug(lcUi) << "the window manager closes the window while a box is open";
  // From the event loop, outside the window system's dispatch.
  QTimer::singleShot(0, this, [this] { close_(); });
  return true;
}

bool CloseRequests::eventFilter(QObject* watched, QEvent* event) {
  if (!IsQuitKey(event) || !watched->isWidgetType() || !WindowBlocked()) return false;
  if (static_cast<QWidget*>(watched)->window() == &window_) return false;
  qCDebug(lcUi) << "Ctrl+Q in a box";
  close_();
  return true;
}

}  // namespace orvelle
