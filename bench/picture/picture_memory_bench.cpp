// Peak memory of loading a picture and converting it for drawing, the program's path
// (PictureContainer::LoadFromStream over the downloaded bytes, then ToImage), per format.
// Each case reports the most bytes held at once above what was held before it started
// (the file's own bytes are already there and not counted), the size of the 32-bit output,
// and their ratio.
//
//   build/test/bench/picture/bench_picture_memory
//
// A time is printed too, but this program counts every allocation: quote speed from
// bench_picture.

#include "bench_files.h"
#include "counting_allocator.h"
#include "service/picture/picture_container.h"

#include <benchmark/benchmark.h>

#include <QBuffer>

#include <functional>
#include <string>

namespace {

using namespace orvelle::bench;

constexpr int kWidth = 10000;
constexpr int kHeight = 6000;

struct Case {
  const char* name;
  std::function<QByteArray()> make;
};

// The file of the case that runs now; made again only when another case starts.
const QByteArray& FileFor(const Case& c) {
  static std::string current;
  static QByteArray file;
  if (current != c.name) {
    file = QByteArray();
    file = c.make();
    current = c.name;
  }
  return file;
}

void PeakOfLoadAndConvert(benchmark::State& state, const Case& c) {
  const QByteArray& file = FileFor(c);
  int64_t peak = 0;
  int64_t output = 0;
  for (auto _ : state) {
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    const int64_t before = ResetPeak();
    {
      orvelle::PictureContainer picture;
      picture.LoadFromStream(buffer);
      const QImage image = picture.Graphic()->ToImage();
      output = image.sizeInBytes();
      benchmark::DoNotOptimize(image.constBits());
      peak = PeakBytes() - before;
    }
  }
  state.counters["file_MB"] = static_cast<double>(file.size()) / 1e6;
  state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
  state.counters["output_MB"] = static_cast<double>(output) / 1e6;
  state.counters["peak_per_output"] = output ? static_cast<double>(peak) / static_cast<double>(output) : 0;
}

const Case kCases[] = {
    {"10000x6000_PngRgba", [] { return EncodeLargePng(kWidth, kHeight, PngLayout::Rgba); }},
    {"10000x6000_PngRgb", [] { return EncodeLargePng(kWidth, kHeight, PngLayout::Rgb); }},
    {"10000x6000_PngPalette", [] { return EncodeLargePng(kWidth, kHeight, PngLayout::Palette); }},
    {"10000x6000_Gif", [] { return EncodeGif(kWidth, kHeight); }},
    {"10000x6000_Bmp", [] { return EncodeBmp(kWidth, kHeight); }},
    // A cover, whose image data is inflated whole.
    {"1000x1000_PngRgba", [] { return EncodePng(1000, 1000, PngLayout::Rgba); }},
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  for (const Case& c : kCases)
    benchmark::RegisterBenchmark((std::string("BM_Peak") + c.name).c_str(),
                                 [&c](benchmark::State& s) { PeakOfLoadAndConvert(s, c); })
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
