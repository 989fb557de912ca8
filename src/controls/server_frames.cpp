#include "controls/server_frames.h"

#include "controls/x11_connection.h"
#include "service/log.h"

#include <QGuiApplication>
#include <QImage>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace orvelle {
namespace {

// The visual of the given id among the screens' depths, and the depth it belongs to.
const xcb_visualtype_t* FindVisual(xcb_connection_t* connection, xcb_visualid_t id, std::uint8_t& depth) {
  for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection)); screens.rem; xcb_screen_next(&screens)) {
    for (auto depths = xcb_screen_allowed_depths_iterator(screens.data); depths.rem; xcb_depth_next(&depths)) {
      for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals)) {
        if (visuals.data->visual_id == id) {
          depth = depths.data->depth;
          return visuals.data;
        }
      }
    }
  }
  return nullptr;
}

// The server stores a pixel of this depth in 32 bits.
bool ThirtyTwoBitsAPixel(xcb_connection_t* connection, std::uint8_t depth) {
  const xcb_setup_t* setup = xcb_get_setup(connection);
  for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem; xcb_format_next(&formats)) {
    if (formats.data->depth == depth) return formats.data->bits_per_pixel == 32 && formats.data->scanline_pad == 32;
  }
  return false;
}

// Whether the bytes of a Format_RGB32 image are the server's pixels of this visual: 0xffRRGGBB
// words in the host's order, which the server reads in its own.
bool TakesRgb32Bytes(xcb_connection_t* connection, const xcb_visualtype_t& visual, std::uint8_t depth) {
  const bool host_lsb_first = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
  const bool server_lsb_first = xcb_get_setup(connection)->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
  return (depth == 24 || depth == 32) && host_lsb_first == server_lsb_first && visual.red_mask == 0xff0000 &&
         visual.green_mask == 0x00ff00 && visual.blue_mask == 0x0000ff && ThirtyTwoBitsAPixel(connection, depth);
}

// Whether a copy of the area of the control (in its coordinates) into its native parent's window
// would paint over nothing but the control: the area lies inside every parent up to that window,
// and no widget stacked above the control or above one of its parents intersects it. Runs for
// every frame, so it looks at rectangles first and at the area's own shape only where they meet.
bool OnlyTheControlThere(const QWidget* control, const QWidget* native, const QRegion& changing) {
  const QRect bounds = changing.boundingRect();
  QRect area = bounds.translated(control->pos());  // in the parent's coordinates
  for (const QWidget* w = control; w != native; w = w->parentWidget()) {
    const QWidget* parent = w->parentWidget();
    if (!parent || !parent->rect().contains(area)) return false;
    const QObjectList& siblings = parent->children();
    // Children are kept in stacking order, lowest first: those after w lie above it.
    for (qsizetype i = siblings.indexOf(const_cast<QWidget*>(w)) + 1; i < siblings.size(); ++i) {
      const QObject* child = siblings.at(i);
      if (!child->isWidgetType()) continue;
      const auto* sibling = static_cast<const QWidget*>(child);
      if (sibling->isWindow() || sibling->isHidden() || !sibling->geometry().intersects(area)) continue;
      if (changing.intersects(sibling->geometry().translated(bounds.topLeft() - area.topLeft()))) return false;
    }
    if (parent != native) area.translate(parent->pos());
  }
  return true;
}

}  // namespace

ServerFrames::ServerFrames(QWidget* control) : control_(control) {}

ServerFrames::~ServerFrames() {
  Clear();
  ReleaseGc();
}

bool ServerFrames::Available() {
  const QWidget* native = control_->nativeParentWidget();
  if (!native || !native->internalWinId()) return false;
  if (native->internalWinId() != window_ && !LookAtWindow()) return false;
  // At a fractional ratio Qt rounds the control's device rectangle its own way.
  const qreal ratio = control_->devicePixelRatioF();
  return usable_ && ratio == std::floor(ratio);
}

void ServerFrames::SetChangingArea(const QRegion& area) {
  if (area == changing_area_) return;
  changing_area_ = area;
  clip_set_ = false;
}

bool ServerFrames::CanShow() {
  if (!control_->isVisible() || !control_->updatesEnabled() || !Available()) return false;
  const QWidget* native = control_->nativeParentWidget();
  const QWindow* window = native->windowHandle();
  const QRegion changing = changing_area_.isEmpty() ? QRegion(control_->rect()) : changing_area_;
  return window && window->isExposed() && OnlyTheControlThere(control_, native, changing);
}

