// The GIF writer, checked by decoding its output with giflib.
#include "gif_encoder.h"
#include "service/error.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <random>

namespace orvelle::demo {
namespace {

struct MemoryReader {
  const std::string* data;
  size_t at = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* buffer, int length) {
  auto* reader = static_cast<MemoryReader*>(gif->UserData);
  const size_t available = reader->data->size() - reader->at;
  const size_t count = std::min(available, static_cast<size_t>(length));
  std::memcpy(buffer, reader->data->data() + reader->at, count);
  reader->at += count;
  return static_cast<int>(count);
}

// The first frame's indices, its global palette and its transparent index, as giflib reads them.
struct Decoded {
  int width = 0, height = 0;
  std::vector<uint32_t> palette;
  std::vector<uint8_t> pixels;
  int transparentIndex = -1;
};

Decoded decode(const std::string& file) {
  MemoryReader reader{&file};
  int error = 0;
  GifFileType* gif = DGifOpen(&reader, readFromMemory, &error);
  EXPECT_NE(gif, nullptr) << "giflib error " << error;
  Decoded out;
  if (!gif) return out;
  EXPECT_EQ(DGifSlurp(gif), GIF_OK) << "giflib error " << gif->Error;
  if (gif->ImageCount >= 1 && gif->SColorMap) {
    out.width = gif->SWidth;
    out.height = gif->SHeight;
    for (int i = 0; i < gif->SColorMap->ColorCount; ++i) {
      const GifColorType c = gif->SColorMap->Colors[i];
      out.palette.push_back(uint32_t{c.Red} << 16 | uint32_t{c.Green} << 8 | c.Blue);
    }
    const SavedImage& frame = gif->SavedImages[0];
    out.pixels.assign(frame.RasterBits, frame.RasterBits + frame.ImageDesc.Width * frame.ImageDesc.Height);
    GraphicsControlBlock control;
    if (DGifSavedExtensionToGCB(gif, 0, &control) == GIF_OK) out.transparentIndex = control.TransparentColor;
  }
  DGifCloseFile(gif, &error);
  return out;
}

IndexedImage makeImage(int width, int height, int colours, const std::string& pattern, int transparent = -1) {
  IndexedImage image;
  image.width = width;
  image.height = height;
  for (int i = 0; i < colours; ++i) image.palette.push_back((static_cast<uint32_t>(i) * 0x0B0503u + 0x100000u) & 0xFFFFFFu);
  image.transparentIndex = transparent;
  std::mt19937 random(42);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      int index = 0;
      if (pattern == "random") index = static_cast<int>(random() % static_cast<uint32_t>(colours));
      if (pattern == "checker") index = (x + y) % colours;
      if (pattern == "bands") index = (y / 7) % colours;
      image.pixels.push_back(static_cast<uint8_t>(index));
    }
  return image;
}

TEST(GifEncoder, GiflibReadsBackExactlyTheIndicesPaletteAndTransparency) {
  struct Case {
    const char* name;
    IndexedImage image;
  };
  const Case cases[] = {
      {"one pixel, one colour", makeImage(1, 1, 1, "flat")},
      {"two colours, odd size", makeImage(17, 5, 2, "checker")},
      {"three colours padded to four, transparent", makeImage(31, 9, 3, "checker", 2)},
      {"long runs widen the codes to 12 bits", makeImage(1000, 700, 2, "bands")},
      {"noise fills the table and forces clear codes", makeImage(211, 149, 256, "random", 255)},
      {"sixteen colours of noise", makeImage(64, 300, 16, "random")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = encodeGif(c.image);
    ASSERT_EQ(file.substr(0, 6), "GIF89a");
    ASSERT_EQ(file.back(), '\x3B');
    const Decoded decoded = decode(file);
    EXPECT_EQ(decoded.width, c.image.width);
    EXPECT_EQ(decoded.height, c.image.height);
    ASSERT_GE(decoded.palette.size(), c.image.palette.size());
    EXPECT_TRUE(std::equal(c.image.palette.begin(), c.image.palette.end(), decoded.palette.begin()));
    EXPECT_EQ(decoded.pixels, c.image.pixels);
    EXPECT_EQ(decoded.transparentIndex, c.image.transparentIndex);
  }
}

// A strict reading of an LZW stream: the indices it holds, or nullopt when a code is out of
// place, the end code is missing, or bytes follow it.
std::optional<std::vector<uint8_t>> strictLzwDecode(const std::vector<uint8_t>& data, int minCodeSize) {
  const int clear = 1 << minCodeSize, end = clear + 1;
  size_t bitAt = 0;
  const auto read = [&](int width) -> int {
    if (bitAt + static_cast<size_t>(width) > data.size() * 8) return -1;
    int code = 0;
    for (int i = 0; i < width; ++i, ++bitAt) code |= ((data[bitAt / 8] >> (bitAt % 8)) & 1) << i;
    return code;
  };
  std::vector<std::vector<uint8_t>> table;
  int width = minCodeSize + 1;
  int previous = -1;
  std::vector<uint8_t> out;
  const auto resetTable = [&] {
    table.assign(static_cast<size_t>(end + 1), {});
    for (int i = 0; i < clear; ++i) table[static_cast<size_t>(i)] = {static_cast<uint8_t>(i)};
    width = minCodeSize + 1;
    previous = -1;
  };
  resetTable();
  while (true) {
    const int code = read(width);
    if (code < 0) return std::nullopt;
    if (code == clear) {
      resetTable();
      continue;
    }
    if (code == end) break;
    if (previous < 0) {
      if (code >= clear) return std::nullopt;
      out.push_back(static_cast<uint8_t>(code));
      previous = code;
      continue;
    }
    std::vector<uint8_t> entry;
    if (code < static_cast<int>(table.size()) && code != clear && code != end) {
      entry = table[static_cast<size_t>(code)];
    } else if (code == static_cast<int>(table.size())) {
      entry = table[static_cast<size_t>(previous)];
      entry.push_back(entry.front());
    } else {
      return std::nullopt;
    }
    out.insert(out.end(), entry.begin(), entry.end());
    if (table.size() < 4096) {
      std::vector<uint8_t> added = table[static_cast<size_t>(previous)];
      added.push_back(entry.front());
      table.push_back(std::move(added));
      if (table.size() >= (size_t{1} << width) && width < 12) ++width;
    }
    previous = code;
  }
  if ((bitAt + 7) / 8 != data.size()) return std::nullopt;
  return out;
}

TEST(GifEncoder, EveryStreamEndsWithTheEndCodeAtTheDecodersWidth) {
  // Lengths around every point where the code width grows, for two and for 256 colours.
  std::mt19937 random(7);
  for (int minCodeSize : {2, 8}) {
    for (size_t length = 0; length < 1400; ++length) {
      std::vector<uint8_t> indices(length);
      for (uint8_t& index : indices) index = static_cast<uint8_t>(random() % (minCodeSize == 2 ? 2u : 256u));
      const auto decoded = strictLzwDecode(lzwEncode(indices, minCodeSize), minCodeSize);
      ASSERT_TRUE(decoded) << "length " << length << ", code size " << minCodeSize;
      ASSERT_EQ(*decoded, indices) << "length " << length;
    }
  }
}

TEST(GifEncoder, RefusesImagesItCannotWrite) {
  struct Case {
    const char* name;
    IndexedImage image;
  };
  IndexedImage indexOutside = makeImage(4, 4, 4, "checker");
  indexOutside.pixels[5] = 4;
  IndexedImage shortPixels = makeImage(4, 4, 2, "flat");
  shortPixels.pixels.pop_back();
  IndexedImage noPalette = makeImage(2, 2, 1, "flat");
  noPalette.palette.clear();
  IndexedImage bigPalette = makeImage(2, 2, 1, "flat");
  bigPalette.palette.assign(257, 0);
  const Case cases[] = {
      {"zero width", makeImage(0, 3, 2, "flat")},
      {"wider than 65535", makeImage(65536, 1, 2, "flat")},
      {"index outside the palette", indexOutside},
      {"fewer pixels than the size", shortPixels},
      {"no palette", noPalette},
      {"more than 256 colours", bigPalette},
      {"transparent index outside the palette", makeImage(2, 2, 2, "flat", 2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THROW(encodeGif(c.image), Error);
  }
}

}  // namespace
}  // namespace orvelle::demo
