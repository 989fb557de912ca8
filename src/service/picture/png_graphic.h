#pragma once

#include "service/picture/graphic.h"
#include "service/picture/png_codec.h"

namespace orvelle {

// A PNG picture: its chunks and its decoded samples.
class PngGraphic : public Graphic {
 public:
  GraphicKind Kind() const override { return GraphicKind::Png; }
  const char* ClassName() const override { return "PngGraphic"; }
  int Width() const override { return static_cast<int>(picture_.width); }
  int Height() const override { return static_cast<int>(picture_.height); }

  // Whether the bytes at the stream's position start with the PNG signature.
  static bool CanLoadFromStream(QIODevice& stream);

  void LoadFromBytes(const QByteArray& bytes) override;
  void SaveToStream(QIODevice& stream) const override;
  QImage ToImage() const override;
  std::unique_ptr<Graphic> Clone() const override;

  const PngPicture& Picture() const { return picture_; }

 private:
  PngPicture picture_;
};

}  // namespace orvelle
