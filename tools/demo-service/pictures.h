#pragma once

#include "catalogue.h"

#include <QImage>

#include <map>
#include <string>
#include <string_view>

namespace orvelle::demo {

struct EncodedPicture {
  std::string mediaType;
  std::string bytes;
};

// Cover of a song: a gradient in colours chosen from the song's id, a few shapes, the title and
// the singer's name. Covers that are served as PNG get transparent rounded corners and a
// translucent band, so their alpha channel matters.
QImage drawCover(const Song& song, const Singer& singer, PictureFormat format);
// A singer's picture: a gradient disc with the singer's initial; transparent outside the disc
// when served as PNG or GIF.
QImage drawSingerPicture(const Singer& singer, PictureFormat format);

// The image in the given format: PNG keeps the alpha channel, JPEG drops it over white, GIF is
// reduced to a fixed palette with ordered dithering and one transparent index.
// Throws orvelle::Error when the encoder fails.
std::string encodePicture(const QImage& image, PictureFormat format);

// Every cover and singer picture of the catalogue, drawn and encoded once, found by the path
// the answers name them with. Needs a QGuiApplication (text drawing uses the font database).
class PictureStore {
 public:
  explicit PictureStore(const Catalogue& catalogue);

  const EncodedPicture* find(std::string_view path) const;
  size_t size() const { return pictures_.size(); }

 private:
  std::map<std::string, EncodedPicture, std::less<>> pictures_;
};

}  // namespace orvelle::demo
