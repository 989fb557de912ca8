#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

namespace orvelle {

// Keeps the desktop from suspending or blanking for idleness while a song plays. Asks the XDG
// desktop portal (org.freedesktop.portal.Inhibit, the "idle" flag) and, when the portal is not
// there or refuses, org.freedesktop.ScreenSaver. The inhibition is released when playing stops
// and when this object goes (at exit). The calls do not block the windows: an answer that comes
// after playing stopped is released at once. Without a session bus one line is logged and nothing
// else happens; when neither service answers, one line is logged and both are asked again at the
// next start of playing (a resume or a new song), until one of them inhibits.
class IdleInhibitor : public QObject {
  Q_OBJECT

 public:
  // The portal's flag for idleness.
  static constexpr uint kIdleFlag = 8;

  explicit IdleInhibitor(QDBusConnection bus, QObject* parent = nullptr);
  ~IdleInhibitor() override;

  // Playing: inhibit unless already held or asked for (after a failure: only when playing starts,
  // that is, it was not playing before or `song` differs from the last one); not playing: release.
  void SetPlaying(bool playing, const QString& song = {});

  // Whether an inhibition is held now.
  bool Held() const { return held_ != Holder::None; }

 signals:
  // After every change of Held().
  void HeldChanged(bool held);

 private:
  enum class Holder { None, Portal, ScreenSaver };

  void AskPortal();
  void AskScreenSaver();
  void PortalAnswered(QDBusPendingCallWatcher* call);
  void ScreenSaverAnswered(QDBusPendingCallWatcher* call);
  void Hold(Holder holder);
  // Ends the inhibition held; `at_exit`: without waiting for the answer, nor logging it.
  void Release(bool at_exit);
  void GiveUp(const QString& reason);

  QDBusConnection bus_;
  bool playing_ = false;
  QString song_;
  bool asking_ = false;
  bool no_bus_ = false;
  // The last request failed: asked again only when playing starts.
  bool failed_ = false;
  bool failure_logged_ = false;
  Holder held_ = Holder::None;
  QDBusObjectPath portal_request_;
  uint screensaver_cookie_ = 0;
};

}  // namespace orvelle
