#pragma once

// The main window's cover disc for the benchmarks: a client panel holding the 230 x 230
// rotating picture at (391, 19) with the main window's disc settings and a 500 x 500 JPEG cover.
#include "controls/gp_image.h"
#include "toolkit/form.h"
#include "toolkit/panel.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>

namespace orvelle::bench {

constexpr int kDisc = 230;
constexpr int kCover = 500;
constexpr int kRing = 8;

// A 500 x 500 cover with detail in both directions, as a JPEG file.
inline QByteArray CoverJpeg() {
  QImage cover(kCover, kCover, QImage::Format_RGB32);
  for (int y = 0; y < kCover; ++y) {
    auto* line = reinterpret_cast<QRgb*>(cover.scanLine(y));
    for (int x = 0; x < kCover; ++x) line[x] = qRgb(x * 255 / kCover, y * 255 / kCover, (x ^ y) & 0xFF);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  cover.save(&buffer, "JPG", 90);
  return bytes;
}

struct DiscWindow {
  DiscWindow() {
    form.SetClientWidth(649);
    form.SetClientHeight(266);
    auto* panel = new Panel(&form);
    panel->SetAlign(Control::alClient);
    disc = new TscGPImage(panel);
    disc->SetBounds(391, 19, kDisc, kDisc);
    disc->SetStyleKind(TscPanel::scpsTransparent);
    disc->SetClipFrame(TscGPImage::scgpcfEllipse);
    disc->SetClipFrameFillColor(clWhite);
    disc->SetClipFrameColor(clWhite);
    disc->SetClipFrameWidth(kRing);
    disc->SetStretch(true);
    disc->SetTransparent(true);
    QBuffer buffer;
    buffer.setData(CoverJpeg());
    buffer.open(QIODevice::ReadOnly);
    disc->Picture()->LoadFromStream(buffer);
    form.show();
    QCoreApplication::processEvents();  // the first expose; before it a repaint draws nothing
  }
  Form form;
  TscGPImage* disc;
};

}  // namespace orvelle::bench
