#pragma once

#include <QLoggingCategory>
#include <QString>

// The program's one log: Qt's logging categories, written to standard error. Only warnings and
// worse are on by default; QT_LOGGING_RULES turns on more, for example
//   QT_LOGGING_RULES="orvelle.*.debug=true" orvelle
// A failure that the program does not show the listener is logged at debug level in its
// category, so that "it stopped playing" can be explained. Nothing secret (cookie values) is
// ever logged.
namespace orvelle {

Q_DECLARE_LOGGING_CATEGORY(lcHttp)     // orvelle.http: connections, requests, protocol failures
Q_DECLARE_LOGGING_CATEGORY(lcCookies)  // orvelle.cookies: cookies refused or evicted (names only)
Q_DECLARE_LOGGING_CATEGORY(lcLoad)     // orvelle.load: song loading, playlist answers and retries
Q_DECLARE_LOGGING_CATEGORY(lcLyrics)   // orvelle.lyrics: lyrics requests and their answers
Q_DECLARE_LOGGING_CATEGORY(lcPicture)  // orvelle.picture: picture downloads and decoding
Q_DECLARE_LOGGING_CATEGORY(lcPlayer)   // orvelle.player: the media player
Q_DECLARE_LOGGING_CATEGORY(lcUi)       // orvelle.ui: windows, handlers, message boxes
Q_DECLARE_LOGGING_CATEGORY(lcDesktop)  // orvelle.desktop: remote control, one instance, idle inhibit

// An address as the log shows it: without the user name and password it may carry.
QString AddressForLog(const QString& address);

}  // namespace orvelle
