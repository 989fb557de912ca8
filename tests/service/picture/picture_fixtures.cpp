#include "picture_fixtures.h"

#include <QFile>

#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>

#include <jpeglib.h>
#include <zlib.h>

namespace orvelle::test {

namespace {

void PutLe16(QByteArray& out, uint32_t v) {
  out.append(static_cast<char>(v & 0xFF));
  out.append(static_cast<char>((v >> 8) & 0xFF));
}
void PutLe32(QByteArray& out, uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}
void PutBe32(QByteArray& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.append(static_cast<char>((v >> shift) & 0xFF));
}

}  // namespace

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray out;
  for (int v : values) out.append(static_cast<char>(v));
  return out;
}

PngBuilder::PngBuilder() { bytes = Bytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}); }

PngBuilder& PngBuilder::Chunk(const char* type, const QByteArray& data) {
  PutBe32(bytes, static_cast<uint32_t>(data.size()));
  QByteArray body = QByteArray(type, 4) + data;
  bytes.append(body);
  PutBe32(bytes, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), static_cast<uInt>(body.size()))));
  return *this;
}

PngBuilder& PngBuilder::Header(uint32_t width, uint32_t height, int bitDepth, int colorType, int interlace) {
  QByteArray h;
  PutBe32(h, width);
  PutBe32(h, height);
  h.append(static_cast<char>(bitDepth));
  h.append(static_cast<char>(colorType));
  h.append('\0');
  h.append('\0');
  h.append(static_cast<char>(interlace));
  return Chunk("IHDR", h);
}

PngBuilder& PngBuilder::Data(const QByteArray& filteredRows) {
  uLongf size = compressBound(static_cast<uLong>(filteredRows.size()));
  QByteArray packed(static_cast<qsizetype>(size), '\0');
  compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(filteredRows.constData()),
            static_cast<uLong>(filteredRows.size()), 6);
  packed.truncate(static_cast<qsizetype>(size));
  return Chunk("IDAT", packed);
}

PngBuilder& PngBuilder::End() { return Chunk("IEND", QByteArray()); }

QByteArray GifLzw(const std::vector<uint8_t>& indices, int minCodeSize, bool clearWhenFull) {
  const int clear = 1 << minCodeSize;
  const int endOfInfo = clear + 1;
  QByteArray out;
  uint32_t bits = 0;
  int bitCount = 0;
  // The code size follows the decoder's own bookkeeping, so both switch widths together.
  int codeSize = minCodeSize + 1;
  int decoderAvailable = clear + 2;
  bool firstAfterClear = true;
  auto write = [&](int code) {
    bits |= static_cast<uint32_t>(code) << bitCount;
    bitCount += codeSize;
    while (bitCount >= 8) {
      out.append(static_cast<char>(bits & 0xFF));
      bits >>= 8;
      bitCount -= 8;
    }
    if (code == clear) {
      codeSize = minCodeSize + 1;
      decoderAvailable = clear + 2;
      firstAfterClear = true;
    } else if (code != endOfInfo) {
      if (!firstAfterClear && decoderAvailable < 4096) {
        ++decoderAvailable;
        if (decoderAvailable == (1 << codeSize) && codeSize < 12) ++codeSize;
      }
      firstAfterClear = false;
    }
  };
  std::map<uint32_t, int> table;
  int next = clear + 2;
  write(clear);
  if (!indices.empty()) {
    int prefix = indices[0];
    for (size_t i = 1; i < indices.size(); ++i) {
      const uint32_t key = (static_cast<uint32_t>(prefix) << 8) | indices[i];
      auto found = table.find(key);
      if (found != table.end()) {
        prefix = found->second;
        continue;
      }
      write(prefix);
      if (next < 4096) {
        table[key] = next++;
      } else if (clearWhenFull) {
        write(clear);
        table.clear();
        next = clear + 2;
      }
      prefix = indices[i];
    }
    write(prefix);
  }
  write(endOfInfo);
  if (bitCount > 0) out.append(static_cast<char>(bits & 0xFF));
  // Sub-blocks of at most 255 bytes and the terminator.
  QByteArray blocks;
  for (qsizetype at = 0; at < out.size(); at += 255) {
    const qsizetype n = std::min<qsizetype>(255, out.size() - at);
    blocks.append(static_cast<char>(n));
    blocks.append(out.mid(at, n));
  }
  blocks.append('\0');
  return blocks;
}

