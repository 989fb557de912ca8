#pragma once

#include <QPoint>
#include <QRegion>
#include <QSize>

#include <cstdint>
#include <map>

struct xcb_connection_t;

class QImage;
class QWidget;

namespace orvelle {

// Opaque frames of a control kept by the X server, one pixmap per key, each put on screen by one
// copy request into the window the control lies in. Only the part of the control where frames
// differ from each other (SetChangingArea) is copied.
//
// Qt puts a control's repaint on screen through its whole repaint machinery (dirty regions, paint
// events, the window's backing store, the flush of the region to the server); for a control that
// shows one of a few finished frames again and again, that machinery costs far more than the
// frame. Frames kept here are copied by the server itself, from its own memory into the window:
// the program sends a request of a few bytes per frame and keeps no pixels of its own.
//
// What is copied this way bypasses the window's backing store, which keeps the frame Qt painted
// last: the control repaints through Qt when it comes to rest (ScreenAhead), so that what Qt
// flushes later (an expose) is what the screen shows.
//
// Only on Qt's xcb platform, for a window of 24 or 32 bits a pixel with the red, green and blue
// of QImage::Format_RGB32 in the server's byte order; elsewhere Available() is false and nothing
// is kept.
class ServerFrames {
 public:
  explicit ServerFrames(QWidget* control);
  ~ServerFrames();
  ServerFrames(const ServerFrames&) = delete;
  ServerFrames& operator=(const ServerFrames&) = delete;

  // Whether frames can be kept for the control's window now: the xcb platform, a window created,
  // of a pixel format a Format_RGB32 image's bytes are. Looked at once per window.
  bool Available();
  // Where the frames differ from each other, in the control's coordinates; the rest of every frame
  // is the same as the one Qt painted last. The whole control until set.
  void SetChangingArea(const QRegion& area);
  // Whether a frame copied now would land exactly where Qt paints the control: Available(), the
  // window exposed, the control shown, and its changing area inside every parent and under no
  // other widget of its window. Popups and other windows above are the server's to clip.
  bool CanShow();
  bool Has(int key) const { return pixmaps_.count(key) != 0; }
  int Count() const { return static_cast<int>(pixmaps_.size()); }
  // Sends an opaque frame (Format_RGB32) to the server under the key; false when the server
  // cannot keep it (the failure is logged).
  bool Store(int key, const QImage& frame);
  // Copies the changing area of the frame of the key to the control's place in its window, at
  // the window's device pixels; the requests are sent at once. Until Settled(), the backing store is behind the screen.
  void Show(int key);
  // Frees every frame (the server's pixmaps).
  void Clear();

  // Whether frames were shown since Qt last painted the control.
  bool ScreenAhead() const { return screen_ahead_; }
  void Settled() { screen_ahead_ = false; }

 private:
  // The window the control lies in and its pixel depth; false when frames cannot be shown there.
  bool LookAtWindow();
  void ReleaseGc();
  // Limits the copies to the changing area at the control's place in the window.
  void ClipCopies(const QPoint& at, int ratio);

  QWidget* control_;
  xcb_connection_t* connection_ = nullptr;  // Qt's, once a window was looked at
  std::uint32_t window_ = 0;  // the X window frames are copied into; 0: not looked at
  std::uint8_t depth_ = 0;
  bool usable_ = false;
  std::uint32_t gc_ = 0;         // copies into the window, clipped to the changing area
  std::uint32_t upload_gc_ = 0;  // frames into their pixmaps, whole
  QSize frame_size_;
  QRegion changing_area_;
  bool clip_set_ = false;
  QPoint clip_at_;  // where the clip was set for
  std::map<int, std::uint32_t> pixmaps_;
  bool screen_ahead_ = false;
};

}  // namespace orvelle
