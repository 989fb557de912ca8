#include "desktop/session_bus.h"

#include "service/log.h"

#include <QSet>

namespace orvelle {

bool SessionBusMissing(const QDBusConnection& bus) {
  if (bus.isConnected()) return false;
  static QSet<QString> reported;
  if (!reported.contains(bus.name())) {
    reported.insert(bus.name());
    qCWarning(lcDesktop) << "Orvelle runs without the desktop's services: no session bus. A second start is not "
                            "noticed, the media keys and the desktop's player controls do not reach it, new songs "
                            "are not announced, and the desktop may sleep while a song plays";
  }
  return true;
}

}  // namespace orvelle
