#pragma once

#include "service/picture/graphic.h"

namespace orvelle {

// A Windows BMP picture, held decoded as an opaque 32-bit image.
class BitmapGraphic : public Graphic {
 public:
  GraphicKind Kind() const override { return GraphicKind::Bitmap; }
  const char* ClassName() const override { return "BitmapGraphic"; }
  int Width() const override { return image_.width(); }
  int Height() const override { return image_.height(); }

  // Nothing left to read, or 14 bytes there starting with "BM".
  static bool CanLoadFromStream(QIODevice& stream);

  // An empty buffer gives an empty bitmap; faults give "Bitmap image is not valid".
  void LoadFromBytes(const QByteArray& bytes) override;
  QImage ToImage() const override { return image_; }
  std::unique_ptr<Graphic> Clone() const override;

 private:
  QImage image_;
};

}  // namespace orvelle
