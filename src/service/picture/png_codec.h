#pragma once

#include <QByteArray>
#include <QImage>

#include <array>
#include <cstdint>
#include <vector>

namespace orvelle {

// Where an ancillary chunk stood in the file, so that it is written back in the same place.
enum class PngChunkPlace : uint8_t { BeforePalette, BeforeData, AfterData };

// An ancillary chunk kept unread (its type and data bytes).
struct PngChunk {
  std::array<char, 4> type{};
  QByteArray data;
  PngChunkPlace place = PngChunkPlace::BeforePalette;
};

// The colour types of the PNG header.
enum PngColorType : uint8_t {
  kPngGray = 0,
  kPngRgb = 2,
  kPngPalette = 3,
  kPngGrayAlpha = 4,
  kPngRgba = 6,
};

// A decoded PNG picture: the header values, the kept chunks and the pixels, decoded straight
// into their drawing-ready 32-bit form. Colour passes through the gamma table; 16-bit samples
// keep their high byte and gray samples of fewer than 8 bits are scaled to 0..255; alpha
// comes from the alpha channel, the tRNS colour key (0 where a pixel matches it at the file's
// precision) or the palette.
struct PngPicture {
  uint32_t width = 0;
  uint32_t height = 0;
  uint8_t bitDepth = 0;
  uint8_t colorType = 0;
  uint8_t interlace = 0;

  QByteArray paletteChunk;       // PLTE data as read
  QByteArray transparencyChunk;  // tRNS data as read (empty when none)
  uint32_t gamma = 0;            // gAMA value, 0 when absent
  std::vector<PngChunk> ancillary;

  std::array<uint8_t, 256> gammaTable{};
  // Every pixel as QImage::Format_ARGB32; gray pictures hold the gray level in all three
  // colour channels.
  QImage pixels;
  // For palette pictures, each pixel's palette index, row after row; empty otherwise.
  std::vector<uint8_t> indices;
  // Palette entries as ARGB after the gamma table, alpha from tRNS.
  std::array<uint32_t, 256> palette{};

  int Channels() const;
  bool HasAlpha() const;  // alpha channel or a tRNS chunk
  QImage ToImage() const;  // Format_ARGB32, sharing the decoded pixels
};

// The 8-byte PNG signature.
bool HasPngSignature(const uint8_t* data, size_t size);

// Decodes a whole PNG file. Throws PictureError with the decoder's messages.
PngPicture DecodePng(const uint8_t* data, size_t size);

// Encodes a decoded picture again: same size, colour type (at 8 bits per sample), alpha
// and ancillary chunks, the samples put back through the inverse gamma table.
QByteArray EncodePng(const PngPicture& picture);

// The gamma table: 255 * (s / 255) ^ (1 / (2.2 * gamma / 100000)), rounded; identity for 0.
std::array<uint8_t, 256> PngGammaTable(uint32_t gamma);

}  // namespace orvelle