namespace {
void PutColorTable(QByteArray& out, const std::vector<uint32_t>& colors, int& sizeBits) {
  sizeBits = 0;
  while ((size_t{2} << sizeBits) < colors.size()) ++sizeBits;
  for (size_t i = 0; i < (size_t{2} << sizeBits); ++i) {
    const uint32_t c = i < colors.size() ? colors[i] : 0;
    out.append(static_cast<char>(c >> 16));
    out.append(static_cast<char>(c >> 8));
    out.append(static_cast<char>(c));
  }
}
}  // namespace

GifBuilder::GifBuilder(int width, int height, const std::vector<uint32_t>& globalColors, int background,
                       const char* signature) {
  bytes = QByteArray(signature, 6);
  PutLe16(bytes, static_cast<uint32_t>(width));
  PutLe16(bytes, static_cast<uint32_t>(height));
  QByteArray table;
  int sizeBits = 0;
  if (!globalColors.empty()) PutColorTable(table, globalColors, sizeBits);
  bytes.append(static_cast<char>((globalColors.empty() ? 0 : 0x80) | 0x70 | sizeBits));
  bytes.append(static_cast<char>(background));
  bytes.append('\0');
  bytes.append(table);
}

GifBuilder& GifBuilder::ControlExtension(int transparentIndex) {
  bytes.append(Bytes({'!', 0xF9, 4, transparentIndex >= 0 ? 1 : 0, 0, 0, transparentIndex >= 0 ? transparentIndex : 0, 0}));
  return *this;
}

GifBuilder& GifBuilder::Comment(const QByteArray& text) {
  bytes.append(Bytes({'!', 0xFE}));
  bytes.append(static_cast<char>(text.size()));
  bytes.append(text);
  bytes.append('\0');
  return *this;
}

GifBuilder& GifBuilder::Image(int left, int top, int width, int height, const std::vector<uint8_t>& indices,
                              const std::vector<uint32_t>& localColors, bool interlaced, int minCodeSize) {
  bytes.append(',');
  PutLe16(bytes, static_cast<uint32_t>(left));
  PutLe16(bytes, static_cast<uint32_t>(top));
  PutLe16(bytes, static_cast<uint32_t>(width));
  PutLe16(bytes, static_cast<uint32_t>(height));
  QByteArray table;
  int sizeBits = 0;
  if (!localColors.empty()) PutColorTable(table, localColors, sizeBits);
  bytes.append(static_cast<char>((localColors.empty() ? 0 : 0x80) | (interlaced ? 0x40 : 0) | sizeBits));
  bytes.append(table);
  if (minCodeSize == 0) {
    int maxIndex = 0;
    for (uint8_t i : indices) maxIndex = std::max<int>(maxIndex, i);
    minCodeSize = 2;
    while ((1 << minCodeSize) <= maxIndex) ++minCodeSize;
  }
  std::vector<uint8_t> stored = indices;
  if (interlaced) {
    stored.clear();
    const int starts[4] = {0, 4, 2, 1};
    const int steps[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int y = starts[pass]; y < height; y += steps[pass])
        stored.insert(stored.end(), indices.begin() + y * width, indices.begin() + (y + 1) * width);
  }
  bytes.append(static_cast<char>(minCodeSize));
  bytes.append(GifLzw(stored, minCodeSize));
  return *this;
}

GifBuilder& GifBuilder::Raw(const QByteArray& raw) {
  bytes.append(raw);
  return *this;
}

GifBuilder& GifBuilder::Trailer() {
  bytes.append(';');
  return *this;
}