bool ServerFrames::LookAtWindow() {
  ReleaseGc();
  clip_set_ = false;
  window_ = static_cast<std::uint32_t>(control_->nativeParentWidget()->internalWinId());
  usable_ = false;
  connection_ = X11Connection();
  xcb_connection_t* connection = connection_;
  if (!connection) return false;
  xcb_get_window_attributes_reply_t* attributes =
      xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window_), nullptr);
  if (!attributes) return false;
  std::uint8_t depth = 0;
  const xcb_visualtype_t* visual = FindVisual(connection, attributes->visual, depth);
  std::free(attributes);
  if (!visual || !TakesRgb32Bytes(connection, *visual, depth)) {
    qCDebug(lcUi) << "frames are painted through Qt: the window's pixels are not 32-bit RGB";
    return false;
  }
  if (depth != depth_) Clear();
  depth_ = depth;
  gc_ = xcb_generate_id(connection);
  // No exposure events for the copies: the pixmaps are always whole.
  const std::uint32_t no_exposures = 0;
  xcb_create_gc(connection, gc_, window_, XCB_GC_GRAPHICS_EXPOSURES, &no_exposures);
  upload_gc_ = xcb_generate_id(connection);
  xcb_create_gc(connection, upload_gc_, window_, XCB_GC_GRAPHICS_EXPOSURES, &no_exposures);
  usable_ = true;
  return true;
}

void ServerFrames::ReleaseGc() {
  if (!gc_) return;
  if (xcb_connection_t* connection = X11Connection()) {
    xcb_free_gc(connection, gc_);
    xcb_free_gc(connection, upload_gc_);
  }
  gc_ = upload_gc_ = 0;
}

bool ServerFrames::Store(int key, const QImage& frame) {
  xcb_connection_t* connection = connection_;
  if (!usable_ || !connection || frame.format() != QImage::Format_RGB32 || frame.isNull()) return false;
  if (frame.size() != frame_size_) Clear();
  frame_size_ = frame.size();
  auto kept = pixmaps_.find(key);
  if (kept == pixmaps_.end()) {
    const std::uint32_t pixmap = xcb_generate_id(connection);
    const auto width = static_cast<std::uint16_t>(frame.width());
    const auto height = static_cast<std::uint16_t>(frame.height());
    if (xcb_generic_error_t* error =
            xcb_request_check(connection, xcb_create_pixmap_checked(connection, depth_, pixmap, window_, width, height))) {
      qCWarning(lcUi) << "the X server keeps no frame of" << frame.size() << "pixels: error" << error->error_code;
      std::free(error);
      return false;
    }
    kept = pixmaps_.emplace(key, pixmap).first;
  }
  // In strips that each fit one request.
  const int line_bytes = static_cast<int>(frame.bytesPerLine());
  const std::uint32_t request_bytes = xcb_get_maximum_request_length(connection) * 4u;
  const int header_bytes = sizeof(xcb_put_image_request_t);
  const int strip_lines = std::max(1, static_cast<int>((request_bytes - header_bytes) / line_bytes));
  for (int y = 0; y < frame.height(); y += strip_lines) {
    const int lines = std::min(strip_lines, frame.height() - y);
    xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, kept->second, upload_gc_, static_cast<std::uint16_t>(frame.width()),
                  static_cast<std::uint16_t>(lines), 0, static_cast<std::int16_t>(y), 0, depth_,
                  static_cast<std::uint32_t>(lines * line_bytes), frame.constScanLine(y));
  }
  return true;
}

void ServerFrames::Show(int key) {
  xcb_connection_t* connection = connection_;
  const auto kept = pixmaps_.find(key);
  if (!usable_ || !connection || kept == pixmaps_.end()) return;
  const int ratio = static_cast<int>(control_->devicePixelRatioF());
  const QPoint at = control_->mapTo(control_->nativeParentWidget(), QPoint(0, 0)) * ratio;
  ClipCopies(at, ratio);
  xcb_copy_area(connection, kept->second, window_, gc_, 0, 0, static_cast<std::int16_t>(at.x()),
                static_cast<std::int16_t>(at.y()), static_cast<std::uint16_t>(frame_size_.width()),
                static_cast<std::uint16_t>(frame_size_.height()));
  xcb_flush(connection);
  screen_ahead_ = true;
}

void ServerFrames::ClipCopies(const QPoint& at, int ratio) {
  if (clip_set_ && at == clip_at_) return;
  xcb_connection_t* connection = connection_;
  if (changing_area_.isEmpty()) {
    const std::uint32_t no_clip = XCB_NONE;
    xcb_change_gc(connection, gc_, XCB_GC_CLIP_MASK, &no_clip);
  } else {
    std::vector<xcb_rectangle_t> rectangles;
    for (const QRect& r : changing_area_) {
      rectangles.push_back({static_cast<std::int16_t>(r.x() * ratio), static_cast<std::int16_t>(r.y() * ratio),
                            static_cast<std::uint16_t>(r.width() * ratio), static_cast<std::uint16_t>(r.height() * ratio)});
    }
    xcb_set_clip_rectangles(connection, XCB_CLIP_ORDERING_UNSORTED, gc_, static_cast<std::int16_t>(at.x()),
                            static_cast<std::int16_t>(at.y()), static_cast<std::uint32_t>(rectangles.size()),
                            rectangles.data());
  }
  clip_set_ = true;
  clip_at_ = at;
}

void ServerFrames::Clear() {
  if (pixmaps_.empty()) return;
  if (xcb_connection_t* connection = X11Connection()) {
    for (const auto& [key, pixmap] : pixmaps_) xcb_free_pixmap(connection, pixmap);
  }
  pixmaps_.clear();
}

}  // namespace orvelle
