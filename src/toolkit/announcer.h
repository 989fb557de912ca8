#pragma once

#include <QString>
#include <QWidget>

namespace orvelle {

// Tells a listener something that happened away from the keyboard's focus (a new song, a give-up,
// a state switched by a key), whatever control has the focus: assistive technology sees a
// notification of the window appear with the text, and a screen reader speaks every notification
// that appears, once. The announcer itself is never seen on screen.
//
// Why not a name change of a label or of the window's title: Qt 6.4's bridge to the desktop's
// accessibility bus reports a name change with the object in place of the new name, so a screen
// reader has nothing to speak, and reports no change of a window's title at all.
class Announcer : public QWidget {
  Q_OBJECT

 public:
  explicit Announcer(QWidget* window);

  void Announce(const QString& text);
  // The last text announced (what assistive technology reads as the notification's name).
  QString LastAnnounced() const { return accessibleName(); }
};

}  // namespace orvelle
