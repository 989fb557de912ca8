#pragma once

#include <QDBusConnection>

namespace orvelle {

// Whether `bus` is not connected. The first time a connection is found so, one line is logged that
// names all the desktop then lacks, so that the program without a session bus logs it once,
// whichever of the one-instance claim, the player, the song notifications and the idle inhibit
// notices first.
bool SessionBusMissing(const QDBusConnection& bus);

}  // namespace orvelle
