#include "app/song_announcer.h"

#include "toolkit/announcer.h"
#include "toolkit/form.h"

#include <algorithm>

namespace orvelle {

QString SongAnnouncer::Join(const QString& first, const QString& second) {
  const QString a = first.trimmed(), b = second.trimmed();
  if (a.isEmpty() && b.isEmpty()) return QString::fromUtf16(kProgramName);
  if (a.isEmpty()) return b;
  if (b.isEmpty()) return a;
  return a + QString::fromUtf16(kSeparator) + b;
}

void SongAnnouncer::SongShown(const QString& title, const QString& singer) {
  const QString caption = Join(title, singer);
  window_.SetCaption(caption);
  announcer_.Announce(caption);
}

void SongAnnouncer::GaveUp(const QString& heading, const QString& reason) {
  const QString caption = Join(heading, reason);
  if (caption == window_.Caption()) return;
  window_.SetCaption(caption);
  announcer_.Announce(caption);
}

void SongAnnouncer::NothingShown() { window_.SetCaption(QString::fromUtf16(kProgramName)); }

QString SpokenRemainingTime(int seconds) {
  const int left = std::max(seconds, 0);
  return QStringLiteral("剩余 %1 分 %2 秒").arg(left / 60).arg(left % 60, 2, 10, QLatin1Char('0'));
}

QString SpokenRemainingTimeNone() { return QStringLiteral("剩余时间"); }

}  // namespace orvelle
