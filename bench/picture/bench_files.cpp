#include "bench_files.h"

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include <cmath>
#include <cstdlib>

namespace orvelle::bench {

namespace {

// Rows of the test picture, one after another (the noise runs on across rows).
class TestRows {
 public:
  TestRows(int width, int height, int channels) : width_(width), height_(height), channels_(channels) {}

  void Next(uint8_t* out) {
    const double fy = y_ / static_cast<double>(height_);
    for (int x = 0; x < width_; ++x) {
      noise_ = noise_ * 1664525u + 1013904223u;
      const double fx = x / static_cast<double>(width_);
      const int jitter = static_cast<int>((noise_ >> 28) & 7);
      uint8_t* p = out + static_cast<size_t>(x) * channels_;
      p[0] = static_cast<uint8_t>(127 + 120 * std::sin(fx * 9 + fy * 3) + jitter / 2);
      p[1] = static_cast<uint8_t>(127 + 100 * std::cos(fy * 7 - fx * 2) + jitter / 3);
      p[2] = static_cast<uint8_t>(255 * fx * fy + jitter);
      if (channels_ == 4) p[3] = static_cast<uint8_t>(std::hypot(fx - 0.5, fy - 0.5) < 0.45 ? 255 : 64 + 100 * fx);
    }
    ++y_;
  }

 private:
  int width_, height_, channels_;
  int y_ = 0;
  uint32_t noise_ = 7;
};

// 256 colours: 8 levels of red, 8 of green, 4 of blue.
uint8_t PaletteIndex(const uint8_t* rgb) {
  return static_cast<uint8_t>(((rgb[0] >> 5) << 5) | ((rgb[1] >> 5) << 2) | (rgb[2] >> 6));
}
uint8_t PaletteRed(int i) { return static_cast<uint8_t>(((i >> 5) & 7) * 255 / 7); }
uint8_t PaletteGreen(int i) { return static_cast<uint8_t>(((i >> 2) & 7) * 255 / 7); }
uint8_t PaletteBlue(int i) { return static_cast<uint8_t>((i & 3) * 255 / 3); }

QByteArray ToBytes(const std::vector<uint8_t>& file) {
  return QByteArray(reinterpret_cast<const char*>(file.data()), static_cast<qsizetype>(file.size()));
}

void WritePngBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void FlushNothing(png_structp) {}

// Writes a PNG whose rows come from `row(y, out)` in the layout's file format.
template <typename RowSource>
QByteArray WritePng(int width, int height, PngLayout layout, bool interlaced, int level, RowSource row) {
  std::vector<uint8_t> file;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) std::abort();
  png_set_write_fn(png, &file, WritePngBytes, FlushNothing);
  png_set_compression_level(png, level);
  const int colorType = layout == PngLayout::Rgba      ? PNG_COLOR_TYPE_RGBA
                        : layout == PngLayout::Palette ? PNG_COLOR_TYPE_PALETTE
                                                       : PNG_COLOR_TYPE_RGB;
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, colorType,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (layout == PngLayout::Palette) {
    std::vector<png_color> colors(256);
    for (int i = 0; i < 256; ++i) colors[static_cast<size_t>(i)] = {PaletteRed(i), PaletteGreen(i), PaletteBlue(i)};
    png_set_PLTE(png, info, colors.data(), 256);
    png_byte transparent = 0;
    png_set_tRNS(png, info, &transparent, 1, nullptr);
  }
  png_write_info(png, info);
  const int channels = layout == PngLayout::Rgba ? 4 : (layout == PngLayout::Palette ? 1 : 3);
  std::vector<uint8_t> line(static_cast<size_t>(width) * channels);
  const int passes = interlaced ? png_set_interlace_handling(png) : 1;
  for (int pass = 0; pass < passes; ++pass)
    for (int y = 0; y < height; ++y) {
      row(y, line.data());
      png_write_row(png, line.data());
    }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return ToBytes(file);
}

int WriteGifBytes(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

void WriteJpegRows(jpeg_compress_struct& cinfo, const std::vector<uint8_t>& rgb, int width) {
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb.data() + static_cast<size_t>(cinfo.next_scanline) * width * 3);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> TestPicture(int width, int height, int channels) {
  std::vector<uint8_t> out(static_cast<size_t>(width) * height * channels);
  TestRows rows(width, height, channels);
  for (int y = 0; y < height; ++y) rows.Next(out.data() + static_cast<size_t>(y) * width * channels);
  return out;
}

QByteArray EncodePng(int width, int height, PngLayout layout, bool interlaced) {
  const int channels = layout == PngLayout::Rgba ? 4 : 3;
  const std::vector<uint8_t> pixels = TestPicture(width, height, channels);
  return WritePng(width, height, layout, interlaced, 6, [&](int y, uint8_t* out) {
    const uint8_t* in = pixels.data() + static_cast<size_t>(y) * width * channels;
    if (layout != PngLayout::Palette) {
      std::copy(in, in + static_cast<size_t>(width) * channels, out);
      return;
    }
    for (int x = 0; x < width; ++x) out[x] = PaletteIndex(in + static_cast<size_t>(x) * 3);
  });
}

QByteArray EncodeLargePng(int width, int height, PngLayout layout) {
  const int channels = layout == PngLayout::Rgba ? 4 : 3;
  TestRows rows(width, height, channels);
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * channels);
  // Level 1: a picture of this size is made quickly, and inflating it costs the same.
  return WritePng(width, height, layout, false, 1, [&](int, uint8_t* out) {
    if (layout != PngLayout::Palette) return rows.Next(out);
    rows.Next(rgb.data());
    for (int x = 0; x < width; ++x) out[x] = PaletteIndex(rgb.data() + static_cast<size_t>(x) * 3);
  });
}

QByteArray EncodeGif(int width, int height, int frames) {
  const std::vector<uint8_t> rgb = TestPicture(width, height, 3);
  std::vector<GifColorType> colors(256);
  for (int i = 0; i < 256; ++i) colors[static_cast<size_t>(i)] = {PaletteRed(i), PaletteGreen(i), PaletteBlue(i)};
  std::vector<uint8_t> file;
  int error = 0;
  GifFileType* gif = EGifOpen(&file, WriteGifBytes, &error);
  ColorMapObject* map = GifMakeMapObject(256, colors.data());
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, width, height, 8, 0, map);
  std::vector<GifPixelType> line(static_cast<size_t>(width));
  for (int frame = 0; frame < frames; ++frame) {
    if (frames > 1) {
      // A tenth of a second per frame.
      const GifByteType control[4] = {0, 10, 0, 0};
      EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
    }
    EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const int shifted = (x + frame * 7) % width;
        line[static_cast<size_t>(x)] = PaletteIndex(rgb.data() + (static_cast<size_t>(y) * width + shifted) * 3);
      }
      EGifPutLine(gif, line.data(), width);
    }
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return ToBytes(file);
}

