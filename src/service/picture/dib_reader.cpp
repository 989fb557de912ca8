#include "service/picture/dib_reader.h"

#include "service/picture/byte_reader.h"
#include "service/picture/picture_error.h"
#include "service/picture/picture_limits.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <vector>

namespace orvelle {

using picture_bytes::Le16;
using picture_bytes::Le32;
using picture_bytes::Le32s;

namespace {

constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiAlphaBitfields = 6;

struct Invalid {};

// BITMAPINFOHEADER (40), its versions with bit-field masks (52, 56), the OS/2 2.x header
// (64), BITMAPV4HEADER (108) and BITMAPV5HEADER (124).
bool IsInfoHeaderSize(uint32_t size) {
  return size == 40 || size == 52 || size == 56 || size == 64 || size == 108 || size == 124;
}

// One colour channel described by a bit mask: where it sits and how wide it is.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  explicit Channel(uint32_t m = 0) : mask(m) {
    if (m == 0) return;
    shift = std::countr_zero(m);
    bits = 32 - std::countl_zero(m >> shift);
    if (bits > 8) {
      // Only the top 8 bits of a wide channel matter.
      shift += bits - 8;
      bits = 8;
      mask = ((1u << 8) - 1) << shift;
    }
  }
  uint32_t Get(uint32_t pixel) const {
    if (bits == 0) return 0;
    const uint32_t v = (pixel & mask) >> shift;
    return bits == 8 ? v : v * 255 / ((1u << bits) - 1);
  }
};

