#include "desktop/desktop_integration.h"

namespace orvelle {

DesktopIntegration::DesktopIntegration(RemoteControlTarget& target, QDBusConnection bus, QString cover_folder)
    : target_(target),
      inhibitor_(bus),
      mpris_(target, bus, QString::fromLatin1(kDesktopEntry), std::move(cover_folder)) {
  mpris_.Register();
  QObject::connect(&target_.StateNotifier(), &RemoteStateNotifier::Changed, &inhibitor_, [this] { FollowPlaying(); });
  FollowPlaying();
}

void DesktopIntegration::FollowPlaying() {
  inhibitor_.SetPlaying(target_.State().audio_playing, target_.State().song.sid);
}

}  // namespace orvelle
