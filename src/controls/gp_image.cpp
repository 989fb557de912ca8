#include "controls/gp_image.h"

#include "service/error.h"
#include "service/log.h"
#include "toolkit/image_list.h"
#include "toolkit/theme.h"

#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace orvelle {
namespace {

constexpr int kMinAccelerationInterval = 5;    // ms
constexpr int kFastStepsUpToInterval = 20;     // ms: up to this interval a tick turns by the full step
constexpr double kAccelerationSpan = 30.0;     // ms of interval at the end of a turn

// Whether a picture kind carries its own alpha into the prepared picture; every other kind is
// drawn opaque.
bool KindKeepsAlpha(GraphicKind kind) { return kind == GraphicKind::Png || kind == GraphicKind::Icon; }

// Whether a picture kind takes the control's Transparent setting.
bool KindTakesTransparency(GraphicKind kind) { return kind != GraphicKind::Metafile && kind != GraphicKind::Icon; }

// Pixels of margin around the area where turned frames differ, for anti-aliased edges.
constexpr double kEdgeMargin = 2.0;
// Rows of one band of the region that covers an ellipse.
constexpr int kBandRows = 8;

// A region of few rectangles that covers the ellipse: bands of kBandRows rows, each as wide as
// the ellipse at the band's widest row.
QRegion EllipseBands(const QPointF& centre, double rx, double ry) {
  QRegion bands;
  const int top = static_cast<int>(std::floor(centre.y() - ry));
  const int bottom = static_cast<int>(std::ceil(centre.y() + ry));
  for (int y = top; y < bottom; y += kBandRows) {
    const int end = std::min(y + kBandRows, bottom);
    const double nearest = std::clamp(centre.y(), static_cast<double>(y), static_cast<double>(end));
    const double dy = (nearest - centre.y()) / ry;
    const double half = rx * std::sqrt(std::max(0.0, 1.0 - dy * dy));
    const int left = static_cast<int>(std::floor(centre.x() - half));
    const int right = static_cast<int>(std::ceil(centre.x() + half));
    bands += QRect(left, y, right - left, end - y);
  }
  return bands;
}

// The prepared picture at the size it is drawn at.
QImage ScaledFrom(const QImage& prepared, const QSize& size) {
  if (prepared.isNull() || prepared.size() == size || size.isEmpty()) return prepared;
  return prepared.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
      .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// The next angle of a turning step: 0 once the step passes the last angle of the turn.
int NextAngle(int angle, int step) {
  const int next = angle + step;
  return next > TscGPImage::kMaxAngle - step ? 0 : next;
}

}  // namespace

TscGPImage::TscGPImage(QWidget* parent) : TscPanel(parent) {
  SetCanEmpty(false);
  resize(kDefaultSize, kDefaultSize);
  picture_.OnChange = [this] {
    // The graphic's own transparency, set while preparing, leaves the picture as it came.
    if (!preparing_) picture_resource_.clear();
    PictureChanged();
  };
  connect(&coverage_, &WindowCoverage::CoveredChanged, this, &TscGPImage::UpdateAnimationTimer);
}

TscGPImage::~TscGPImage() { picture_.OnChange = nullptr; }

void TscGPImage::SetPicture(const PictureContainer* source) { picture_.Assign(source); }

void TscGPImage::LoadPictureResource(const QString& path) {
  if (path.isEmpty()) {
    picture_.Assign(static_cast<const PictureContainer*>(nullptr));
    return;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) throw Error(QStringLiteral("Cannot open file \"%1\"").arg(path));
  picture_.LoadFromStream(file);
  picture_resource_ = path;
}

void TscGPImage::SetPngImage(const QImage& image) {
  if (image == png_image_) return;
  png_image_ = image;
  PictureChanged();
}

void TscGPImage::SetImages(ImageList* images) {
  if (images == images_) return;
  images_ = images;
  PictureChanged();
}

void TscGPImage::SetImageIndex(int index) {
  if (index == image_index_) return;
  image_index_ = index;
  PictureChanged();
}

void TscGPImage::SetPictureOption(bool& field, bool value) {
  if (field == value) return;
  field = value;
  PictureChanged();
}

void TscGPImage::SetStretch(bool value) { SetPictureOption(stretch_, value); }
void TscGPImage::SetProportional(bool value) { SetPictureOption(proportional_, value); }
void TscGPImage::SetTransparent(bool value) { SetPictureOption(transparent_, value); }

void TscGPImage::SetPosition(TscGPImagePosition position) {
  if (position == position_) return;
  position_ = position;
  PictureChanged();
}

void TscGPImage::SetClipFrame(TscGPImageClipFrame frame) {
  if (frame == clip_frame_) return;
  clip_frame_ = frame;
  RePaintControl();
  NotifyChildrenBackground();
}

void TscGPImage::RepaintClipFrame() {
  if (clip_frame_ != scgpcfNone) RePaintControl();
}

void TscGPImage::SetClipFrameRadius(int radius) {
  if (radius < 0 || radius == clip_frame_radius_) return;
  clip_frame_radius_ = radius;
  RepaintClipFrame();
}

void TscGPImage::SetClipFrameFillColor(orvelle::Color color) {
  if (color == clip_frame_fill_color_) return;
  clip_frame_fill_color_ = color;
  RepaintClipFrame();
}

void TscGPImage::SetClipFrameFillColorAlpha(int alpha) {
  if (alpha < 0 || alpha > 255 || alpha == clip_frame_fill_color_alpha_) return;
  clip_frame_fill_color_alpha_ = alpha;
  RepaintClipFrame();
}

void TscGPImage::SetClipFrameColor(orvelle::Color color) {
  if (color == clip_frame_color_) return;
  clip_frame_color_ = color;
  RepaintClipFrame();
}

void TscGPImage::SetClipFrameWidth(int width) {
  if (width == clip_frame_width_) return;
  clip_frame_width_ = width;
  RepaintClipFrame();
}

void TscGPImage::SetRotationAngle(int angle) {
  if (angle < -kMaxAngle || angle > kMaxAngle || angle == rotation_angle_) return;
  rotation_angle_ = angle;
  if (!ShowServerFrame()) RePaintControl();
  NotifyChildrenBackground();
}

void TscGPImage::SetRotateAnimation(bool value) {
  if (value == RotateAnimation()) return;
  if (value) {
    animation_timer_ = new QTimer(this);
    animation_timer_->setInterval(kAnimationInterval);
    connect(animation_timer_, &QTimer::timeout, this, &TscGPImage::AnimationTick);
    UpdateAnimationTimer();
  } else {
    animation_timer_->stop();
    // Still at the turning angle, as the screen shows it.
    CatchUpBackingStore(true);
    delete animation_timer_;
    animation_timer_ = nullptr;
    // At rest the disc shows one face: the turn's frames are not needed until it turns again.
    DropFrames();
  }
}

void TscGPImage::UpdateAnimationTimer() {
  if (!animation_timer_) return;
  if (shown_ && !coverage_.Covered()) {
    if (!animation_timer_->isActive()) animation_timer_->start();
  } else {
    animation_timer_->stop();
    CatchUpBackingStore(false);
  }
}

void TscGPImage::CatchUpBackingStore(bool at_once) {
  if (!server_frames_.ScreenAhead()) return;
  at_once ? RePaintControl() : update();
}

// Qt sends these to the control when it or its window is shown or hidden, and when its window is
// minimised or restored (spontaneous events: the control stays "visible" meanwhile).
void TscGPImage::showEvent(QShowEvent* event) {
  TscPanel::showEvent(event);
  shown_ = true;
  coverage_.Watch();
  UpdateAnimationTimer();
}

void TscGPImage::hideEvent(QHideEvent* event) {
  TscPanel::hideEvent(event);
  shown_ = false;
  UpdateAnimationTimer();
}

double TscGPImage::AccelerationInterval() const {
  // Round half to even, the default rounding mode.
  const double interval = std::fabs(std::nearbyint(rotation_angle_ / 360.0 * kAccelerationSpan));
  return std::max(interval, static_cast<double>(kMinAccelerationInterval));
}

void TscGPImage::AnimationTick() {
  int interval = kAnimationInterval;
  int angle = 0;
  if (!animation_acceleration_) {
    angle = NextAngle(rotation_angle_, kAngleStep);
  } else {
    interval = static_cast<int>(AccelerationInterval());
    angle = interval <= kFastStepsUpToInterval ? NextAngle(rotation_angle_, kAngleStep)
                                               : NextAngle(rotation_angle_, kSlowAngleStep);
  }
  if (animation_timer_ && animation_timer_->interval() != interval) animation_timer_->setInterval(interval);
  SetRotationAngle(angle);
}

bool TscGPImage::ImageListHoldsIndex() const {
  return images_ && image_index_ >= 0 && image_index_ < images_->Count();
}

bool TscGPImage::HasCurrentPicture() const {
  return !png_image_.isNull() || ImageListHoldsIndex() || picture_.Graphic() != nullptr;
}

QSize TscGPImage::CurrentPictureSize() const {
  if (!png_image_.isNull()) return png_image_.size();
  if (ImageListHoldsIndex()) return images_->Image(image_index_).size();
  return QSize(picture_.Width(), picture_.Height());
}

// The current picture in drawing-ready form. PNG pictures and icons keep their alpha; the
// other kinds are opaque, as if rendered onto a plain bitmap.
QImage TscGPImage::CurrentPictureImage() const {
  if (!png_image_.isNull()) return png_image_;
  if (ImageListHoldsIndex()) return images_->Image(image_index_);
  const Graphic* graphic = picture_.Graphic();
  if (!graphic || graphic->Empty()) return QImage();
  QImage image = graphic->ToImage();
  if (!KindKeepsAlpha(graphic->Kind())) image = image.convertToFormat(QImage::Format_RGB32);
  return image;
}

void TscGPImage::PictureChanged() {
  // Setting the graphic's transparency below notifies the container again; that notice is part
  // of this change.
  if (preparing_) return;
  preparing_ = true;
  const QSize size = CurrentPictureSize();
  if (auto_size_ && size.width() > 0 && size.height() > 0) resize(size);
  if (Graphic* graphic = picture_.Graphic(); graphic && png_image_.isNull() && !ImageListHoldsIndex()) {
    if (KindTakesTransparency(graphic->Kind())) graphic->SetTransparent(transparent_);
  }
  ++picture_generation_;
  DropFrames();
  // Only the picture at the size it is drawn at is kept; the picture container holds the rest.
  const QImage prepared = PreparedPicture();
  picture_drawable_ = !prepared.isNull();
  scaled_ = ScaledFrom(prepared, FitPictureRect(rect()).size());
  preparing_ = false;
  if (!drawing_) {
    RePaintControl();
    NotifyChildrenBackground();
  }
}

QRect TscGPImage::FitPictureRect(const QRect& r) const {
  const int rw = r.width();
  const int rh = r.height();
  const QSize picture = CurrentPictureSize();
  const int pw = picture.width();
  const int ph = picture.height();
  int w = pw;
  int h = ph;
  if (stretch_ || (proportional_ && (pw > rw || ph > rh))) {
    if (proportional_ && pw > 0 && ph > 0) {
      const double ratio = static_cast<double>(pw) / ph;
      if (pw > ph) {
        w = rw;
        h = static_cast<int>(std::trunc(rw / ratio));
        if (h > rh) {
          h = rh;
          w = static_cast<int>(std::trunc(rh * ratio));
        }
      } else {
        h = rh;
        w = static_cast<int>(std::trunc(rh * ratio));
        if (w > rw) {
          w = rw;
          h = static_cast<int>(std::trunc(rw / ratio));
        }
      }
    } else {
      w = rw;
      h = rh;
    }
  }
  QRect fitted(0, 0, w, h);
  switch (position_) {
    case scgpipCenter:
      fitted.translate((rw - w) / 2, (rh - h) / 2);
      break;
    case scgpipRight:
      fitted.translate(rw - w, 0);
      break;
    case scgpipLeft:
      break;
  }
  return fitted.translated(r.topLeft());
}

int TscGPImage::DrawnAngle() const { return RotateAnimation() ? rotation_angle_ + 1 : rotation_angle_; }

QImage TscGPImage::PreparedPicture() const {
  try {
    QImage image = CurrentPictureImage();
    if (!image.isNull()) image = std::move(image).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return image;
  } catch (const Error& e) {
    // The picture is left out of the drawing; the backing and the ring still show.
    qCDebug(lcPicture) << "picture cannot be drawn:" << e.Message();
    return QImage();
  }
}

const QImage& TscGPImage::ScaledPicture(const QSize& size) {
  if (scaled_.size() != size) scaled_ = ScaledFrom(PreparedPicture(), size);
  return scaled_;
}

void TscGPImage::DrawPicture(QPainter& painter, const QRect& rect) {
  const QRect target = FitPictureRect(rect);
  if (target.isEmpty()) return;
  const QImage& picture = ScaledPicture(target.size());
  painter.save();
  // The picture's edges are cut by the clip (a plain pixel mask) or are the picture's own;
  // anti-aliasing them would only triple the cost of the turned draw.
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (rotation_angle_ != 0) {
    const QPointF centre(width() / 2.0, height() / 2.0);
    painter.translate(centre);
    painter.rotate(DrawnAngle());
    painter.translate(-centre);
  }
  painter.drawImage(target.topLeft(), picture);
  painter.restore();
}

QPainterPath TscGPImage::ClipShape(const QRectF& r) const {
  QPainterPath path;
  if (clip_frame_radius_ != 0 && clip_frame_ != scgpcfEllipse) {
    AddRoundedRectPath(path, r, clip_frame_radius_);
  } else if (clip_frame_ == scgpcfEllipse) {
    path.addEllipse(r);
  } else {
    path.addRect(r);
  }
  return path;
}

void TscGPImage::DrawClientArea(QPainter& painter, const QRect& rect, TscsCtrlState) {
  if (rect.isEmpty() || (clip_frame_ == scgpcfNone && !picture_drawable_)) {
    backdrop_.Release();
    return;
  }
  const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
  painter.drawImage(rect.topLeft(), Frame(rect, ratio, Backdrop(rect, ratio)));
  server_frames_.Settled();
}

const QImage& TscGPImage::Backdrop(const QRect& rect, qreal pixel_ratio) {
  static const QImage kSeeThrough;
  const bool own_background = StyleKind() != scpsTransparent && StyleKind() != scpsEmpty;
  if (own_background || rect != this->rect()) {
    backdrop_.Release();
    return kSeeThrough;
  }
  return backdrop_.Pixels(pixel_ratio);
}

TscGPImage::FrameSettings TscGPImage::CurrentFrameSettings(const QRect& rect, qreal pixel_ratio,
                                                           const QImage& under) const {
  FrameSettings settings;
  settings.rect = rect;
  settings.pixel_ratio = pixel_ratio;
  settings.backdrop_key = under.cacheKey();
  settings.picture_key = picture_generation_;
  if (picture_drawable_) settings.picture_rect = FitPictureRect(rect);
  settings.clip_frame = clip_frame_;
  if (clip_frame_ != scgpcfNone) {
    const bool themed = UsesStyle(seClient);
    settings.radius = clip_frame_radius_;
    settings.ring_width = clip_frame_width_;
    settings.fill = ResolveColor(clip_frame_fill_color_, themed, static_cast<std::uint8_t>(clip_frame_fill_color_alpha_)).rgba();
    settings.ring_drawn = !clip_frame_color_.IsNone();
    if (settings.ring_drawn) settings.ring = ResolveColor(clip_frame_color_, themed).rgba();
  }
  return settings;
}

void TscGPImage::DropFrames() {
  frames_.clear();
  unkept_frame_ = QImage();
  server_frames_.Clear();
}

int TscGPImage::FrameAngle() const { return rotation_angle_ != 0 ? DrawnAngle() : 0; }

bool TscGPImage::ShowServerFrame() {
  if (!RotateAnimation() || !server_frames_.CanShow()) return false;
  const QImage& under = backdrop_.Current();
  const QRect whole = rect();
  const qreal ratio = devicePixelRatioF();
  if (under.isNull() || under.devicePixelRatio() != ratio) return false;
  // Settings that changed since the last paint call for Qt's paint, which drops the old frames.
  if (!(CurrentFrameSettings(whole, ratio, under) == frame_settings_)) return false;
  const int angle = FrameAngle();
  if (!server_frames_.Has(angle) && !StoreServerFrame(angle, ComposeFrame(whole, ratio, under))) return false;
  server_frames_.Show(angle);
  // The server has the frames from now on.
  frames_.clear();
  return true;
}

bool TscGPImage::StoreServerFrame(int angle, const QImage& frame) {
  // Angles set from outside beyond those of a turn are painted through Qt.
  return server_frames_.Count() < kMaxServerFrames && server_frames_.Store(angle, frame);
}

QRegion TscGPImage::ChangingArea() const {
  const QRect whole = rect();
  if (clip_frame_ != scgpcfEllipse) return whole;
  // The clip ellipse is inscribed in the control shrunk by 1 pixel; an opaque ring covers its edge
  // from half a pen inside the ring's ellipse.
  double rx = (width() - 2) / 2.0;
  double ry = (height() - 2) / 2.0;
  if (!clip_frame_color_.IsNone() && clip_frame_width_ > 0) {
    rx = std::min(rx, (width() - clip_frame_width_) / 2.0 - clip_frame_width_ / 2.0);
    ry = std::min(ry, (height() - clip_frame_width_) / 2.0 - clip_frame_width_ / 2.0);
  }
  return EllipseBands(QPointF(width() / 2.0, height() / 2.0), rx + kEdgeMargin, ry + kEdgeMargin) & whole;
}

const QImage& TscGPImage::Frame(const QRect& rect, qreal pixel_ratio, const QImage& under) {
  const FrameSettings settings = CurrentFrameSettings(rect, pixel_ratio, under);
  if (!(settings == frame_settings_)) {
    DropFrames();
    frame_settings_ = settings;
    server_frames_.SetChangingArea(ChangingArea());
  }
  const int angle = FrameAngle();
  if (const auto kept = frames_.find(angle); kept != frames_.end()) return kept->second;

  QImage frame = ComposeFrame(rect, pixel_ratio, under);
  // While the X server keeps the opaque frames and shows them, the program keeps only the one it
  // painted.
  if (!under.isNull() && RotateAnimation() && server_frames_.CanShow() &&
      (server_frames_.Has(angle) || StoreServerFrame(angle, frame))) {
    unkept_frame_ = std::move(frame);
    return unkept_frame_;
  }
  // Angles set from outside, or the half steps of an accelerated turn, beyond what is kept are
  // drawn each time.
  if (static_cast<int>(frames_.size()) >= kMaxKeptFrames) {
    unkept_frame_ = std::move(frame);
    return unkept_frame_;
  }
  return frames_.emplace(angle, std::move(frame)).first->second;
}

QImage TscGPImage::ComposeFrame(const QRect& rect, qreal pixel_ratio, const QImage& under) {
  QImage frame(rect.size() * pixel_ratio, QImage::Format_ARGB32_Premultiplied);
  frame.setDevicePixelRatio(pixel_ratio);
  frame.fill(Qt::transparent);
  {
    QPainter face(&frame);
    face.translate(-rect.topLeft());
    DrawFace(face, rect);
  }
  ++drawn_frames_;
  if (!under.isNull()) {
    // Composed as Qt composes the see-through face over the parent, so the pixels are the same.
    QImage composed = under.copy();
    QPainter(&composed).drawImage(QPoint(0, 0), frame);
    frame = std::move(composed);
  }
  return frame;
}

void TscGPImage::DrawFace(QPainter& painter, const QRect& rect) {
  const bool has_picture = picture_drawable_;
  if (clip_frame_ == scgpcfNone) {
    if (has_picture) DrawPicture(painter, rect);
    return;
  }
  painter.setRenderHint(QPainter::Antialiasing);
  const bool themed = UsesStyle(seClient);

  const QRectF shape_rect = ToGPRectF(rect.adjusted(1, 1, -1, -1));
  const QPainterPath shape = ClipShape(shape_rect);
  painter.fillPath(shape, ResolveColor(clip_frame_fill_color_, themed, static_cast<std::uint8_t>(clip_frame_fill_color_alpha_)));

  if (has_picture) {
    drawing_ = true;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);  // the clip is a plain pixel mask
    painter.setClipPath(shape);
    DrawPicture(painter, rect);
    painter.restore();
    drawing_ = false;
  }

  if (!clip_frame_color_.IsNone()) {
    QRectF ring_rect = ToGPRectF(rect);
    if (clip_frame_width_ > 0) InflateGPRectF(ring_rect, -clip_frame_width_ / 2.0, -clip_frame_width_ / 2.0);
    QPen pen(ResolveColor(clip_frame_color_, themed));  // the ring is always opaque
    pen.setWidthF(clip_frame_width_);
    painter.strokePath(ClipShape(ring_rect), pen);
  }
}

void TscGPImage::ScalePixelOptions(int m, int d) {
  clip_frame_width_ = MulDiv(clip_frame_width_, m, d);
  clip_frame_radius_ = MulDiv(clip_frame_radius_, m, d);
}

}  // namespace orvelle
