#pragma once

#include <QString>

namespace orvelle {

class Announcer;
class Form;

// Tells the desktop and the listener what plays, once per change and never per countdown second:
// the main window's caption follows the song shown ("夜航 – 林晓岚"), a give-up (its heading and
// whole reason) or shows the program's name while nothing is shown, which task bars and window
// lists show; and each new song and each new give-up is announced (spoken by a screen reader),
// whatever brought it: the song's end, N, 下一首 or the desktop's remote control.
class SongAnnouncer {
 public:
  static constexpr char16_t kProgramName[] = u"Orvelle";
  // Between the title and the singer, and between a give-up's heading and reason.
  static constexpr char16_t kSeparator[] = u" – ";

  SongAnnouncer(Form& window, Announcer& announcer) : window_(window), announcer_(announcer) {}

  // A song is shown: announced every time, also when the same song comes again.
  void SongShown(const QString& title, const QString& singer);
  // The loads gave up: announced when the heading or reason differs from what the caption says,
  // so that the retries that give up again for the same reason are not spoken again.
  void GaveUp(const QString& heading, const QString& reason);
  void NothingShown();

  // Two texts joined by the separator, one alone when the other is empty, the program's name when
  // both are.
  static QString Join(const QString& first, const QString& second);

 private:
  Form& window_;
  Announcer& announcer_;
};

// The remaining time as it is spoken: "剩余 3 分 05 秒" for 185 seconds (a count below zero is
// spoken as no time left); "剩余时间" (remaining time) while no song counts down.
QString SpokenRemainingTime(int seconds);
QString SpokenRemainingTimeNone();

}  // namespace orvelle
