#pragma once

#include "radio/radio_state.h"
#include "service/picture/picture_container.h"

#include <QObject>

#include <optional>

namespace orvelle {

// Announces that something a RemoteControlTarget shows may have changed.
class RemoteStateNotifier : public QObject {
  Q_OBJECT

 signals:
  void Changed();
};

// What the desktop's remote control (media keys, the sound menu, `playerctl`) and the idle
// inhibit see of the main window and do to it. The main window implements it; every action does
// exactly what the matching control of the window does, and runs only when that control could
// be used (see RemoteCommandGate).
class RemoteControlTarget {
 public:
  virtual ~RemoteControlTarget() = default;

  // The play/pause button's click.
  virtual void PlayPause() = 0;
  // The skip button's click.
  virtual void Next() = 0;
  // Stops playing, as a player's stop button does: the player stopped, the countdown held and set
  // back to the song's beginning, the disc still. Playing again (PlayPause) plays the current song
  // from its beginning.
  virtual void Stop() = 0;
  // Brings the main window to the front and activates it.
  virtual void Raise() = 0;
  // Closes the main window as its close button does.
  virtual void Quit() = 0;

  // The volume slider's value, 100 being the player's normal volume.
  virtual int Volume() const = 0;
  // Moves the volume slider to `value`, as dragging it there would (the slider clamps it).
  virtual void SetVolume(int value) = 0;

  // The radio's state the window shows: the song, its countdown, the phase, the volume.
  virtual const RadioState& State() const = 0;
  // The current song's cover as the window shows it (empty when it could not be had).
  virtual const PictureContainer& Cover() const = 0;
  // How far the player has come in the song, in microseconds; none when it cannot tell.
  virtual std::optional<qint64> PlayerPosition() const = 0;

  // Emits Changed whenever NotifyRemoteStateChanged is called.
  RemoteStateNotifier& StateNotifier() { return notifier_; }

 protected:
  // The window calls this after anything above may have changed: a song loaded, playing paused
  // or resumed, the volume moved. Announcing only what really changed is the listener's job.
  void NotifyRemoteStateChanged() { emit notifier_.Changed(); }

 private:
  RemoteStateNotifier notifier_;
};

}  // namespace orvelle
