// The kit's panel against a plain QWidget filling its background, at the size of the main
// window's lyrics panel.
#include "controls/panel.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QWidget>

namespace {

constexpr int kWidth = 343;
constexpr int kHeight = 400;

void BM_PlainWidgetRepaint(benchmark::State& state) {
  QWidget widget;
  widget.setAutoFillBackground(true);
  widget.resize(kWidth, kHeight);
  widget.show();
  QCoreApplication::processEvents();  // the first expose; before it a repaint draws nothing
  for (auto _ : state) widget.repaint();
}
BENCHMARK(BM_PlainWidgetRepaint);

void BM_KitPanelRepaint(benchmark::State& state) {
  orvelle::TscPanel panel;
  panel.resize(kWidth, kHeight);
  panel.show();
  QCoreApplication::processEvents();
  for (auto _ : state) panel.RePaintControl();
}
BENCHMARK(BM_KitPanelRepaint);

}  // namespace
