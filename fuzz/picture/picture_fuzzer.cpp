// Loads arbitrary bytes as a downloaded picture is loaded, converts the result for drawing,
// copies it, and writes PNG pictures back out. Every failure must be a PictureError; a PNG
// that loaded must load again after saving, with the same pixels.

#include "service/picture/picture_container.h"
#include "service/picture/picture_error.h"
#include "service/picture/png_graphic.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QBuffer buffer;
  buffer.setData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  buffer.open(QIODevice::ReadOnly);
  orvelle::PictureContainer picture;
  try {
    picture.LoadFromStream(buffer);
  } catch (const orvelle::PictureError&) {
    return 0;
  }
  orvelle::Graphic* graphic = picture.Graphic();
  if (!graphic) std::abort();
  QImage image;
  try {
    image = graphic->ToImage();
  } catch (const orvelle::PictureError&) {
    return 0;
  }
  if (!graphic->Empty() && (image.width() != graphic->Width() || image.height() != graphic->Height())) std::abort();

  orvelle::PictureContainer copy;
  copy.Assign(&picture);
  picture.Assign(static_cast<const orvelle::PictureContainer*>(nullptr));

  if (auto* png = dynamic_cast<orvelle::PngGraphic*>(copy.Graphic())) {
    QBuffer saved;
    saved.open(QIODevice::ReadWrite);
    png->SaveToStream(saved);
    orvelle::PngGraphic again;
    try {
      again.LoadFromBytes(saved.data());
    } catch (const orvelle::PictureError&) {
      std::abort();  // what was saved must load
    }
    const QImage before = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (again.ToImage().convertToFormat(QImage::Format_ARGB32_Premultiplied) != before) std::abort();
  }
  return 0;
}