QByteArray BuildDib(const BmpLayout& s) {
  QByteArray out;
  PutLe32(out, static_cast<uint32_t>(s.headerSize));
  if (s.headerSize == 12) {
    PutLe16(out, static_cast<uint32_t>(s.width));
    PutLe16(out, static_cast<uint32_t>(s.height));
    PutLe16(out, 1);
    PutLe16(out, static_cast<uint32_t>(s.bitCount));
  } else {
    PutLe32(out, static_cast<uint32_t>(s.width));
    PutLe32(out, static_cast<uint32_t>(s.height));
    PutLe16(out, 1);
    PutLe16(out, static_cast<uint32_t>(s.bitCount));
    PutLe32(out, static_cast<uint32_t>(s.compression));
    PutLe32(out, static_cast<uint32_t>(s.pixels.size()));
    PutLe32(out, 2835);
    PutLe32(out, 2835);
    PutLe32(out, static_cast<uint32_t>(s.palette.size()));
    PutLe32(out, 0);
    if (s.headerSize > 40) {
      for (int i = 0; i < 4; ++i) PutLe32(out, i < static_cast<int>(s.masks.size()) ? s.masks[static_cast<size_t>(i)] : 0);
      out.append(QByteArray(s.headerSize - out.size(), '\0'));
    } else {
      for (uint32_t m : s.masks) PutLe32(out, m);
    }
  }
  for (uint32_t c : s.palette) {
    out.append(static_cast<char>(c));
    out.append(static_cast<char>(c >> 8));
    out.append(static_cast<char>(c >> 16));
    if (s.headerSize != 12) out.append('\0');
  }
  out.append(s.pixels);
  return out;
}

QByteArray BuildBmp(const BmpLayout& s) {
  const QByteArray dib = BuildDib(s);
  QByteArray out("BM");
  PutLe32(out, static_cast<uint32_t>(14 + dib.size()));
  PutLe32(out, 0);
  PutLe32(out, static_cast<uint32_t>(14 + dib.size() - s.pixels.size()));
  return out + dib;
}

QByteArray BuildIcon(const std::vector<IconEntry>& entries, int type) {
  QByteArray out;
  PutLe16(out, 0);
  PutLe16(out, static_cast<uint32_t>(type));
  PutLe16(out, static_cast<uint32_t>(entries.size()));
  uint32_t offset = static_cast<uint32_t>(6 + 16 * entries.size());
  for (const IconEntry& e : entries) {
    out.append(static_cast<char>(e.width >= 256 ? 0 : e.width));
    out.append(static_cast<char>(e.height >= 256 ? 0 : e.height));
    out.append('\0');
    out.append('\0');
    PutLe16(out, 1);
    PutLe16(out, static_cast<uint32_t>(e.bitCount));
    PutLe32(out, static_cast<uint32_t>(e.image.size()));
    PutLe32(out, offset);
    offset += static_cast<uint32_t>(e.image.size());
  }
  for (const IconEntry& e : entries) out.append(e.image);
  return out;
}

QByteArray BuildJpeg(int width, int height, int components, const std::vector<uint8_t>& samples, bool progressive,
                     int quality) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = components;
  cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : (components == 4 ? JCS_CMYK : JCS_RGB);
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples.data() + static_cast<size_t>(cinfo.next_scanline) * width * components);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  QByteArray out(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
  jpeg_destroy_compress(&cinfo);
  free(buffer);
  return out;
}

QByteArray CutInLastScan(const QByteArray& jpeg) {
  const qsizetype scan = jpeg.lastIndexOf(QByteArray("\xFF\xDA", 2));
  return jpeg.left(scan + (jpeg.size() - scan) / 2);
}

std::vector<uint8_t> Gradient(int width, int height, int components) {
  std::vector<uint8_t> out(static_cast<size_t>(width) * height * components);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < components; ++c)
        out[(static_cast<size_t>(y) * width + x) * components + c] =
            static_cast<uint8_t>(c == 0 ? x * 255 / std::max(1, width - 1) : c == 1 ? y * 255 / std::max(1, height - 1) : (x + y) * 127 / std::max(1, width + height - 2));
  return out;
}

QByteArray ReadTestFile(const std::string& relative) {
  QFile file(QString::fromStdString(std::string(ORVELLE_TEST_DATA) + "/" + relative));
  if (!file.open(QIODevice::ReadOnly)) throw std::runtime_error("missing test file " + relative);
  return file.readAll();
}

}  // namespace orvelle::test
