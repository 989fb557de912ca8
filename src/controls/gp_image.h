#pragma once

#include "controls/panel.h"
#include "controls/parent_backdrop.h"
#include "controls/server_frames.h"
#include "controls/window_coverage.h"
#include "service/picture/picture_container.h"
#include "toolkit/image_list.h"

#include <QImage>
#include <QPointer>
#include <QRect>

#include <map>

class QTimer;

namespace orvelle {


// A picture fitted into the control, optionally cut to an ellipse or a rounded rectangle over a
// filled backing with a ring drawn on top, optionally turned about the control's centre, and
// optionally turning by itself: 10 degrees every 40 ms, like a record.
//
// The current picture is PngImage when it holds one, else the entry ImageIndex of Images when
// the list holds it, else the graphic of Picture (possibly none). Every change of the current
// picture prepares it once for drawing (PictureChanged); a frame only scales, turns and clips
// the prepared copy.
//
// A turning disc shows one of a few angles (whole tens of degrees, plus one while turning), so
// each angle's face (backing, clipped turned picture and ring) is drawn once into a frame kept for
// the current picture and settings; a turning step then costs a copy of its frame. While nothing
// but its parent's own plain painting lies under the see-through control (see ParentBackdrop),
// each frame is composed over those pixels once and the control paints opaque, so that a step
// does not repaint the parent under it either. On an X server, such opaque frames are kept by the
// server (ServerFrames) instead of the program, and a turning step is one copy request that skips
// Qt's repaint machinery; the program then keeps only the frame it painted last. The turning
// timer rests while the control is not shown (hidden, or its window minimised) and runs on when it
// shows again, from the angle where it stopped.
class TscGPImage : public TscPanel {
  Q_OBJECT
  // A picture resource decoded into Picture (empty text: no picture). Reads back the resource
  // last loaded this way, empty once the picture changed otherwise.
  Q_PROPERTY(QString Picture READ PictureResource WRITE LoadPictureResource)
  Q_PROPERTY(QImage PngImage READ PngImage WRITE SetPngImage)
  Q_PROPERTY(orvelle::ImageList* Images READ Images WRITE SetImages)
  Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
  Q_PROPERTY(bool Stretch READ Stretch WRITE SetStretch)
  Q_PROPERTY(bool Proportional READ Proportional WRITE SetProportional)
  Q_PROPERTY(orvelle::TscGPImage::TscGPImagePosition Position READ Position WRITE SetPosition)
  Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
  Q_PROPERTY(bool IncrementalDisplay READ IncrementalDisplay WRITE SetIncrementalDisplay)
  Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
  Q_PROPERTY(orvelle::TscGPImage::TscGPImageClipFrame ClipFrame READ ClipFrame WRITE SetClipFrame)
  Q_PROPERTY(int ClipFrameRadius READ ClipFrameRadius WRITE SetClipFrameRadius)
  Q_PROPERTY(orvelle::Color ClipFrameFillColor READ ClipFrameFillColor WRITE SetClipFrameFillColor)
  Q_PROPERTY(int ClipFrameFillColorAlpha READ ClipFrameFillColorAlpha WRITE SetClipFrameFillColorAlpha)
  Q_PROPERTY(orvelle::Color ClipFrameColor READ ClipFrameColor WRITE SetClipFrameColor)
  Q_PROPERTY(int ClipFrameWidth READ ClipFrameWidth WRITE SetClipFrameWidth)
  Q_PROPERTY(int RotationAngle READ RotationAngle WRITE SetRotationAngle)
  Q_PROPERTY(bool RotateAnimation READ RotateAnimation WRITE SetRotateAnimation)
  Q_PROPERTY(bool AnimationAcceleration READ AnimationAcceleration WRITE SetAnimationAcceleration)

 public:
  enum TscGPImagePosition { scgpipLeft, scgpipRight, scgpipCenter };
  Q_ENUM(TscGPImagePosition)
  enum TscGPImageClipFrame { scgpcfNone, scgpcfRoundedRect, scgpcfEllipse };
  Q_ENUM(TscGPImageClipFrame)

