// Decoding speed against the reference libraries, in the same run.
//
// Decoders: our PNG decoder against libpng and libspng (1000 x 1000 RGBA, 500 x 500 RGB),
// our GIF decoder against giflib (500 x 500, 256 colours), JpegGraphic against plain libjpeg
// (500 x 500 colour). Our PNG side loads and converts to the 32-bit drawing-ready picture;
// the references stop at 8-bit samples in the file's layout.
//
// Pictures as the program downloads them: covers and singer pictures of 100 to 500 pixels,
// each through the container (LoadFromStream, then ToImage), against the reference library's
// decode of the same file; the figure is what one picture of a song change costs.
//
//   build/test/bench/picture/bench_picture [--benchmark_repetitions=5 --benchmark_report_aggregates_only=true]
//
// After the table each pair prints the ratio reference time / our time from the medians of
// both sides: above 1 ours is faster.

#include "bench_files.h"
#include "median_reporter.h"
#include "reference_decoders.h"
#include "service/picture/gif_graphic.h"
#include "service/picture/jpeg_graphic.h"
#include "service/picture/picture_container.h"
#include "service/picture/png_graphic.h"

#include <benchmark/benchmark.h>

#include <QBuffer>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace orvelle::bench;

// One picture file, decoded by us and by each reference.
struct Reference {
  const char* name;     // benchmark name suffix
  const char* target;   // the ratio it should reach
  std::function<void(const QByteArray&)> decode;
};

struct Case {
  const char* name;
  const char* label;
  std::function<QByteArray()> make;
  std::function<void(const QByteArray&)> ours;
  std::vector<Reference> references;
  benchmark::TimeUnit unit;
};

const QByteArray& FileOf(const Case& c) {
  static std::map<std::string, QByteArray> files;
  auto found = files.find(c.name);
  if (found == files.end()) found = files.emplace(c.name, c.make()).first;
  return found->second;
}

// ----- our side -----

void OursPng(const QByteArray& file) {
  orvelle::PngGraphic graphic;
  graphic.LoadFromBytes(file);
  const QImage image = graphic.ToImage();
  benchmark::DoNotOptimize(image.constBits());
}

void OursGif(const QByteArray& file) {
  orvelle::GifGraphic graphic;
  graphic.LoadFromBytes(file);
  benchmark::DoNotOptimize(graphic.Frames().data());
}

void OursJpeg(const QByteArray& file) {
  orvelle::JpegGraphic graphic;
  graphic.LoadFromBytes(file);
  graphic.Decode();
  benchmark::DoNotOptimize(graphic.Bitmap().pixels.constData());
}

// The program's whole path for a downloaded picture: recognise, decode, make drawing-ready.
void OursContainer(const QByteArray& file) {
  QBuffer buffer;
  buffer.setData(file);
  buffer.open(QIODevice::ReadOnly);
  orvelle::PictureContainer picture;
  picture.LoadFromStream(buffer);
  const QImage image = picture.Graphic()->ToImage();
  benchmark::DoNotOptimize(image.constBits());
}

// ----- references -----

