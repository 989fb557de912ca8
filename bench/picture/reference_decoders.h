#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

// Whole-file decodes with the reference libraries, each into one buffer of pixels.
namespace orvelle::bench {

// libpng: 8-bit samples in the file's channel layout, as they come.
void DecodeWithLibpng(const QByteArray& file, std::vector<uint8_t>& pixels);

// libspng: with rgba8 false the same output as DecodeWithLibpng; with rgba8 true 32-bit
// RGBA with tRNS applied, the nearest it has to a drawing-ready picture.
void DecodeWithLibspng(const QByteArray& file, std::vector<uint8_t>& pixels, bool rgba8 = false);

// giflib: every frame's colour indices (DGifSlurp).
void DecodeWithGiflib(const QByteArray& file);

// libjpeg: 24-bit RGB with the accurate integer DCT, the settings JpegGraphic uses.
void DecodeWithLibjpeg(const QByteArray& file, std::vector<uint8_t>& pixels);

}  // namespace orvelle::bench
