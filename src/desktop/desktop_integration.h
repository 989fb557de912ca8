#pragma once

#include "desktop/idle_inhibitor.h"
#include "desktop/mpris_service.h"
#include "desktop/remote_control_target.h"

#include <QDBusConnection>

namespace orvelle {

// Everything the Linux desktop adds around the main window, for as long as the window lives:
// the MPRIS player on the session bus and the idle inhibit while a song plays (released when it
// pauses and when this object goes). Create it once the main window exists, destroy it before
// the window:
//
//   if (ClaimSingleInstance(QDBusConnection::sessionBus()) == InstanceClaim::HandedOver) return 0;
//   ... create the windows ...
//   DesktopIntegration desktop(*main_window);
//   Application::Run();
class DesktopIntegration {
 public:
  // The desktop entry's name, which is also the icon's and the metainfo's id.
  static constexpr char kDesktopEntry[] = "org.orvelle.Orvelle";

  explicit DesktopIntegration(RemoteControlTarget& target, QDBusConnection bus = QDBusConnection::sessionBus(),
                              QString cover_folder = {});

  MprisService& Mpris() { return mpris_; }
  IdleInhibitor& Inhibitor() { return inhibitor_; }

 private:
  void FollowPlaying();

  RemoteControlTarget& target_;
  // Declared before the player, so that at exit the player (its bus name, the cover file) goes
  // first and the release of the inhibit comes after.
  IdleInhibitor inhibitor_;
  MprisService mpris_;
};

}  // namespace orvelle
