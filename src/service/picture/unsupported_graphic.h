#pragma once

#include "service/picture/graphic.h"
#include "service/picture/picture_error.h"

namespace orvelle {

// A kind listed in the format registry (a TIFF picture, an OLE picture) but never chosen for a
// buffer: its recognition test always answers no, and loading fails with "Unsupported stream format".
template <GraphicKind kKind>
class UnsupportedGraphic : public Graphic {
 public:
  GraphicKind Kind() const override { return kKind; }
  const char* ClassName() const override { return kKind == GraphicKind::Tiff ? "TiffGraphic" : "OlePictureGraphic"; }
  int Width() const override { return 0; }
  int Height() const override { return 0; }

  static bool CanLoadFromStream(QIODevice&) { return false; }

  void LoadFromBytes(const QByteArray&) override { throw PictureError(QStringLiteral("Unsupported stream format")); }
  QImage ToImage() const override { return QImage(); }
  std::unique_ptr<Graphic> Clone() const override {
    auto copy = std::make_unique<UnsupportedGraphic>();
    copy->CopyBaseSettingsFrom(*this);
    return copy;
  }
};

using TiffGraphic = UnsupportedGraphic<GraphicKind::Tiff>;
using OlePictureGraphic = UnsupportedGraphic<GraphicKind::OlePicture>;

}  // namespace orvelle
