// The kit's graphic button against a plain QPushButton of the same size, at the main window's
// sizes: the transport buttons (87 x 35, rectangle, 24 x 24 image) and the mute button (26 x 21,
// rounded rectangle, 20 x 20 image). Each button lies on a window-coloured parent, as on the main
// window, so a repaint also composes what shows behind it.
#include "controls/gp_button.h"
#include "toolkit/image_list.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QPainter>
#include <QPushButton>
#include <QWidget>

#include <memory>

namespace {

struct Size {
  int width, height, image;
};
constexpr Size kTransport{87, 35, 24};
constexpr Size kMute{26, 21, 20};

// A grey glyph on a transparent background, like the program's icons.
std::unique_ptr<orvelle::ImageList> MakeImages(int side) {
  auto images = std::make_unique<orvelle::ImageList>();
  images->SetWidth(side);
  images->SetHeight(side);
  QImage glyph(side, side, QImage::Format_ARGB32_Premultiplied);
  glyph.fill(Qt::transparent);
  QPainter painter(&glyph);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(QColor(0x8A, 0x8A, 0x8A));
  painter.setPen(Qt::NoPen);
  painter.drawPolygon(QPolygonF({QPointF(side * 0.25, side * 0.2), QPointF(side * 0.8, side * 0.5),
                                 QPointF(side * 0.25, side * 0.8)}));
  painter.end();
  images->Add(glyph);
  images->Add(glyph);
  return images;
}

std::unique_ptr<QWidget> MakeParent(const Size& size) {
  auto parent = std::make_unique<QWidget>();
  parent->setAutoFillBackground(true);
  parent->resize(size.width + 20, size.height + 20);
  return parent;
}

void ShowAndExpose(QWidget* parent) {
  parent->show();
  QCoreApplication::processEvents();  // the first expose; before it a repaint draws nothing
}

void PlainButtonRepaint(benchmark::State& state, const Size& size) {
  auto parent = MakeParent(size);
  auto* button = new QPushButton(parent.get());
  button->setGeometry(10, 10, size.width, size.height);
  ShowAndExpose(parent.get());
  for (auto _ : state) button->repaint();
}

void KitButtonRepaint(benchmark::State& state, const Size& size,
                      orvelle::TscGPButtonOptions::TscGPButtonShapeStyle shape) {
  auto images = MakeImages(size.image);
  auto parent = MakeParent(size);
  auto* button = new orvelle::TscGPButton(parent.get());
  button->SetBounds(10, 10, size.width, size.height);
  button->SetShowCaption(false);
  button->SetImages(images.get());
  button->SetImageIndex(0);
  button->SetHotImageIndex(1);
  button->Options()->SetShapeStyle(shape);
  ShowAndExpose(parent.get());
  for (auto _ : state) button->RePaintControl();
}

void BM_PlainPushButtonRepaint_87x35(benchmark::State& state) { PlainButtonRepaint(state, kTransport); }
BENCHMARK(BM_PlainPushButtonRepaint_87x35);

void BM_KitGPButtonRepaint_87x35(benchmark::State& state) {
  KitButtonRepaint(state, kTransport, orvelle::TscGPButtonOptions::scgpRect);
}
BENCHMARK(BM_KitGPButtonRepaint_87x35);

void BM_PlainPushButtonRepaint_26x21(benchmark::State& state) { PlainButtonRepaint(state, kMute); }
BENCHMARK(BM_PlainPushButtonRepaint_26x21);

void BM_KitGPButtonRepaint_26x21(benchmark::State& state) {
  KitButtonRepaint(state, kMute, orvelle::TscGPButtonOptions::scgpRoundedRect);
}
BENCHMARK(BM_KitGPButtonRepaint_26x21);

}  // namespace
