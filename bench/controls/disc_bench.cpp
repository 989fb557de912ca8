// One animation frame of the main window's cover disc: the 230 x 230 rotating picture with a
// 500 x 500 JPEG cover, turned by one tick and repainted through RePaintControl. Over the plain
// panel the see-through disc paints opaque frames composed once with the panel's pixels, so Qt
// does not repaint the panel under it. References in the same run: the
// frame's three operations (backing fill, clipped rotated picture, ring) drawn alone into an
// image, the same from the full-size cover, and a plain Qt widget of the disc's size over the
// same parent.
//
// CPU times are the whole process's: Qt's raster engine hands parts of large image draws to its
// worker threads, whose time a per-thread clock would leave out.
#include "disc_window.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QPainter>
#include <QPainterPath>

#include <time.h>

namespace {

using orvelle::bench::DiscWindow;
using orvelle::bench::kDisc;
using orvelle::bench::kRing;

void BM_DiscFrameRePaint(benchmark::State& state) {
  DiscWindow window;
  window.disc->SetRotateAnimation(true);
  for (auto _ : state) window.disc->AnimationTick();
}
BENCHMARK(BM_DiscFrameRePaint)->MeasureProcessCPUTime();

// The same disc standing still: one repaint without the tick's angle change.
void BM_DiscStillRePaint(benchmark::State& state) {
  DiscWindow window;
  window.disc->SetRotationAngle(40);
  for (auto _ : state) window.disc->RePaintControl();
}
BENCHMARK(BM_DiscStillRePaint)->MeasureProcessCPUTime();

// A plain widget of the disc's size over the same parent, painting nothing of its own: the cost
// of Qt composing a transparent child over its parent.
void BM_PlainTransparentWidgetRepaint(benchmark::State& state) {
  DiscWindow window;
  auto* plain = new QWidget(window.disc->parentWidget());
  plain->setGeometry(20, 19, kDisc, kDisc);
  plain->show();
  QCoreApplication::processEvents();
  for (auto _ : state) plain->repaint();
}
BENCHMARK(BM_PlainTransparentWidgetRepaint)->MeasureProcessCPUTime();

// The frame's three operations alone, into an image of the disc's size.
void DrawFrame(QPainter& painter, const QImage& picture, int angle) {
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  QPainterPath disc;
  disc.addEllipse(QRectF(1, 1, kDisc - 2, kDisc - 2));
  painter.fillPath(disc, Qt::white);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);  // the clip cuts the picture's edge
  painter.setClipPath(disc);
  painter.translate(kDisc / 2.0, kDisc / 2.0);
  painter.rotate(angle);
  painter.translate(-kDisc / 2.0, -kDisc / 2.0);
  painter.drawImage(QRectF(0, 0, kDisc, kDisc), picture);
  painter.restore();
  QPen ring(Qt::white);
  ring.setWidthF(kRing);
  painter.strokePath([] {
    QPainterPath path;
    path.addEllipse(QRectF(kRing / 2.0, kRing / 2.0, kDisc - kRing, kDisc - kRing));
    return path;
  }(), ring);
}

void DrawFrameLoop(benchmark::State& state, const QImage& picture) {
  // An opaque image holding the parent's face, like the window's backing store the control draws
  // into (Format_RGB32 on the raster platforms).
  QImage target(kDisc, kDisc, QImage::Format_RGB32);
  target.fill(QColor(240, 240, 240));
  int angle = 0;
  for (auto _ : state) {
    QPainter painter(&target);
    DrawFrame(painter, picture, angle + 1);
    angle = angle + 10 > 350 ? 0 : angle + 10;
  }
}

// From the picture prepared once at the size it is drawn at, as the control keeps it.
void BM_DiscFrameDrawOnlyPrepared(benchmark::State& state) {
  DiscWindow window;
  const QImage source = window.disc->Picture()->Graphic()->ToImage();
  const QImage prepared = source.scaled(kDisc, kDisc, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_ARGB32_Premultiplied);
  DrawFrameLoop(state, prepared);
}
BENCHMARK(BM_DiscFrameDrawOnlyPrepared)->MeasureProcessCPUTime();

// From the full-size decoded cover, scaled while drawing.
void BM_DiscFrameDrawOnlyFullSize(benchmark::State& state) {
  DiscWindow window;
  const QImage source = window.disc->Picture()->Graphic()->ToImage();
  DrawFrameLoop(state, source);
}
BENCHMARK(BM_DiscFrameDrawOnlyFullSize)->MeasureProcessCPUTime();

// The frame through RePaintControl and the three operations alone, alternating frame by frame,
// so that a load on the machine that changes over the run weighs on both alike. Counters: the
// mean process CPU time of each, and their ratio.
double ProcessMicroseconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + t.tv_nsec / 1e3;
}

void BM_DiscFrameRePaintAgainstDrawOnly(benchmark::State& state) {
  DiscWindow window;
  window.disc->SetRotateAnimation(true);
  const QImage prepared = window.disc->Picture()->Graphic()->ToImage()
                              .scaled(kDisc, kDisc, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QImage target(kDisc, kDisc, QImage::Format_RGB32);
  target.fill(QColor(240, 240, 240));
  double repaint = 0;
  double draw_only = 0;
  for (auto _ : state) {
    const double start = ProcessMicroseconds();
    window.disc->AnimationTick();
    const double between = ProcessMicroseconds();
    {
      QPainter painter(&target);
      DrawFrame(painter, prepared, window.disc->RotationAngle() + 1);
    }
    repaint += between - start;
    draw_only += ProcessMicroseconds() - between;
  }
  const double frames = static_cast<double>(state.iterations());
  state.counters["repaint_us"] = repaint / frames;
  state.counters["draw_only_us"] = draw_only / frames;
  state.counters["ratio"] = draw_only > 0 ? repaint / draw_only : 0;
}
BENCHMARK(BM_DiscFrameRePaintAgainstDrawOnly)->MeasureProcessCPUTime();

}  // namespace
