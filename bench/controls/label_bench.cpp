// The kit's label against a QLabel of the same text, font and size: the main window's song title
// (Tahoma of 29 pixels, bold) in the size the label takes for it.
#include "bench_window.h"
#include "controls/label.h"

#include <benchmark/benchmark.h>

#include <QLabel>

namespace {

using orvelle::bench::BenchWindow;

const QString kTitle = QStringLiteral("Song title 歌名");

void BM_PlainLabelRepaint(benchmark::State& state) {
  BenchWindow window;
  orvelle::TscLabel sized;  // only to learn the size the kit label takes
  sized.GetFont()->SetHeight(29);
  sized.GetFont()->SetStyle(orvelle::Font::fsBold);
  sized.SetCaption(kTitle);
  auto* label = new QLabel(kTitle);
  label->setFont(sized.font());
  window.Hold(label, sized.width(), sized.height());
  for (auto _ : state) label->repaint();
}
BENCHMARK(BM_PlainLabelRepaint);

void BM_KitLabelRepaint(benchmark::State& state) {
  BenchWindow window;
  auto* label = new orvelle::TscLabel();
  label->GetFont()->SetHeight(29);
  label->GetFont()->SetStyle(orvelle::Font::fsBold);
  label->SetCaption(kTitle);
  window.Hold(label, label->width(), label->height());
  for (auto _ : state) label->RePaintControl();
}
BENCHMARK(BM_KitLabelRepaint);

}  // namespace

// A caption of the given length in a label of fixed size (the title label's width in the main
// window, AutoSize off): the repaint shows as much of the caption whatever its length, so its
// cost should not grow with the caption once the caption is set into lines only when it changes.
QString CaptionOfLength(int length) {
  QString caption;
  while (caption.size() < length) caption += kTitle + QLatin1Char(' ');
  return caption.left(length);
}

void BM_KitLabelRepaintByCaptionLength(benchmark::State& state) {
  BenchWindow window;
  auto* label = new orvelle::TscLabel();
  label->SetAutoSize(false);
  label->GetFont()->SetHeight(29);
  label->GetFont()->SetStyle(orvelle::Font::fsBold);
  label->SetCaption(CaptionOfLength(static_cast<int>(state.range(0))));
  window.Hold(label, 380, 35);
  for (auto _ : state) label->RePaintControl();
}
BENCHMARK(BM_KitLabelRepaintByCaptionLength)->Arg(16)->Arg(120)->Arg(500);