void Libpng(const QByteArray& file) {
  static thread_local std::vector<uint8_t> pixels;
  DecodeWithLibpng(file, pixels);
  benchmark::DoNotOptimize(pixels.data());
}
void Libspng(const QByteArray& file) {
  static thread_local std::vector<uint8_t> pixels;
  DecodeWithLibspng(file, pixels);
  benchmark::DoNotOptimize(pixels.data());
}
void LibspngRgba(const QByteArray& file) {
  static thread_local std::vector<uint8_t> pixels;
  DecodeWithLibspng(file, pixels, true);
  benchmark::DoNotOptimize(pixels.data());
}
void Giflib(const QByteArray& file) { DecodeWithGiflib(file); }
void Libjpeg(const QByteArray& file) {
  static thread_local std::vector<uint8_t> pixels;
  DecodeWithLibjpeg(file, pixels);
  benchmark::DoNotOptimize(pixels.data());
}

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"PngRgba1000", "PNG 1000x1000 RGBA", [] { return EncodePng(1000, 1000, PngLayout::Rgba); }, OursPng,
       {{"Libpng", ">= 1.50", Libpng}, {"Libspng", ">= 1.00", Libspng}}, benchmark::kMillisecond},
      {"PngRgb500", "PNG 500x500 RGB", [] { return EncodePng(500, 500, PngLayout::Rgb); }, OursPng,
       {{"Libpng", ">= 1.50", Libpng}, {"Libspng", ">= 1.00", Libspng}}, benchmark::kMillisecond},
      {"Gif500", "GIF 500x500 256 colours", [] { return EncodeGif(500, 500); }, OursGif,
       {{"Giflib", ">= 1.00", Giflib}}, benchmark::kMillisecond},
      {"Jpeg500", "JPEG 500x500 RGB", [] { return EncodeJpeg(500, 500); }, OursJpeg,
       {{"Libjpeg", ">= 0.95", Libjpeg}}, benchmark::kMillisecond},
      // What the program downloads, through the whole path.
      {"CoverPngAlpha300", "cover PNG 300x300 alpha", [] { return EncodePng(300, 300, PngLayout::Rgba); },
       OursContainer, {{"Libspng", "", LibspngRgba}}, benchmark::kMicrosecond},
      {"CoverPngPalette200", "cover PNG 200x200 palette", [] { return EncodePng(200, 200, PngLayout::Palette); },
       OursContainer, {{"Libspng", "", LibspngRgba}}, benchmark::kMicrosecond},
      {"CoverPngInterlaced400", "cover PNG 400x400 interlaced",
       [] { return EncodePng(400, 400, PngLayout::Rgb, true); }, OursContainer, {{"Libspng", "", LibspngRgba}},
       benchmark::kMicrosecond},
      {"CoverJpeg500", "cover JPEG 500x500 baseline", [] { return EncodeJpeg(500, 500); }, OursContainer,
       {{"Libjpeg", "", Libjpeg}}, benchmark::kMicrosecond},
      {"CoverJpegProgressive500", "cover JPEG 500x500 progressive", [] { return EncodeJpeg(500, 500, true); },
       OursContainer, {{"Libjpeg", "", Libjpeg}}, benchmark::kMicrosecond},
      {"SingerJpeg100", "singer JPEG 100x100", [] { return EncodeJpeg(100, 100); }, OursContainer,
       {{"Libjpeg", "", Libjpeg}}, benchmark::kMicrosecond},
      {"SingerGifAnimated200", "singer GIF 200x200 8 frames", [] { return EncodeGif(200, 200, 8); },
       OursContainer, {{"Giflib", "", Giflib}}, benchmark::kMicrosecond},
  };
  return cases;
}

void Run(benchmark::State& state, const Case& c, const std::function<void(const QByteArray&)>& decode) {
  const QByteArray& file = FileOf(c);
  for (auto _ : state) decode(file);
  state.counters["file_bytes"] = static_cast<double>(file.size());
}

void RegisterCases() {
  for (const Case& c : Cases()) {
    benchmark::RegisterBenchmark((std::string("BM_") + c.name + "_Ours").c_str(),
                                 [&c](benchmark::State& s) { Run(s, c, c.ours); })
        ->Unit(c.unit);
    for (const Reference& r : c.references)
      benchmark::RegisterBenchmark((std::string("BM_") + c.name + "_" + r.name).c_str(),
                                   [&c, &r](benchmark::State& s) { Run(s, c, r.decode); })
          ->Unit(c.unit);
  }
}

void PrintRatios(const MedianReporter& reporter) {
  std::printf("\n%-32s %-8s %12s %12s %7s  %s\n", "case", "against", "ours us", "ref us", "ratio", "target");
  for (const Case& c : Cases()) {
    const std::string ours = std::string("BM_") + c.name + "_Ours";
    for (const Reference& r : c.references) {
      const std::string reference = std::string("BM_") + c.name + "_" + r.name;
      const auto oursSeconds = reporter.MedianSeconds(ours);
      const auto referenceSeconds = reporter.MedianSeconds(reference);
      const auto ratio = reporter.Speedup(ours, reference);
      if (!oursSeconds || !referenceSeconds || !ratio) continue;
      std::printf("%-32s %-8s %12.1f %12.1f %7.2f  %s\n", c.label, r.name, *oursSeconds * 1e6,
                  *referenceSeconds * 1e6, *ratio, r.target);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RegisterCases();
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintRatios(reporter);
  benchmark::Shutdown();
  return 0;
}
