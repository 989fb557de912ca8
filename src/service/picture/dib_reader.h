#pragma once

#include <QImage>

#include <cstddef>
#include <cstdint>

namespace orvelle {

// Decodes a device-independent bitmap (the part of a BMP file after its file header, and
// the image format inside icon files) into a Format_ARGB32 image.
struct DibSource {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t headerOffset = 0;  // where the BITMAPCOREHEADER / BITMAPINFOHEADER starts
  size_t bitsOffset = 0;    // where the pixels start; 0: right after the colour table
  bool icon = false;        // icon image: half height, AND mask after the pixels, alpha kept
};

// Throws PictureError(invalidMessage) for a broken bitmap, and "Picture too large" above
// the pixel limit. Plain bitmaps come out opaque.
QImage DecodeDib(const DibSource& source, const QString& invalidMessage);

}  // namespace orvelle
