#include "gif_encoder.h"

#include "service/error.h"

#include <algorithm>

namespace orvelle::demo {

namespace {

constexpr int kMaxCodeBits = 12;
constexpr int kTableLimit = 1 << kMaxCodeBits;

// Packs codes of varying width into bytes, least significant bit first.
class BitPacker {
 public:
  void put(int code, int width) {
    buffer_ |= static_cast<uint32_t>(code) << bits_;
    bits_ += width;
    while (bits_ >= 8) {
      out_.push_back(static_cast<uint8_t>(buffer_ & 0xFF));
      buffer_ >>= 8;
      bits_ -= 8;
    }
  }
  std::vector<uint8_t> finish() {
    if (bits_ > 0) out_.push_back(static_cast<uint8_t>(buffer_ & 0xFF));
    bits_ = 0;
    buffer_ = 0;
    return std::move(out_);
  }

 private:
  std::vector<uint8_t> out_;
  uint32_t buffer_ = 0;
  int bits_ = 0;
};

void putLittle16(std::string& out, int value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

}  // namespace

std::vector<uint8_t> lzwEncode(const std::vector<uint8_t>& indices, int minCodeSize) {
  const int clearCode = 1 << minCodeSize;
  const int endCode = clearCode + 1;
  // table[prefix * 256 + byte] holds the code of the string prefix+byte, or 0 when absent
  // (code 0 is a root code and never the code of a longer string).
  std::vector<uint16_t> table(static_cast<size_t>(kTableLimit) * 256, 0);
  int codeWidth = minCodeSize + 1;
  int next = endCode + 1;
  BitPacker packer;

  const auto reset = [&] {
    std::fill(table.begin(), table.end(), 0);
    codeWidth = minCodeSize + 1;
    next = endCode + 1;
  };
  // The decoder adds an entry after each code it reads and widens its codes once its table
  // size reaches the next power of two; it is one entry behind the encoder, hence "next >".
  const auto countEntry = [&] {
    ++next;
    if (next > (1 << codeWidth) && codeWidth < kMaxCodeBits) ++codeWidth;
  };

  packer.put(clearCode, codeWidth);
  if (!indices.empty()) {
    int prefix = indices[0];
    for (size_t i = 1; i < indices.size(); ++i) {
      const uint8_t byte = indices[i];
      const size_t slot = static_cast<size_t>(prefix) * 256 + byte;
      if (table[slot] != 0) {
        prefix = table[slot];
        continue;
      }
      packer.put(prefix, codeWidth);
      if (next < kTableLimit) {
        table[slot] = static_cast<uint16_t>(next);
        countEntry();
      } else {
        packer.put(clearCode, codeWidth);
        reset();
      }
      prefix = byte;
    }
    packer.put(prefix, codeWidth);
    // The decoder adds one more entry on reading this last code; follow its code width.
    if (next < kTableLimit) countEntry();
  }
  packer.put(endCode, codeWidth);
  return packer.finish();
}

std::string encodeGif(const IndexedImage& image) {
  if (image.width < 1 || image.width > 0xFFFF || image.height < 1 || image.height > 0xFFFF)
    throw Error(QStringLiteral("GIF size out of range"));
  if (image.palette.empty() || image.palette.size() > 256)
    throw Error(QStringLiteral("GIF palette must hold 1 to 256 colours"));
  if (image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height))
    throw Error(QStringLiteral("GIF pixel count does not match its size"));
  const size_t colours = image.palette.size();
  if (std::any_of(image.pixels.begin(), image.pixels.end(),
                  [&](uint8_t index) { return index >= colours; }))
    throw Error(QStringLiteral("GIF pixel index outside the palette"));
  if (image.transparentIndex >= static_cast<int>(colours))
    throw Error(QStringLiteral("GIF transparent index outside the palette"));

  int tableBits = 1;  // the colour table holds 2^tableBits entries
  while ((size_t{1} << tableBits) < colours) ++tableBits;
  const int minCodeSize = std::max(2, tableBits);

  std::string out = "GIF89a";
  // Logical screen descriptor: global colour table present, colour resolution 8 bits.
  putLittle16(out, image.width);
  putLittle16(out, image.height);
  out += static_cast<char>(0x80 | 0x70 | (tableBits - 1));
  out += '\0';  // background colour index
  out += '\0';  // pixel aspect ratio: not given
  for (size_t i = 0; i < (size_t{1} << tableBits); ++i) {
    const uint32_t rgb = i < colours ? image.palette[i] : 0;
    out += static_cast<char>((rgb >> 16) & 0xFF);
    out += static_cast<char>((rgb >> 8) & 0xFF);
    out += static_cast<char>(rgb & 0xFF);
  }
  if (image.transparentIndex >= 0) {
    // Graphic control extension: no disposal, no delay, transparent colour flag set.
    out += "\x21\xF9\x04";
    out += '\x01';
    putLittle16(out, 0);
    out += static_cast<char>(image.transparentIndex);
    out += '\0';
  }
  // Image descriptor: the whole screen, no local colour table, not interlaced.
  out += '\x2C';
  putLittle16(out, 0);
  putLittle16(out, 0);
  putLittle16(out, image.width);
  putLittle16(out, image.height);
  out += '\0';
  out += static_cast<char>(minCodeSize);
  const std::vector<uint8_t> data = lzwEncode(image.pixels, minCodeSize);
  for (size_t at = 0; at < data.size(); at += 255) {
    const size_t length = std::min<size_t>(255, data.size() - at);
    out += static_cast<char>(length);
    out.append(reinterpret_cast<const char*>(data.data() + at), length);
  }
  out += '\0';  // block terminator
  out += '\x3B';  // trailer
  return out;
}

}  // namespace orvelle::demo
