#pragma once

#include <QPoint>
#include <QRect>

#include <memory>

namespace orvelle::test {

// The pointer of the X server the program runs on, moved and pressed through the X Test
// extension: the server delivers these as it would a user's (implicit grabs, focus changes by
// the clients, windows under the pointer), unlike events injected into Qt.
class RealPointer {
 public:
  // Nothing works (Available() is false) without an X server with the X Test extension.
  RealPointer();
  ~RealPointer();
  RealPointer(const RealPointer&) = delete;
  RealPointer& operator=(const RealPointer&) = delete;

  bool Available() const;
  // Screen coordinates; button 1 is the left, 3 the right button. Each call waits until the
  // server has handled it; the caller then lets the program's event loop run.
  void MoveTo(const QPoint& global);
  void Press(int button = 1);
  void Release(int button = 1);
  // The screen rectangle of the top-level window that the server shows at a screen point (the
  // topmost one), empty when there is none.
  QRect TopLevelWindowAt(const QPoint& global) const;

 private:
  struct Display;
  std::unique_ptr<Display> display_;
};

}  // namespace orvelle::test
