#pragma once

#include "service/picture/graphic.h"

namespace orvelle {

// Listed in the format registry for an OLE picture, but never chosen for a buffer: its
// recognition test always answers no, and loading fails with "Unsupported stream format".
class OlePictureGraphic : public Graphic {
 public:
  GraphicKind Kind() const override { return GraphicKind::OlePicture; }
  const char* ClassName() const override { return "OlePictureGraphic"; }
  int Width() const override { return 0; }
  int Height() const override { return 0; }

  static bool CanLoadFromStream(QIODevice&) { return false; }

  void LoadFromBytes(const QByteArray& bytes) override;
  QImage ToImage() const override { return QImage(); }
  std::unique_ptr<Graphic> Clone() const override;
};

}  // namespace orvelle