// Run-length decoding of 8-bit and 4-bit indices into rows of `indices` (file row order).
void DecodeRle(const uint8_t* p, size_t size, bool fourBit, int width, int height, std::vector<uint8_t>& indices) {
  size_t pos = 0;
  int64_t x = 0;
  int64_t y = 0;
  auto put = [&](uint8_t index) {
    if (x < width && y < height) indices[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = index;
    ++x;
  };
  while (pos + 1 < size && y < height) {
    const uint8_t count = p[pos];
    const uint8_t value = p[pos + 1];
    pos += 2;
    if (count > 0) {
      for (int i = 0; i < count && x < width; ++i) put(fourBit ? ((i & 1) ? (value & 15) : (value >> 4)) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      return;
    } else if (value == 2) {  // delta
      if (pos + 1 >= size) return;
      x += p[pos];
      y += p[pos + 1];
      pos += 2;
    } else {  // absolute run, padded to a 16-bit boundary
      const size_t bytes = fourBit ? (value + 1u) / 2 : value;
      if (size - pos < bytes) return;
      for (int i = 0; i < value; ++i) put(fourBit ? ((i & 1) ? (p[pos + i / 2] & 15) : (p[pos + i / 2] >> 4)) : p[pos + i]);
      pos += bytes + (bytes & 1);
    }
  }
}

QImage Decode(const DibSource& s) {
  const uint8_t* data = s.data;
  const size_t size = s.size;
  if (s.headerOffset > size || size - s.headerOffset < 4) throw Invalid{};
  const uint8_t* h = data + s.headerOffset;
  const size_t left = size - s.headerOffset;
  const uint32_t headerSize = Le32(h);
  int64_t width = 0;
  int64_t height = 0;
  uint32_t bitCount = 0;
  uint32_t compression = kBiRgb;
  uint32_t colorsUsed = 0;
  size_t entrySize = 4;
  size_t tableOffset = s.headerOffset + headerSize;
  std::array<uint32_t, 4> masks{};
  bool haveMasks = false;
  if (headerSize == kCoreHeaderSize) {
    if (left < kCoreHeaderSize) throw Invalid{};
    width = Le16(h + 4);
    height = Le16(h + 6);
    bitCount = Le16(h + 10);
    entrySize = 3;
  } else if (IsInfoHeaderSize(headerSize) && headerSize <= left) {
    width = Le32s(h + 4);
    height = Le32s(h + 8);
    bitCount = Le16(h + 14);
    compression = Le32(h + 16);
    colorsUsed = Le32(h + 32);
    if (compression == kBiBitfields || compression == kBiAlphaBitfields) {
      const size_t count = compression == kBiAlphaBitfields ? 4 : 3;
      const uint8_t* m = h + kInfoHeaderSize;
      if (headerSize < kInfoHeaderSize + 4 * count) {
        // The masks follow a short header, before the colour table.
        if (size - tableOffset < 4 * count) throw Invalid{};
        m = data + tableOffset;
        tableOffset += 4 * count;
      }
      for (size_t i = 0; i < count; ++i) masks[i] = Le32(m + 4 * i);
      haveMasks = true;
    }
  } else {
    throw Invalid{};
  }

  bool topDown = false;
  if (height < 0) {
    topDown = true;
    height = -height;
  }
  if (s.icon) height /= 2;
  if (width <= 0 || height <= 0) throw Invalid{};
  switch (bitCount) {
    case 1: case 4: case 8: case 24:
      if (compression != kBiRgb && !(compression == kBiRle8 && bitCount == 8) && !(compression == kBiRle4 && bitCount == 4))
        throw Invalid{};
      break;
    case 16: case 32:
      if (compression != kBiRgb && !haveMasks) throw Invalid{};
      break;
    default:
      throw Invalid{};
  }
  if (headerSize == kCoreHeaderSize && (bitCount == 16 || bitCount == 32)) throw Invalid{};
  if ((compression == kBiRle4 || compression == kBiRle8) && topDown) throw Invalid{};
  const size_t pixels = CheckPictureSize(static_cast<uint64_t>(width), static_cast<uint64_t>(height));
  const int w = static_cast<int>(width);
  const int hgt = static_cast<int>(height);

  std::array<uint32_t, 256> palette;
  palette.fill(0xFF000000u);
  size_t tableEntries = 0;
  if (bitCount <= 8) {
    const size_t maxEntries = size_t{1} << bitCount;
    tableEntries = colorsUsed == 0 ? maxEntries : std::min<size_t>(colorsUsed, maxEntries);
    // Files that store fewer entries than their depth allows say so by where the pixels
    // start; missing entries are black.
    if (s.bitsOffset > tableOffset && s.bitsOffset < size)
      tableEntries = std::min(tableEntries, (s.bitsOffset - tableOffset) / entrySize);
    if (tableOffset > size || (size - tableOffset) / entrySize < tableEntries) throw Invalid{};
    for (size_t i = 0; i < tableEntries; ++i) {
      const uint8_t* e = data + tableOffset + i * entrySize;
      palette[i] = 0xFF000000u | (uint32_t{e[2]} << 16) | (uint32_t{e[1]} << 8) | e[0];
    }
  } else if (colorsUsed > 0 && colorsUsed <= 256) {
    tableEntries = colorsUsed;  // an optional table before true-colour pixels; not used
  }
  size_t bits = tableOffset + std::min<size_t>(tableEntries, 256) * entrySize;
  if (s.bitsOffset != 0 && s.bitsOffset < size) bits = s.bitsOffset;
  if (bits > size) throw Invalid{};

  const size_t stride = ((static_cast<size_t>(w) * bitCount + 31) / 32) * 4;
  const uint8_t* p = data + bits;
  const size_t available = size - bits;
  const bool runLength = compression == kBiRle8 || compression == kBiRle4;
  // Uncompressed pixels must all be there; checked before the picture is made.
  if (!runLength && available / stride < static_cast<size_t>(hgt)) throw Invalid{};

  QImage image(w, hgt, QImage::Format_ARGB32);
  if (image.isNull()) ThrowPictureTooLarge();
  auto line = [&](int fileRow) {
    return reinterpret_cast<uint32_t*>(image.scanLine(topDown ? fileRow : hgt - 1 - fileRow));
  };

  bool alphaFromPixels = false;
  if (runLength) {
    std::vector<uint8_t> indices(pixels, 0);
    DecodeRle(p, available, compression == kBiRle4, w, hgt, indices);
    for (int r = 0; r < hgt; ++r) {
      uint32_t* out = line(r);
      const uint8_t* in = indices.data() + static_cast<size_t>(r) * static_cast<size_t>(w);
      for (int x = 0; x < w; ++x) out[x] = palette[in[x]];
    }
  } else {
    Channel red, green, blue, alpha;
    if (bitCount == 16) {
      red = Channel(haveMasks ? masks[0] : 0x7C00);
      green = Channel(haveMasks ? masks[1] : 0x03E0);
      blue = Channel(haveMasks ? masks[2] : 0x001F);
    } else if (bitCount == 32) {
      red = Channel(haveMasks ? masks[0] : 0xFF0000);
      green = Channel(haveMasks ? masks[1] : 0x00FF00);
      blue = Channel(haveMasks ? masks[2] : 0x0000FF);
      alpha = Channel(haveMasks ? masks[3] : (s.icon ? 0xFF000000u : 0));
    }
    for (int r = 0; r < hgt; ++r) {
      const uint8_t* in = p + static_cast<size_t>(r) * stride;
      uint32_t* out = line(r);
      switch (bitCount) {
        case 1: case 4: case 8: {
          const uint32_t mask = (1u << bitCount) - 1;
          for (int x = 0; x < w; ++x) {
            const size_t bit = static_cast<size_t>(x) * bitCount;
            out[x] = palette[(in[bit >> 3] >> (8 - bitCount - (bit & 7))) & mask];
          }
          break;
        }
        case 24:
          for (int x = 0; x < w; ++x, in += 3)
            out[x] = 0xFF000000u | (uint32_t{in[2]} << 16) | (uint32_t{in[1]} << 8) | in[0];
          break;
        case 16:
        case 32:
          for (int x = 0; x < w; ++x) {
            const uint32_t v = bitCount == 16 ? Le16(in + 2 * x) : Le32(in + 4 * x);
            uint32_t a = 255;
            if (alpha.bits) {
              a = alpha.Get(v);
              if (a != 0) alphaFromPixels = true;
            }
            out[x] = (a << 24) | (red.Get(v) << 16) | (green.Get(v) << 8) | blue.Get(v);
          }
          break;
      }
    }
  }

  if (s.icon) {
    // An icon whose 32-bit pixels carry alpha uses it; otherwise the AND mask decides:
    // a set bit leaves the pixel transparent. A missing mask leaves the image opaque.
    if (!alphaFromPixels) {
      const size_t maskStride = ((static_cast<size_t>(w) + 31) / 32) * 4;
      const size_t maskAt = bits + stride * static_cast<size_t>(hgt);
      const bool haveMask = compression == kBiRgb && maskAt <= size && (size - maskAt) / maskStride >= static_cast<size_t>(hgt);
      for (int r = 0; r < hgt; ++r) {
        uint32_t* out = line(r);
        const uint8_t* m = haveMask ? data + maskAt + static_cast<size_t>(r) * maskStride : nullptr;
        for (int x = 0; x < w; ++x) {
          const bool clear = m && ((m[x >> 3] >> (7 - (x & 7))) & 1);
          out[x] = clear ? 0u : (out[x] | 0xFF000000u);
        }
      }
    }
  } else if (alphaFromPixels || bitCount == 32 || bitCount == 16) {
    // Plain bitmaps are opaque after conversion.
    for (int r = 0; r < hgt; ++r) {
      uint32_t* out = line(r);
      for (int x = 0; x < w; ++x) out[x] |= 0xFF000000u;
    }
  }
  return image;
}

}  // namespace

QImage DecodeDib(const DibSource& source, const QString& invalidMessage) {
  try {
    return Decode(source);
  } catch (const Invalid&) {
    throw PictureError(invalidMessage);
  } catch (const std::bad_alloc&) {
    ThrowPictureTooLarge();
  }
}

}  // namespace orvelle
