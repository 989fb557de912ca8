#pragma once

#include <QGuiApplication>

#include <xcb/xcb.h>

namespace orvelle {

// The program's connection to the X server; none on another window system or before the
// application object exists.
inline xcb_connection_t* X11Connection() {
  if (!qGuiApp || QGuiApplication::platformName() != u"xcb") return nullptr;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

}  // namespace orvelle
