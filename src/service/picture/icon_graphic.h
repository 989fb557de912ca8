#pragma once

#include "service/picture/graphic.h"

namespace orvelle {

// A Windows icon file. Its bytes are kept; the largest of its images is decoded at load
// and is the one drawn, with its alpha (BMP images with XOR and AND masks or 32-bit
// alpha, or PNG images).
class IconGraphic : public Graphic {
 public:
  GraphicKind Kind() const override { return GraphicKind::Icon; }
  const char* ClassName() const override { return "IconGraphic"; }
  int Width() const override { return image_.width(); }
  int Height() const override { return image_.height(); }

  // Six bytes there, the first two zero, and the next 16-bit value 0 or 1.
  static bool CanLoadFromStream(QIODevice& stream);

  // Faults give "Icon image is not valid".
  void LoadFromBytes(const QByteArray& bytes) override;
  // Writes the icon file as it was read.
  void SaveToStream(QIODevice& stream) const override;
  QImage ToImage() const override { return image_; }
  std::unique_ptr<Graphic> Clone() const override;

  int ImageCount() const { return imageCount_; }

 private:
  QByteArray bytes_;
  QImage image_;
  int imageCount_ = 0;
};

}  // namespace orvelle
