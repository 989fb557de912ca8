// The turning disc on a real X server (see run-with-xvfb): the frames the server keeps and copies
// into the window are the pixels Qt paints, the copy never paints over a widget above the disc,
// and the turning rests while the window is fully covered by another.
#include "controls/gp_image.h"
#include "picture_fixtures.h"
#include "toolkit/form.h"
#include "toolkit/theme.h"

#include "kit_test_support.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

namespace orvelle {
namespace {

// A picture of four coloured quarters, so that every turn shows.
QByteArray QuartersPng() {
  QImage image(120, 120, QImage::Format_RGB32);
  const QRgb colours[] = {qRgb(220, 30, 30), qRgb(30, 40, 200), qRgb(0, 160, 0), qRgb(250, 200, 0)};
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, colours[(y / 60) * 2 + x / 60]);
  }
  QByteArray rows;
  for (int y = 0; y < image.height(); ++y) {
    rows.append('\0');
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      rows.append(test::Bytes({qRed(p), qGreen(p), qBlue(p)}));
    }
  }
  return test::PngBuilder().Header(image.width(), image.height(), 8, 2).Data(rows).End().bytes;
}

class GpImageScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QGuiApplication::platformName() != u"xcb"_qs) {
      GTEST_SKIP() << "needs a real X server; CTest runs this program through tests/support/run-with-xvfb";
    }
    form_.Load(QStringLiteral(ORVELLE_CONTROL_LAYOUTS "/gp_image.json"));
    img3_ = form_.Component<TscGPImage>(QStringLiteral("img3"));
    QBuffer png;
    png.setData(QuartersPng());
    png.open(QIODevice::ReadOnly);
    img3_->Picture()->LoadFromStream(png);
    form_.move(0, 0);
    form_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
    QTest::qWait(50);
  }

  // The disc's pixels as the X server shows them in the window.
  QImage OnScreen() {
    QCoreApplication::processEvents();
    const QPoint at = img3_->mapTo(&form_, QPoint(0, 0));
    return form_.screen()
        ->grabWindow(form_.winId(), at.x(), at.y(), img3_->width(), img3_->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  }
  // The disc's pixels as Qt paints them now.
  QImage PaintedByQt() { return test::GrabAsShown(img3_).convertToFormat(QImage::Format_RGB32); }

  test::ScopedTheme theme_;
  Form form_;
  TscGPImage* img3_ = nullptr;
};

TEST_F(GpImageScreenTest, TheServersFramesAreThePixelsQtPaints) {
  img3_->SetRotationAngle(0);
  img3_->SetRotateAnimation(true);
  const int turn = TscGPImage::kMaxAngle / TscGPImage::kAngleStep;
  for (int i = 0; i < turn + 2; ++i) {
    img3_->AnimationTick();
    const QImage shown = OnScreen();
    ASSERT_EQ(shown, PaintedByQt()) << "angle " << img3_->RotationAngle();
  }
  EXPECT_EQ(img3_->ServerFrameCount(), turn);
  EXPECT_LE(img3_->KeptFrameCount() - img3_->ServerFrameCount(), 1);  // the program keeps no turn
}

TEST_F(GpImageScreenTest, BroughtToRestTheWindowShowsTheDiscAsItStoodWhenExposedAgain) {
  img3_->SetRotateAnimation(true);
  for (int i = 0; i < 5; ++i) img3_->AnimationTick();
  const QImage standing = OnScreen();
  img3_->SetRotateAnimation(false);

  // Covered and uncovered, the window is put on screen again from Qt's own copy of it.
  QWidget cover;
  cover.setGeometry(form_.frameGeometry().adjusted(-10, -10, 10, 10));
  cover.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&cover));
  cover.hide();
  QTest::qWait(100);
  EXPECT_EQ(OnScreen(), standing);
}

TEST_F(GpImageScreenTest, AWidgetAboveTheDiscIsNeverPaintedOver) {
  QWidget above(img3_->parentWidget());
  above.setAutoFillBackground(true);
  QPalette palette;
  palette.setColor(QPalette::Window, QColor(255, 0, 255));
  above.setPalette(palette);
  above.setGeometry(img3_->x() + 100, img3_->y() + 100, 30, 30);
  above.show();
  QTest::qWait(50);
  img3_->SetRotateAnimation(true);
  for (int i = 0; i < 3; ++i) {
    img3_->AnimationTick();
    EXPECT_EQ(OnScreen().pixelColor(110, 110), QColor(255, 0, 255)) << "angle " << img3_->RotationAngle();
  }
  EXPECT_EQ(img3_->ServerFrameCount(), 0);
}

TEST_F(GpImageScreenTest, TheTurningRestsWhileTheWindowIsFullyCovered) {
  img3_->SetRotateAnimation(true);
  ASSERT_TRUE(img3_->AnimationTimer()->isActive());
  const int angle_before = img3_->RotationAngle();

  QWidget cover;
  cover.setGeometry(form_.frameGeometry().adjusted(-10, -10, 10, 10));
  cover.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&cover));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !img3_->AnimationTimer()->isActive(); }, 3000));
  const int angle = img3_->RotationAngle();
  QTest::qWait(200);
  EXPECT_EQ(img3_->RotationAngle(), angle);  // no step while covered

  // Partly covered, it turns.
  cover.setGeometry(form_.geometry().x() + 10, form_.geometry().y() + 10, 50, 50);
  EXPECT_TRUE(QTest::qWaitFor([&] { return img3_->AnimationTimer()->isActive(); }, 3000));
  cover.hide();
  QTest::qWait(200);
  EXPECT_NE(img3_->RotationAngle(), angle_before);
  EXPECT_TRUE(img3_->AnimationTimer()->isActive());
}

}  // namespace
}  // namespace orvelle
