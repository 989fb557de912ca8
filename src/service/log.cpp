#include "service/log.h"

#include <QUrl>

namespace orvelle {

Q_LOGGING_CATEGORY(lcHttp, "orvelle.http", QtWarningMsg)
Q_LOGGING_CATEGORY(lcCookies, "orvelle.cookies", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLoad, "orvelle.load", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLyrics, "orvelle.lyrics", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPicture, "orvelle.picture", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPlayer, "orvelle.player", QtWarningMsg)
Q_LOGGING_CATEGORY(lcUi, "orvelle.ui", QtWarningMsg)
Q_LOGGING_CATEGORY(lcDesktop, "orvelle.desktop", QtWarningMsg)

QString AddressForLog(const QString& address) {
  const QUrl url(address);
  if (!url.isValid()) return QStringLiteral("(an address that is not a URL)");
  return url.toString(QUrl::RemoveUserInfo);
}

}  // namespace orvelle
