#pragma once

#include "service/picture/graphic.h"

namespace orvelle {

// An enhanced or placeable Windows metafile. Such files are recognised, but there is no
// metafile player on this platform: loading fails with "Metafile is not valid".
class MetafileGraphic : public Graphic {
 public:
  GraphicKind Kind() const override { return GraphicKind::Metafile; }
  const char* ClassName() const override { return "MetafileGraphic"; }
  int Width() const override { return 0; }
  int Height() const override { return 0; }

  // An enhanced metafile header (record type 1 with " EMF" at offset 40, more than 108
  // bytes), or a placeable metafile header whose checksum matches.
  static bool CanLoadFromStream(QIODevice& stream);

  void LoadFromBytes(const QByteArray& bytes) override;
  // A metafile cannot become a plain bitmap: fails with "Cannot assign a ... to a ...".
  QImage ToImage() const override;
  std::unique_ptr<Graphic> Clone() const override;
};

}  // namespace orvelle
