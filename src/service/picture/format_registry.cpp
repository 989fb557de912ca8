#include "service/picture/format_registry.h"

#include "service/picture/bitmap_graphic.h"
#include "service/picture/gif_graphic.h"
#include "service/picture/icon_graphic.h"
#include "service/picture/jpeg_graphic.h"
#include "service/picture/metafile_graphic.h"
#include "service/picture/unsupported_graphic.h"
#include "service/picture/png_graphic.h"

namespace orvelle {

namespace {

template <typename T>
std::unique_ptr<Graphic> Make() {
  return std::make_unique<T>();
}

template <typename T>
PictureFormat Entry(const char* extension, const char* description, GraphicKind kind) {
  return PictureFormat{QString::fromLatin1(extension).toLower(), QString::fromLatin1(description), kind,
                       &T::CanLoadFromStream, &Make<T>};
}

std::vector<PictureFormat> BuildRegistry() {
  std::vector<PictureFormat> formats;
  // The built-in kinds, created together on first use.
  formats.push_back(Entry<TiffGraphic>("tiff", "TIFF Images", GraphicKind::Tiff));
  formats.push_back(Entry<TiffGraphic>("tif", "TIFF Images", GraphicKind::Tiff));
  formats.push_back(Entry<MetafileGraphic>("wmf", "Metafiles", GraphicKind::Metafile));
  formats.push_back(Entry<MetafileGraphic>("emf", "Enhanced Metafiles", GraphicKind::Metafile));
  formats.push_back(Entry<IconGraphic>("ico", "Icons", GraphicKind::Icon));
  formats.push_back(Entry<BitmapGraphic>("bmp", "Bitmaps", GraphicKind::Bitmap));
  // The kinds that the decoder units add, in their start-up order.
  formats.push_back(Entry<PngGraphic>("png", "Portable Network Graphics", GraphicKind::Png));
  formats.push_back(Entry<JpegGraphic>("jpeg", "JPEG Image File", GraphicKind::Jpeg));
  formats.push_back(Entry<JpegGraphic>("jpg", "JPEG Image File", GraphicKind::Jpeg));
  formats.push_back(Entry<OlePictureGraphic>("", "", GraphicKind::OlePicture));
  formats.push_back(Entry<GifGraphic>("gif", "GIF Image", GraphicKind::Gif));
  return formats;
}

}  // namespace

const std::vector<PictureFormat>& PictureFormats() {
  static const std::vector<PictureFormat> formats = BuildRegistry();
  return formats;
}

const PictureFormat* FindPictureFormat(QIODevice& stream) {
  const auto& formats = PictureFormats();
  for (auto it = formats.rbegin(); it != formats.rend(); ++it) {
    if (it->canLoadFromStream(stream)) return &*it;
  }
  return nullptr;
}

std::unique_ptr<Graphic> CreateGraphic(GraphicKind kind) {
  for (const PictureFormat& format : PictureFormats())
    if (format.kind == kind) return format.create();
  return nullptr;
}

}  // namespace orvelle
