// The main window on a screen of twice the density (QT_SCALE_FACTOR=2): twice the size in
// pixels, with text, icons and kit controls drawn at the screen's resolution rather than drawn
// at the layout's and enlarged.

#include "app/start_up.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace orvelle {
namespace {

// The share of the region's screen pixels that differ clearly from the same place of the
// window drawn at one pixel per unit and enlarged (each pixel made a 2 x 2 block). A drawing
// made at one pixel per unit and enlarged gives 0; a finer one differs along every slanted or
// curved edge.
double ShareOfFinerDetail(const QImage& fine, const QImage& coarse, const QRect& region) {
  int differing = 0;
  for (int y = 2 * region.top(); y < 2 * (region.bottom() + 1); ++y) {
    for (int x = 2 * region.left(); x < 2 * (region.right() + 1); ++x) {
      const QRgb a = fine.pixel(x, y);
      const QRgb b = coarse.pixel(x / 2, y / 2);
      const int difference = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                        std::abs(qBlue(a) - qBlue(b))});
      if (difference > 12) ++differing;
    }
  }
  return double(differing) / (4.0 * region.width() * region.height());
}

TEST(HighDensity, TheMainWindowIsDrawnAtTheScreensResolution) {
  ASSERT_EQ(qApp->devicePixelRatio(), 2.0) << "run with QT_SCALE_FACTOR=2";
  ProgramWindows windows = CreateProgramWindows({});
  MainWindow* form = windows.main_window.get();
  form->titleLabel->SetCaption(QStringLiteral("Paper Lanterns"));
  form->singerLabel->SetCaption(QStringLiteral("林晓岚"));

  const QImage fine = form->grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(form->size(), QSize(649, 266));
  EXPECT_EQ(fine.size(), QSize(1298, 532));
  QImage coarse(form->size(), QImage::Format_RGB32);
  coarse.setDevicePixelRatio(1);
  form->render(&coarse);

  struct Region {
    const char* what;
    QWidget* control;
  };
  const Region regions[] = {{"title", form->titleLabel},       {"singer", form->singerLabel},
                            {"channel drop-down", form->channelList}, {"lyrics button's icon", form->lyricsButton},
                            {"skip button's icon", form->nextButton}, {"mute button's icon", form->muteButton},
                            {"help button's icon", form->noticeButton}, {"disc's ring", form->disc}};
  for (const Region& region : regions) {
    const QRect rect(region.control->mapTo(form, QPoint(0, 0)), region.control->size());
    EXPECT_GT(ShareOfFinerDetail(fine, coarse, rect), 0.002) << region.what;
  }
}

}  // namespace
}  // namespace orvelle