QByteArray EncodeJpeg(int width, int height, bool progressive) {
  const std::vector<uint8_t> rgb = TestPicture(width, height, 3);
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  WriteJpegRows(cinfo, rgb, width);
  jpeg_finish_compress(&cinfo);
  QByteArray out(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
  jpeg_destroy_compress(&cinfo);
  free(buffer);
  return out;
}

QByteArray EncodeBmp(int width, int height) {
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  const size_t imageSize = stride * static_cast<size_t>(height);
  std::vector<uint8_t> file;
  file.reserve(54 + imageSize);
  file.push_back('B');
  file.push_back('M');
  PutLe(file, static_cast<uint32_t>(54 + imageSize), 4);
  PutLe(file, 0, 4);
  PutLe(file, 54, 4);
  PutLe(file, 40, 4);
  PutLe(file, static_cast<uint32_t>(width), 4);
  PutLe(file, static_cast<uint32_t>(height), 4);
  PutLe(file, 1, 2);
  PutLe(file, 24, 2);
  PutLe(file, 0, 4);
  PutLe(file, static_cast<uint32_t>(imageSize), 4);
  PutLe(file, 2835, 4);
  PutLe(file, 2835, 4);
  PutLe(file, 0, 4);
  PutLe(file, 0, 4);
  TestRows rows(width, height, 3);
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * 3);
  file.resize(54 + imageSize);
  for (int y = 0; y < height; ++y) {
    rows.Next(rgb.data());
    uint8_t* out = file.data() + 54 + stride * static_cast<size_t>(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      out[3 * x] = rgb[3 * x + 2];
      out[3 * x + 1] = rgb[3 * x + 1];
      out[3 * x + 2] = rgb[3 * x];
    }
  }
  return ToBytes(file);
}

}  // namespace orvelle::bench
