#include "app/song_notifications.h"

#include "service/error.h"
#include "service/log.h"

namespace orvelle {

void NotifyNewSongs(MainWindow& window, SongNotifier& notifier) {
  QObject::connect(&window, &MainWindow::SongShown, &notifier, [&window, &notifier] {
    if (window.isActiveWindow()) return;
    notifier.Show(ShownSong(window));
  });
}

SongNotice ShownSong(const MainWindow& window) {
  SongNotice notice{window.titleLabel->Caption(), window.singerLabel->Caption(), {}};
  const Graphic* cover = window.Cover().Graphic();
  if (!cover || cover->Empty()) return notice;
  try {
    notice.cover = cover->ToImage();
  } catch (const Error& error) {
    qCDebug(lcDesktop) << "the song's notification goes without its cover:" << error.Message();
  }
  return notice;
}

}  // namespace orvelle
