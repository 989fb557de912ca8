#pragma once

#include "app/main_window.h"
#include "desktop/song_notifier.h"

namespace orvelle {

// Tells the desktop of each new song the main window shows, through `notifier`, while the window
// is not the active one: a listener who is in another window learns what plays, one who looks
// at Orvelle is not disturbed. Lasts as long as both live.
void NotifyNewSongs(MainWindow& window, SongNotifier& notifier);

// The notice of the song the window shows: its title and singer as shown, and its cover.
SongNotice ShownSong(const MainWindow& window);

}  // namespace orvelle
