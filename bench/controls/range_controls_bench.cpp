// The kit's progress bar and track bar against QProgressBar and QSlider of the sizes the main
// window gives them (the song progress 360 x 6, the volume slider 97 x 20).
#include "bench_window.h"
#include "controls/gp_progress_bar.h"
#include "controls/track_bar.h"

#include <benchmark/benchmark.h>

#include <QProgressBar>
#include <QSlider>

namespace {

using orvelle::bench::BenchWindow;

void BM_PlainProgressBarRepaint(benchmark::State& state) {
  BenchWindow window;
  auto* bar = new QProgressBar();
  bar->setTextVisible(false);
  bar->setRange(0, 240);
  bar->setValue(120);
  window.Hold(bar, 360, 6);
  for (auto _ : state) bar->repaint();
}
BENCHMARK(BM_PlainProgressBarRepaint);

void BM_KitProgressBarRepaint(benchmark::State& state) {
  BenchWindow window;
  auto* bar = new orvelle::TscGPProgressBar();
  bar->SetFrameColor(orvelle::clOlive);
  bar->SetMaxValue(240);
  bar->SetValue(120);
  window.Hold(bar, 360, 6);
  for (auto _ : state) bar->RePaintControl();
}
BENCHMARK(BM_KitProgressBarRepaint);

void BM_PlainSliderRepaint(benchmark::State& state) {
  BenchWindow window;
  auto* slider = new QSlider(Qt::Horizontal);
  slider->setRange(0, 200);
  slider->setValue(100);
  window.Hold(slider, 97, 20);
  for (auto _ : state) slider->repaint();
}
BENCHMARK(BM_PlainSliderRepaint);

void BM_KitTrackBarRepaint(benchmark::State& state) {
  BenchWindow window;
  auto* bar = new orvelle::TscTrackBar();
  bar->TrackOptions()->SetStyleKind(orvelle::TscTrackBarStyle::sctsColor);
  bar->TrackOptions()->SetSize(5);
  bar->ThumbOptions()->SetStyleKind(orvelle::TscTrackBarStyle::sctsColor);
  bar->SetMaxValue(200);
  bar->SetValue(100);
  window.Hold(bar, 97, 20);
  for (auto _ : state) bar->RePaintControl();
}
BENCHMARK(BM_KitTrackBarRepaint);

}  // namespace