  static constexpr int kDefaultSize = 105;
  static constexpr int kAnimationInterval = 40;  // ms between turning steps
  static constexpr int kAngleStep = 10;          // degrees per step
  static constexpr int kSlowAngleStep = 5;       // degrees per step on the slow part of an accelerated turn
  static constexpr int kMaxAngle = 360;
  // Frames kept at most: a whole turn of 10-degree steps and the upright face.
  static constexpr int kMaxKeptFrames = kMaxAngle / kAngleStep + 1;
  // Frames the X server keeps at most: a whole accelerated turn, whose slow part takes half steps.
  static constexpr int kMaxServerFrames = 2 * kMaxKeptFrames;

  explicit TscGPImage(QWidget* parent = nullptr);
  ~TscGPImage() override;

  // The control's own picture container. Loading into it, assigning to it or clearing it runs
  // PictureChanged.
  PictureContainer* Picture() { return &picture_; }
  const PictureContainer* Picture() const { return &picture_; }
  // Copies the source's graphic into the control's own container (nullptr: no picture).
  void SetPicture(const PictureContainer* source);
  QString PictureResource() const { return picture_resource_; }
  // Decodes the resource (or file) into Picture; fails with the decoder's PictureError.
  void LoadPictureResource(const QString& path);

  const QImage& PngImage() const { return png_image_; }
  void SetPngImage(const QImage& image);
  ImageList* Images() const { return images_; }
  void SetImages(ImageList* images);
  int ImageIndex() const { return image_index_; }
  void SetImageIndex(int index);

  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);
  bool Proportional() const { return proportional_; }
  void SetProportional(bool value);
  TscGPImagePosition Position() const { return position_; }
  void SetPosition(TscGPImagePosition position);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  // Stored only: pictures are decoded whole, so there is no loading progress to show.
  bool IncrementalDisplay() const { return incremental_display_; }
  void SetIncrementalDisplay(bool value) { incremental_display_ = value; }
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool value) { auto_size_ = value; }

  TscGPImageClipFrame ClipFrame() const { return clip_frame_; }
  void SetClipFrame(TscGPImageClipFrame frame);
  int ClipFrameRadius() const { return clip_frame_radius_; }
  void SetClipFrameRadius(int radius);
  orvelle::Color ClipFrameFillColor() const { return clip_frame_fill_color_; }
  void SetClipFrameFillColor(orvelle::Color color);
  int ClipFrameFillColorAlpha() const { return clip_frame_fill_color_alpha_; }
  void SetClipFrameFillColorAlpha(int alpha);
  orvelle::Color ClipFrameColor() const { return clip_frame_color_; }
  void SetClipFrameColor(orvelle::Color color);
  int ClipFrameWidth() const { return clip_frame_width_; }
  void SetClipFrameWidth(int width);

  int RotationAngle() const { return rotation_angle_; }
  // Angles outside -360...360 are ignored.
  void SetRotationAngle(int angle);
  bool RotateAnimation() const { return animation_timer_ != nullptr; }
  void SetRotateAnimation(bool value);
  bool AnimationAcceleration() const { return animation_acceleration_; }
  void SetAnimationAcceleration(bool value) { animation_acceleration_ = value; }
  // The turning timer, present only while RotateAnimation is on; it runs only while the control
  // is shown and its window not fully covered.
  const QTimer* AnimationTimer() const { return animation_timer_; }
  // How many angles' frames are kept (by the program or the X server), and how many frames have
  // been drawn in all.
  int KeptFrameCount() const { return static_cast<int>(frames_.size()) + server_frames_.Count(); }
  // Of those, the frames the X server keeps.
  int ServerFrameCount() const { return server_frames_.Count(); }
  int DrawnFrameCount() const { return drawn_frames_; }
  // One step of the turning timer: the next angle, and with acceleration the next interval.
  void AnimationTick();

  // Size of the current picture (0 x 0 without one).
  QSize CurrentPictureSize() const;
  // Where the current picture lands inside r (see the rules of Stretch, Proportional, Position).
  QRect FitPictureRect(const QRect& r) const;
  // Rebuilds the prepared picture from the current one and repaints.
  void PictureChanged();

 protected:
  QAccessible::Role AccessibleRole() const override { return QAccessible::Graphic; }
  void DrawClientArea(QPainter& painter, const QRect& rect, TscsCtrlState state) override;
  // The ring's width and the corner radius.
  void ScalePixelOptions(int m, int d) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  bool HasCurrentPicture() const;
  bool ImageListHoldsIndex() const;
  QImage CurrentPictureImage() const;
  void SetPictureOption(bool& field, bool value);
  void RepaintClipFrame();
  // The drawing angle: one degree more while turning, so that angle 0 of a turn is never drawn
  // the same as the upright picture at rest.
  int DrawnAngle() const;
  void DrawPicture(QPainter& painter, const QRect& rect);
  // The current picture prepared for drawing: premultiplied, opaque unless its kind has alpha;
  // null when there is none or it cannot be drawn.
  QImage PreparedPicture() const;
  // The prepared picture scaled to the size it is drawn at, kept until either changes.
  const QImage& ScaledPicture(const QSize& size);
  // The face at the current angle: backing, clipped turned picture, ring (see DrawClientArea).
  void DrawFace(QPainter& painter, const QRect& rect);
  // What the face is composed over: the parent's pixels while the face is all the control paints
  // over them (no background or border of its own), else a null image (see-through).
  const QImage& Backdrop(const QRect& rect, qreal pixel_ratio);
  // The face at the current angle over `under` (when not null) from the kept frames, drawing it
  // first when none is kept.
  const QImage& Frame(const QRect& rect, qreal pixel_ratio, const QImage& under);
  // The face at the current angle over `under`, drawn now.
  QImage ComposeFrame(const QRect& rect, qreal pixel_ratio, const QImage& under);
  // The angle a frame is kept under: the drawn angle, 0 upright.
  int FrameAngle() const;
  // Puts the frame of the current angle on screen through the X server when the frames kept there
  // are current and the control shows exactly where they land; false when the control must
  // repaint through Qt.
  bool ShowServerFrame();
  // Where frames of different angles differ (inside the clip ellipse and short of its opaque
  // ring); the whole control for the other clip frames.
  QRegion ChangingArea() const;
  // Has the X server keep the frame of the angle, within kMaxServerFrames.
  bool StoreServerFrame(int angle, const QImage& frame);
  // After frames went to the screen past Qt's backing store: has Qt paint the control again (at
  // once or at its next paint), so that what Qt flushes later is what the screen shows.
  void CatchUpBackingStore(bool at_once);
  // Everything but the angle that a kept frame was drawn with; frames are dropped when it changes.
  struct FrameSettings {
    QRect rect;
    qreal pixel_ratio = 0;
    qint64 picture_key = 0;
    QRect picture_rect;
    TscGPImageClipFrame clip_frame = scgpcfNone;
    int radius = 0;
    int ring_width = 0;
    QRgb fill = 0;
    QRgb ring = 0;
    bool ring_drawn = false;
    qint64 backdrop_key = 0;
    bool operator==(const FrameSettings&) const = default;
  };
  FrameSettings CurrentFrameSettings(const QRect& rect, qreal pixel_ratio, const QImage& under) const;
  void DropFrames();
  // Runs the turning timer while the animation is on, the control is shown and its window is not
  // fully covered.
  void UpdateAnimationTimer();
  QPainterPath ClipShape(const QRectF& r) const;
  double AccelerationInterval() const;

  PictureContainer picture_;
  QString picture_resource_;
  QImage png_image_;
  QPointer<ImageList> images_;
  int image_index_ = -1;
  // Whether the current picture can be drawn, and a number that changes with it.
  bool picture_drawable_ = false;
  qint64 picture_generation_ = 0;
  QImage scaled_;
  bool stretch_ = false;
  bool proportional_ = false;
  TscGPImagePosition position_ = scgpipLeft;
  bool transparent_ = false;
  bool incremental_display_ = false;
  bool auto_size_ = false;
  TscGPImageClipFrame clip_frame_ = scgpcfNone;
  int clip_frame_radius_ = 10;
  orvelle::Color clip_frame_fill_color_ = clWindow;
  int clip_frame_fill_color_alpha_ = 255;
  orvelle::Color clip_frame_color_ = clBtnFace;
  int clip_frame_width_ = 2;
  int rotation_angle_ = 0;
  bool animation_acceleration_ = false;
  QTimer* animation_timer_ = nullptr;
  std::map<int, QImage> frames_;  // by drawn angle
  QImage unkept_frame_;           // the last frame drawn beyond those kept
  FrameSettings frame_settings_;
  int drawn_frames_ = 0;
  bool drawing_ = false;
  bool preparing_ = false;
  bool shown_ = false;  // between a show event and a hide event
  ParentBackdrop backdrop_{this};
  ServerFrames server_frames_{this};
  WindowCoverage coverage_{this};
};

}  // namespace orvelle
