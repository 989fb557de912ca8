#pragma once

#include "service/picture/graphic.h"

#include <QString>

#include <memory>
#include <vector>

class QIODevice;

namespace orvelle {

// One entry of the process-wide picture format list.
struct PictureFormat {
  QString extension;    // lower case; empty for a kind without a file extension
  QString description;
  GraphicKind kind;
  bool (*canLoadFromStream)(QIODevice& stream);  // restores the stream position
  std::unique_ptr<Graphic> (*create)();
};

// The registry, in the order its entries were added (TIFF first, GIF last).
const std::vector<PictureFormat>& PictureFormats();

// The format whose test accepts the bytes at the stream's position, asking the entries
// from the last to the first; nullptr when none does.
const PictureFormat* FindPictureFormat(QIODevice& stream);

// An empty graphic of the kind.
std::unique_ptr<Graphic> CreateGraphic(GraphicKind kind);

}  // namespace orvelle
