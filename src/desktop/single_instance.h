#pragma once

#include <QDBusConnection>

namespace orvelle {

enum class InstanceClaim {
  First,       // this process is the one instance: it goes on and starts
  HandedOver,  // another instance runs and was asked to raise its window: this one exits with 0
  NoBus,       // no session bus (logged): it starts as before, without the one-instance guard
};

// Makes this process the session's one Orvelle by taking the player's bus name
// ("org.mpris.MediaPlayer2.orvelle", the name MprisService keeps afterwards). When another
// process holds the name, asks it through MPRIS to raise its window (waiting at most
// kRaiseTimeoutMilliseconds) and reports HandedOver. When it does not answer, it may be on its way
// out: a name released within a few hundred milliseconds more is taken (First); otherwise the
// unanswered Raise is logged and HandedOver reported.
InstanceClaim ClaimSingleInstance(QDBusConnection bus);

inline constexpr int kRaiseTimeoutMilliseconds = 500;

}  // namespace orvelle
