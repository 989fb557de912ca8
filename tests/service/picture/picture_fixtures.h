#pragma once

// Small picture files built in code for the decoder tests.

#include <QByteArray>
#include <QImage>
#include <QString>

#include "qstring_printer.h"

#include <cstdint>
#include <string>
#include <vector>


namespace orvelle::test {

QByteArray Bytes(std::initializer_list<int> values);

// PNG: chunks written one by one, CRCs computed.
class PngBuilder {
 public:
  PngBuilder();
  PngBuilder& Chunk(const char* type, const QByteArray& data);
  PngBuilder& Header(uint32_t width, uint32_t height, int bitDepth, int colorType, int interlace = 0);
  // Rows already carrying their filter byte, deflated into one IDAT.
  PngBuilder& Data(const QByteArray& filteredRows);
  PngBuilder& End();
  QByteArray bytes;
};

// GIF: header, colour tables, extensions and images with an LZW encoder.
class GifBuilder {
 public:
  GifBuilder(int width, int height, const std::vector<uint32_t>& globalColors = {}, int background = 0,
             const char* signature = "GIF89a");
  GifBuilder& ControlExtension(int transparentIndex);
  GifBuilder& Comment(const QByteArray& text);
  GifBuilder& Image(int left, int top, int width, int height, const std::vector<uint8_t>& indices,
                    const std::vector<uint32_t>& localColors = {}, bool interlaced = false, int minCodeSize = 0);
  GifBuilder& Raw(const QByteArray& raw);
  GifBuilder& Trailer();
  QByteArray bytes;
};

// LZW-encodes colour indices the way GIF encoders do (variable code size, clear when full).
// With clearWhenFull false the encoder keeps writing 12-bit codes once the table is full
// (a deferred clear), as some encoders do.
QByteArray GifLzw(const std::vector<uint8_t>& indices, int minCodeSize, bool clearWhenFull = true);

// BMP: a file header and a BITMAPINFOHEADER-family header around given pixel rows.
struct BmpLayout {
  int headerSize = 40;  // 12, 40, 108 or 124
  int width = 0;
  int height = 0;  // negative: top-down
  int bitCount = 24;
  int compression = 0;
  std::vector<uint32_t> palette;  // 0xRRGGBB
  std::vector<uint32_t> masks;    // bit fields (R, G, B[, A])
  QByteArray pixels;              // rows as stored in the file
};
QByteArray BuildBmp(const BmpLayout& layout);
// The same without the 14-byte file header (as stored inside icons).
QByteArray BuildDib(const BmpLayout& layout);

// ICO: directory entries around the given image blobs (BMP DIBs or PNG files).
struct IconEntry {
  int width;
  int height;
  int bitCount;
  QByteArray image;
};
QByteArray BuildIcon(const std::vector<IconEntry>& entries, int type = 1);

// JPEG made by libjpeg from an RGB (3 bytes per pixel) or gray (1) or CMYK (4) buffer.
QByteArray BuildJpeg(int width, int height, int components, const std::vector<uint8_t>& samples, bool progressive = false,
                     int quality = 90);
// The file cut halfway through the entropy-coded data of its last scan.
QByteArray CutInLastScan(const QByteArray& jpeg);
// A smooth colour test picture of the given size, 3 bytes per pixel.
std::vector<uint8_t> Gradient(int width, int height, int components = 3);

// Pixel of a Format_ARGB32 image.
inline uint32_t Pixel(const QImage& image, int x, int y) { return image.pixel(x, y); }

// Raw bytes of a file under tests/data.
QByteArray ReadTestFile(const std::string& relative);

}  // namespace orvelle::test
