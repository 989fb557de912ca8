// Decoding speed: our PNG decoder against libpng (1000 x 1000 RGBA, 500 x 500 RGB), our GIF
// decoder against giflib (500 x 500, 256 colours), and JpegGraphic against plain libjpeg
// (500 x 500 colour). The files are made here: PNG by libpng at zlib level 6 with its
// default filter choice, GIF by giflib, JPEG by libjpeg at quality 90. Throughput is counted
// in decoded pixels' bytes (4 per RGBA pixel, 3 per RGB pixel, 1 per GIF index) per second;
// at the end each pair prints the ratio ours / reference.

#include "service/picture/gif_graphic.h"
#include "service/picture/jpeg_graphic.h"
#include "service/picture/png_graphic.h"

#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// A photograph-like test picture: smooth shading with texture and a little noise.
std::vector<uint8_t> Picture(int width, int height, int channels) {
  std::vector<uint8_t> out(static_cast<size_t>(width) * height * channels);
  uint32_t noise = 7;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      noise = noise * 1664525u + 1013904223u;
      const double fx = x / static_cast<double>(width), fy = y / static_cast<double>(height);
      const int jitter = static_cast<int>((noise >> 28) & 7);
      uint8_t* p = out.data() + (static_cast<size_t>(y) * width + x) * channels;
      p[0] = static_cast<uint8_t>(127 + 120 * std::sin(fx * 9 + fy * 3) + jitter / 2);
      p[1] = static_cast<uint8_t>(127 + 100 * std::cos(fy * 7 - fx * 2) + jitter / 3);
      p[2] = static_cast<uint8_t>(255 * fx * fy + jitter);
      if (channels == 4) p[3] = static_cast<uint8_t>(std::hypot(fx - 0.5, fy - 0.5) < 0.45 ? 255 : 64 + 100 * fx);
    }
  return out;
}

// ----- PNG -----

void WriteToVector(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void FlushNothing(png_structp) {}

QByteArray EncodePngWithLibpng(int width, int height, int channels) {
  const std::vector<uint8_t> pixels = Picture(width, height, channels);
  std::vector<uint8_t> file;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &file, WriteToVector, FlushNothing);
  png_set_compression_level(png, 6);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y)
    png_write_row(png, pixels.data() + static_cast<size_t>(y) * width * channels);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return QByteArray(reinterpret_cast<const char*>(file.data()), static_cast<qsizetype>(file.size()));
}

struct MemoryReader {
  const QByteArray* data;
  size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (r->pos + length > static_cast<size_t>(r->data->size())) png_error(png, "read past end");
  std::memcpy(out, r->data->constData() + r->pos, length);
  r->pos += length;
}

// libpng decode of the whole picture into one buffer of rows, as it comes (8-bit samples).
void DecodeWithLibpng(const QByteArray& file, std::vector<uint8_t>& pixels) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  MemoryReader reader{&file, 0};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::abort();
  }
  png_set_read_fn(png, &reader, ReadFromMemory);
  png_read_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  const uint32_t height = png_get_image_height(png, info);
  pixels.resize(rowBytes * height);
  std::vector<png_bytep> rows(height);
  for (uint32_t y = 0; y < height; ++y) rows[y] = pixels.data() + rowBytes * y;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
}

const QByteArray& PngRgba() {
  static const QByteArray file = EncodePngWithLibpng(1000, 1000, 4);
  return file;
}
const QByteArray& PngRgb() {
  static const QByteArray file = EncodePngWithLibpng(500, 500, 3);
  return file;
}

void PngOurs(benchmark::State& state, const QByteArray& file, int64_t outputBytes) {
  for (auto _ : state) {
    orvelle::PngGraphic graphic;
    graphic.LoadFromBytes(file);
    benchmark::DoNotOptimize(graphic.Picture().samples.data());
  }
  state.SetBytesProcessed(state.iterations() * outputBytes);
}
void PngLibpng(benchmark::State& state, const QByteArray& file, int64_t outputBytes) {
  std::vector<uint8_t> pixels;
  for (auto _ : state) {
    DecodeWithLibpng(file, pixels);
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetBytesProcessed(state.iterations() * outputBytes);
}

void BM_PngRgba1000_Ours(benchmark::State& s) { PngOurs(s, PngRgba(), 1000 * 1000 * 4); }
void BM_PngRgba1000_Libpng(benchmark::State& s) { PngLibpng(s, PngRgba(), 1000 * 1000 * 4); }
void BM_PngRgb500_Ours(benchmark::State& s) { PngOurs(s, PngRgb(), 500 * 500 * 3); }
void BM_PngRgb500_Libpng(benchmark::State& s) { PngLibpng(s, PngRgb(), 500 * 500 * 3); }

// ----- GIF -----

int WriteGif(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

QByteArray EncodeGifWithGiflib(int width, int height) {
  const std::vector<uint8_t> rgb = Picture(width, height, 3);
  // 256 colours: 8 levels of red, 8 of green, 4 of blue.
  std::vector<GifColorType> colors(256);
  for (int i = 0; i < 256; ++i) {
    colors[static_cast<size_t>(i)].Red = static_cast<GifByteType>(((i >> 5) & 7) * 255 / 7);
    colors[static_cast<size_t>(i)].Green = static_cast<GifByteType>(((i >> 2) & 7) * 255 / 7);
    colors[static_cast<size_t>(i)].Blue = static_cast<GifByteType>((i & 3) * 255 / 3);
  }
  std::vector<uint8_t> file;
  int error = 0;
  GifFileType* gif = EGifOpen(&file, WriteGif, &error);
  ColorMapObject* map = GifMakeMapObject(256, colors.data());
  EGifPutScreenDesc(gif, width, height, 8, 0, map);
  EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr);
  std::vector<GifPixelType> line(static_cast<size_t>(width));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = rgb.data() + (static_cast<size_t>(y) * width + x) * 3;
      line[static_cast<size_t>(x)] = static_cast<GifPixelType>(((p[0] >> 5) << 5) | ((p[1] >> 5) << 2) | (p[2] >> 6));
    }
    EGifPutLine(gif, line.data(), width);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return QByteArray(reinterpret_cast<const char*>(file.data()), static_cast<qsizetype>(file.size()));
}

