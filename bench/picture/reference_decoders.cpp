#include "reference_decoders.h"

#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <spng.h>

#include <cstdlib>
#include <cstring>

namespace orvelle::bench {

namespace {

struct MemoryReader {
  const QByteArray* data;
  size_t pos;
};

void ReadPngBytes(png_structp png, png_bytep out, png_size_t length) {
  auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (r->pos + length > static_cast<size_t>(r->data->size())) png_error(png, "read past end");
  std::memcpy(out, r->data->constData() + r->pos, length);
  r->pos += length;
}

int ReadGifBytes(GifFileType* gif, GifByteType* out, int length) {
  auto* r = static_cast<MemoryReader*>(gif->UserData);
  const size_t left = static_cast<size_t>(r->data->size()) - r->pos;
  const size_t n = std::min(left, static_cast<size_t>(length));
  std::memcpy(out, r->data->constData() + r->pos, n);
  r->pos += n;
  return static_cast<int>(n);
}

}  // namespace

void DecodeWithLibpng(const QByteArray& file, std::vector<uint8_t>& pixels) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  MemoryReader reader{&file, 0};
  if (setjmp(png_jmpbuf(png))) std::abort();
  png_set_read_fn(png, &reader, ReadPngBytes);
  png_read_info(png, info);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  const uint32_t height = png_get_image_height(png, info);
  pixels.resize(rowBytes * height);
  std::vector<png_bytep> rows(height);
  for (uint32_t y = 0; y < height; ++y) rows[y] = pixels.data() + rowBytes * y;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
}

void DecodeWithLibspng(const QByteArray& file, std::vector<uint8_t>& pixels, bool rgba8) {
  spng_ctx* ctx = spng_ctx_new(0);
  if (!ctx || spng_set_png_buffer(ctx, file.constData(), static_cast<size_t>(file.size())) != 0) std::abort();
  const int format = rgba8 ? SPNG_FMT_RGBA8 : SPNG_FMT_PNG;
  size_t size = 0;
  if (spng_decoded_image_size(ctx, format, &size) != 0) std::abort();
  pixels.resize(size);
  if (spng_decode_image(ctx, pixels.data(), size, format, rgba8 ? SPNG_DECODE_TRNS : 0) != 0) std::abort();
  spng_ctx_free(ctx);
}

void DecodeWithGiflib(const QByteArray& file) {
  MemoryReader reader{&file, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&reader, ReadGifBytes, &error);
  if (!gif || DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1) std::abort();
  benchmark::DoNotOptimize(gif->SavedImages[0].RasterBits);
  DGifCloseFile(gif, &error);
}

void DecodeWithLibjpeg(const QByteArray& file, std::vector<uint8_t>& pixels) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(file.constData()), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  cinfo.dct_method = JDCT_ISLOW;
  jpeg_start_decompress(&cinfo);
  pixels.resize(static_cast<size_t>(cinfo.output_width) * cinfo.output_height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = pixels.data() + static_cast<size_t>(cinfo.output_scanline) * cinfo.output_width * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
}

}  // namespace orvelle::bench
