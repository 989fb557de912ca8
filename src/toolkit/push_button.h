#pragma once

#include "toolkit/control.h"
#include "toolkit/image_list.h"

#include <QPointer>
#include <QString>

namespace orvelle {

// The toolkit's standard push button: a caption and an image from an image list. The image shows
// ImageIndex normally, HotImageIndex while the pointer is over the button (or it is pressed),
// PressedImageIndex while it is pressed; an index of -1 falls back to the next plainer one. A
// disabled button shows ImageIndex dimmed, whether the pointer is over it or not. The image sits
// at the left of the button, vertically centred, and the caption is centred right of it, so
// controls laid over the middle of a wide button leave its image visible. Clicks on a left press and
// release inside, on Space released and on Enter while it has the focus. It takes the focus on a
// click and is a tab stop.
class PushButton : public Control {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(orvelle::ImageList* Images READ Images WRITE SetImages)
  Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
  Q_PROPERTY(int HotImageIndex READ HotImageIndex WRITE SetHotImageIndex)
  Q_PROPERTY(int PressedImageIndex READ PressedImageIndex WRITE SetPressedImageIndex)

 public:
  explicit PushButton(QWidget* parent = nullptr);

  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  // The image list the images come from (none when it is destroyed). The button repaints when
  // the list's content changes.
  ImageList* Images() const { return images_; }
  void SetImages(ImageList* images);
  int ImageIndex() const { return image_index_; }
  void SetImageIndex(int index);
  int HotImageIndex() const { return hot_image_index_; }
  void SetHotImageIndex(int index);
  int PressedImageIndex() const { return pressed_image_index_; }
  void SetPressedImageIndex(int index);

  bool Hot() const { return hot_; }
  bool Pressed() const { return (pressed_ && hot_) || space_down_; }
  // The image index drawn in the current state: ImageIndex when disabled; otherwise pressed,
  // then hot, then the plain index.
  int CurrentImageIndex() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:

  QString caption_;
  QPointer<ImageList> images_;
  int image_index_ = -1;
  int hot_image_index_ = -1;
  int pressed_image_index_ = -1;
  bool hot_ = false;
  bool pressed_ = false;
  bool space_down_ = false;
};

}  // namespace orvelle
