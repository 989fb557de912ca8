// What the listener is told of the songs: the window's caption and the announcements, once per
// change, and the remaining time as it is read.

#include "app/song_announcer.h"
#include "toolkit/announcer.h"
#include "toolkit/form.h"

#include <QAccessible>
#include <gtest/gtest.h>

namespace orvelle::test {
namespace {

int& Shown() {
  static int shown = 0;
  return shown;
}
void CountShown(QAccessibleEvent* event) {
  if (event->type() == QAccessible::ObjectShow && qobject_cast<Announcer*>(event->object())) ++Shown();
}

TEST(SongAnnouncerTest, TheCaptionFollowsTheSongAndEachChangeIsAnnouncedOnce) {
  Form window;
  auto* announcer = new Announcer(&window);
  SongAnnouncer songs(window, *announcer);
  QAccessible::setActive(true);  // events reach the handler only while assistive technology listens
  const QAccessible::UpdateHandler previous = QAccessible::installUpdateHandler(&CountShown);
  Shown() = 0;

  songs.NothingShown();
  EXPECT_EQ(window.Caption(), u"Orvelle"_qs);
  EXPECT_EQ(Shown(), 0) << "nothing to tell";
  songs.SongShown(u"夜航"_qs, u"林晓岚"_qs);
  EXPECT_EQ(window.Caption(), u"夜航 – 林晓岚"_qs);
  EXPECT_EQ(announcer->LastAnnounced(), u"夜航 – 林晓岚"_qs);
  songs.SongShown(u"夜航"_qs, u"林晓岚"_qs);  // the same song again is a new song
  EXPECT_EQ(Shown(), 2);

  // A give-up with its whole reason, once however often the retries give up for it.
  const QString reason = u"Socket Error # 111 Connection refused"_qs;
  songs.GaveUp(u"无法连接到电台"_qs, reason);
  songs.GaveUp(u"无法连接到电台"_qs, reason);
  EXPECT_EQ(window.Caption(), u"无法连接到电台 – "_qs + reason);
  EXPECT_EQ(Shown(), 3);
  songs.GaveUp(u"无法连接到电台"_qs, u"HTTP/1.1 503 Service Unavailable"_qs);
  EXPECT_EQ(Shown(), 4) << "a new reason is told";

  QAccessible::installUpdateHandler(previous);
  QAccessible::setActive(false);
}

TEST(SongAnnouncerTest, JoinLeavesOutWhatIsEmpty) {
  const struct {
    QString first, second, joined;
  } cases[] = {{u"夜航"_qs, u"林晓岚"_qs, u"夜航 – 林晓岚"_qs},
               {u"夜航"_qs, QString(), u"夜航"_qs},
               {u" "_qs, u"林晓岚"_qs, u"林晓岚"_qs},
               {QString(), QString(), u"Orvelle"_qs}};
  for (const auto& c : cases) EXPECT_EQ(SongAnnouncer::Join(c.first, c.second), c.joined) << c.joined.toStdString();
}

TEST(SongAnnouncerTest, TheRemainingTimeIsReadInMinutesAndSeconds) {
  const struct {
    int seconds;
    QString spoken;
  } cases[] = {{185, u"剩余 3 分 05 秒"_qs}, {35, u"剩余 0 分 35 秒"_qs}, {0, u"剩余 0 分 00 秒"_qs},
               {-1, u"剩余 0 分 00 秒"_qs}};  // a song of length 0 counts below zero
  for (const auto& c : cases) EXPECT_EQ(SpokenRemainingTime(c.seconds), c.spoken) << c.seconds;
  EXPECT_EQ(SpokenRemainingTimeNone(), u"剩余时间"_qs);
}

}  // namespace
}  // namespace orvelle::test
