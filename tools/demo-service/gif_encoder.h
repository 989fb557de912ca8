#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvelle::demo {

// A picture of palette indices, one byte per pixel, rows top to bottom.
struct IndexedImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> palette;  // 0xRRGGBB, 1 to 256 entries
  std::vector<uint8_t> pixels;    // width * height indices into palette
  int transparentIndex = -1;      // the index shown as transparent, or -1 for none
};

// Writes a GIF89a file of one frame: a global colour table padded to a power of two, a
// graphic control extension when a transparent index is set, and LZW-coded image data in
// sub-blocks of at most 255 bytes. Throws orvelle::Error for an image it cannot write
// (sizes outside 1..65535, an empty or oversized palette, an index outside the palette).
std::string encodeGif(const IndexedImage& image);

// The GIF variant of LZW: variable code width from minCodeSize + 1 up to 12 bits, codes packed
// least significant bit first, a clear code first and again whenever the table is full, and
// the end-of-information code last.
std::vector<uint8_t> lzwEncode(const std::vector<uint8_t>& indices, int minCodeSize);

}  // namespace orvelle::demo
