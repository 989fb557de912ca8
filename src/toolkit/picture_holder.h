#pragma once

#include "toolkit/control.h"

#include <QImage>

namespace orvelle {

// The toolkit's plain picture holder: shows its picture at the top-left corner, or scaled to
// the whole control with Stretch.
class PictureHolder : public Control {
  Q_OBJECT
  Q_PROPERTY(QImage Picture READ Picture WRITE SetPicture)
  Q_PROPERTY(bool Stretch READ Stretch WRITE SetStretch)

 public:
  explicit PictureHolder(QWidget* parent = nullptr);

  const QImage& Picture() const { return picture_; }
  void SetPicture(const QImage& picture);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);

 signals:
  void OnChange(QObject* sender);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
  bool stretch_ = false;
};

}  // namespace orvelle