const QByteArray& Gif500() {
  static const QByteArray file = EncodeGifWithGiflib(500, 500);
  return file;
}

int ReadGif(GifFileType* gif, GifByteType* out, int length) {
  auto* r = static_cast<MemoryReader*>(gif->UserData);
  const size_t left = static_cast<size_t>(r->data->size()) - r->pos;
  const size_t n = std::min(left, static_cast<size_t>(length));
  std::memcpy(out, r->data->constData() + r->pos, n);
  r->pos += n;
  return static_cast<int>(n);
}

void BM_Gif500_Ours(benchmark::State& state) {
  for (auto _ : state) {
    orvelle::GifGraphic graphic;
    graphic.LoadFromBytes(Gif500());
    benchmark::DoNotOptimize(graphic.Frames().data());
  }
  state.SetBytesProcessed(state.iterations() * 500 * 500);
}

void BM_Gif500_Giflib(benchmark::State& state) {
  for (auto _ : state) {
    MemoryReader reader{&Gif500(), 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, ReadGif, &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) std::abort();
    benchmark::DoNotOptimize(gif->SavedImages[0].RasterBits);
    DGifCloseFile(gif, &error);
  }
  state.SetBytesProcessed(state.iterations() * 500 * 500);
}

// ----- JPEG -----

QByteArray EncodeJpeg(int width, int height) {
  const std::vector<uint8_t> rgb = Picture(width, height, 3);
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
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb.data() + static_cast<size_t>(cinfo.next_scanline) * width * 3);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  QByteArray out(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
  jpeg_destroy_compress(&cinfo);
  free(buffer);
  return out;
}

const QByteArray& Jpeg500() {
  static const QByteArray file = EncodeJpeg(500, 500);
  return file;
}

void BM_Jpeg500_Ours(benchmark::State& state) {
  for (auto _ : state) {
    orvelle::JpegGraphic graphic;
    graphic.LoadFromBytes(Jpeg500());
    graphic.Decode();
    benchmark::DoNotOptimize(graphic.Bitmap().pixels.constData());
  }
  state.SetBytesProcessed(state.iterations() * 500 * 500 * 3);
}

void BM_Jpeg500_Libjpeg(benchmark::State& state) {
  std::vector<uint8_t> pixels;
  for (auto _ : state) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(Jpeg500().constData()),
                 static_cast<unsigned long>(Jpeg500().size()));
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
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetBytesProcessed(state.iterations() * 500 * 500 * 3);
}

BENCHMARK(BM_PngRgba1000_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngRgba1000_Libpng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngRgb500_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngRgb500_Libpng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gif500_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gif500_Giflib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Jpeg500_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Jpeg500_Libjpeg)->Unit(benchmark::kMillisecond);

// Keeps every run's throughput so that the ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      auto it = run.counters.find("bytes_per_second");
      if (it != run.counters.end()) throughput_[run.benchmark_name()] = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    const struct {
      const char* label;
      const char* ours;
      const char* reference;
      const char* target;
    } pairs[] = {
        {"PNG 1000x1000 RGBA  ours/libpng ", "BM_PngRgba1000_Ours", "BM_PngRgba1000_Libpng", ">= 1.00"},
        {"PNG 500x500 RGB     ours/libpng ", "BM_PngRgb500_Ours", "BM_PngRgb500_Libpng", ">= 1.00"},
        {"GIF 500x500 256 col ours/giflib ", "BM_Gif500_Ours", "BM_Gif500_Giflib", ">= 1.00"},
        {"JPEG 500x500 RGB    ours/libjpeg", "BM_Jpeg500_Ours", "BM_Jpeg500_Libjpeg", ">= 0.95"},
    };
    std::printf("\n%-34s %10s %10s %7s  %s\n", "pair", "ours MB/s", "ref MB/s", "ratio", "target");
    for (const auto& p : pairs) {
      auto ours = throughput_.find(p.ours);
      auto reference = throughput_.find(p.reference);
      if (ours == throughput_.end() || reference == throughput_.end()) continue;
      std::printf("%-34s %10.1f %10.1f %7.2f  %s\n", p.label, ours->second / 1e6, reference->second / 1e6,
                  ours->second / reference->second, p.target);
    }
  }

 private:
  std::map<std::string, double> throughput_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
