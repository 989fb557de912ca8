// The rotating picture control: which picture shows, where it lands, the disc's backing, clip
// and ring, and the turning timer.

#include "controls/gp_image.h"
#include "picture_fixtures.h"
#include "service/error.h"
#include "toolkit/form.h"
#include "toolkit/image_list.h"
#include "toolkit/panel.h"
#include "toolkit/theme.h"

#include "kit_test_support.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <vector>

namespace orvelle {
namespace {

const QColor kRed(220, 30, 30);
const QColor kBlue(30, 40, 200);
const QColor kYellow(255, 255, 0);
const QColor kGreen(0, 160, 0);

Color ToColor(const QColor& c) { return Color::FromRgb(c.red(), c.green(), c.blue()); }

// An RGBA PNG file of the image's pixels.
QByteArray PngOf(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_ARGB32);
  QByteArray rows;
  for (int y = 0; y < image.height(); ++y) {
    rows.append('\0');
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      rows.append(test::Bytes({qRed(p), qGreen(p), qBlue(p), qAlpha(p)}));
    }
  }
  return test::PngBuilder().Header(image.width(), image.height(), 8, 6).Data(rows).End().bytes;
}

// A picture whose top half is red and bottom half blue, so that a turn shows where the top went.
QImage HalvesPicture(int size = 100) {
  QImage image(size, size, QImage::Format_ARGB32);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) image.setPixel(x, y, (y < size / 2 ? kRed : kBlue).rgba());
  }
  return image;
}

QImage Solid(const QColor& color, int size = 16) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(color);
  return image;
}

void Load(TscGPImage& image, const QByteArray& bytes) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  image.Picture()->LoadFromStream(buffer);
}

bool Near(const QColor& a, const QColor& b, int tolerance) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

// img3 of the main window, loaded from the family's layout, over a plain panel.
class GpImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form_.Load(QStringLiteral(ORVELLE_CONTROL_LAYOUTS "/gp_image.json"));
    img3_ = form_.Component<TscGPImage>(QStringLiteral("img3"));
    form_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
    parent_colour_ = Shown().pixelColor(0, 0);
  }
  QImage Shown() { return test::GrabAsShown(img3_); }
  QColor At(int x, int y) { return Shown().pixelColor(x, y); }

  // Backing and ring in colours of their own, so that each shows where it is drawn.
  void ColourTheDisc() {
    img3_->SetClipFrameFillColor(ToColor(kYellow));
    img3_->SetClipFrameColor(ToColor(kGreen));
  }

  test::ScopedTheme theme_;
  Form form_;
  TscGPImage* img3_ = nullptr;
  QColor parent_colour_;
};

TEST_F(GpImageTest, LayoutSetsEveryOptionAndConstructorDefaultsHold) {
  EXPECT_EQ(img3_->geometry(), QRect(391, 19, 230, 230));
  EXPECT_EQ(img3_->ClipFrame(), TscGPImage::scgpcfEllipse);
  EXPECT_EQ(img3_->ClipFrameWidth(), 8);
  EXPECT_EQ(img3_->ClipFrameColor(), clWhite);
  EXPECT_EQ(img3_->RotationAngle(), 230);
  EXPECT_FALSE(img3_->RotateAnimation());
  EXPECT_TRUE(img3_->Stretch());
  EXPECT_TRUE(img3_->Transparent());
  EXPECT_TRUE(img3_->TransparentBackground());
  EXPECT_EQ(QAccessible::queryAccessibleInterface(img3_)->role(), QAccessible::Graphic);
  auto* img4 = form_.Component<TscGPImage>(QStringLiteral("img4"));
  EXPECT_EQ(img4->ClipFrameFillColorAlpha(), 128);
  EXPECT_EQ(img4->Position(), TscGPImage::scgpipCenter);

  TscGPImage plain;
  EXPECT_EQ(plain.size(), QSize(105, 105));
  EXPECT_EQ(plain.ClipFrame(), TscGPImage::scgpcfNone);
  EXPECT_EQ(plain.ClipFrameRadius(), 10);
  EXPECT_EQ(plain.ClipFrameFillColor(), clWindow);
  EXPECT_EQ(plain.ClipFrameFillColorAlpha(), 255);
  EXPECT_EQ(plain.ClipFrameColor(), clBtnFace);
  EXPECT_EQ(plain.ClipFrameWidth(), 2);
  EXPECT_EQ(plain.RotationAngle(), 0);
  EXPECT_FALSE(plain.Stretch() || plain.Proportional() || plain.Transparent() || plain.AutoSize());
  EXPECT_EQ(plain.Position(), TscGPImage::scgpipLeft);
  EXPECT_EQ(plain.ImageIndex(), -1);
  EXPECT_EQ(plain.AnimationTimer(), nullptr);
}

TEST_F(GpImageTest, WithoutAPictureTheDiscShowsBackingAndRingOverTheParent) {
  ColourTheDisc();
  const QImage shown = Shown();
  EXPECT_EQ(shown.pixelColor(115, 115), kYellow);
  EXPECT_EQ(shown.pixelColor(115, 13), kYellow);  // radius 102: inside the ring
  EXPECT_EQ(shown.pixelColor(115, 3), kGreen);    // radius 112: the ring's band 107...115
  EXPECT_EQ(shown.pixelColor(226, 115), kGreen);
  EXPECT_EQ(shown.pixelColor(2, 2), parent_colour_);
  EXPECT_EQ(shown.pixelColor(30, 30), parent_colour_);  // radius 120: outside the ring
  // The ring's outer edge touches the control's bounds, anti-aliased.
  EXPECT_NE(shown.pixelColor(115, 0), parent_colour_);

  // Without a ring colour the backing reaches the edge of its ellipse.
  img3_->SetClipFrameColor(clNone);
  EXPECT_EQ(At(115, 3), kYellow);
}

TEST_F(GpImageTest, ThePictureIsStretchedAndCutToTheDiscAtAngleZero) {
  ColourTheDisc();
  img3_->SetRotationAngle(0);
  Load(*img3_, PngOf(HalvesPicture()));
  const QImage shown = Shown();
  EXPECT_EQ(shown.pixelColor(115, 60), kRed);
  EXPECT_EQ(shown.pixelColor(115, 170), kBlue);
  EXPECT_EQ(shown.pixelColor(115, 13), kRed);  // the picture reaches the ring
  EXPECT_EQ(shown.pixelColor(45, 45), kRed);
  EXPECT_EQ(shown.pixelColor(115, 3), kGreen);  // the ring lies on top
  // The picture covers the whole square but the clip keeps its corners off the parent.
  EXPECT_EQ(shown.pixelColor(10, 10), parent_colour_);
  EXPECT_EQ(shown.pixelColor(220, 220), parent_colour_);
}

TEST_F(GpImageTest, EachTickTurnsTenDegreesClockwiseAboutTheCentre) {
  Load(*img3_, PngOf(HalvesPicture()));
  img3_->SetRotationAngle(0);
  img3_->SetRotateAnimation(true);
  ASSERT_NE(img3_->AnimationTimer(), nullptr);
  EXPECT_EQ(img3_->AnimationTimer()->interval(), 40);
  EXPECT_TRUE(img3_->AnimationTimer()->isActive());
  for (int i = 0; i < 9; ++i) img3_->AnimationTick();
  EXPECT_EQ(img3_->RotationAngle(), 90);
  QImage shown = Shown();
  EXPECT_EQ(shown.pixelColor(180, 115), kRed);  // the top half turned to the right
  EXPECT_EQ(shown.pixelColor(50, 115), kBlue);
  EXPECT_EQ(shown.pixelColor(10, 10), parent_colour_);
  for (int i = 0; i < 9; ++i) img3_->AnimationTick();
  shown = Shown();
  EXPECT_EQ(shown.pixelColor(115, 170), kRed);  // upside down
  EXPECT_EQ(shown.pixelColor(115, 60), kBlue);
}

TEST_F(GpImageTest, WhileTurningTheDrawnAngleIsOneMoreExceptAtZero) {
  Load(*img3_, PngOf(HalvesPicture()));
  auto frame = [&](int angle, bool turning) {
    img3_->SetRotateAnimation(turning);
    img3_->SetRotationAngle(angle);
    img3_->RePaintControl();
    return Shown();
  };
  EXPECT_EQ(frame(90, true), frame(91, false));
  EXPECT_NE(frame(90, true), frame(90, false));
  EXPECT_EQ(frame(0, true), frame(0, false));
}

TEST_F(GpImageTest, SwitchingOffAndBackToZeroDrawsUprightThenTurnsFromZero) {
  Load(*img3_, PngOf(HalvesPicture()));
  img3_->SetRotationAngle(0);
  const QImage upright = Shown();
  img3_->SetRotateAnimation(true);
  for (int i = 0; i < 5; ++i) img3_->AnimationTick();
  img3_->SetRotateAnimation(false);
  EXPECT_EQ(img3_->AnimationTimer(), nullptr);
  EXPECT_EQ(img3_->RotationAngle(), 50);  // switching off keeps the angle
  img3_->SetRotationAngle(0);
  EXPECT_EQ(Shown(), upright);
  img3_->SetRotateAnimation(true);
  img3_->AnimationTick();
  EXPECT_EQ(img3_->RotationAngle(), 10);
  const QImage first = Shown();
  img3_->SetRotateAnimation(false);
  img3_->SetRotationAngle(11);
  EXPECT_EQ(Shown(), first);
}

TEST_F(GpImageTest, ATurnDrawsEachAngleOnceAndAChangeDrawsAgain) {
  ColourTheDisc();
  Load(*img3_, PngOf(HalvesPicture()));
  img3_->SetRotationAngle(0);
  img3_->SetRotateAnimation(true);
  const int turn = TscGPImage::kMaxAngle / TscGPImage::kAngleStep;
  std::vector<QImage> first_turn;
  for (int i = 0; i < turn; ++i) {
    img3_->AnimationTick();
    first_turn.push_back(Shown());
  }
  const int drawn = img3_->DrawnFrameCount();
  for (int i = 0; i < turn; ++i) {
    img3_->AnimationTick();
    EXPECT_EQ(Shown(), first_turn[i]) << "angle " << img3_->RotationAngle();
  }
  EXPECT_EQ(img3_->DrawnFrameCount(), drawn);  // the second turn only copied frames
  EXPECT_LE(img3_->KeptFrameCount(), TscGPImage::kMaxKeptFrames);

  // A kept frame never shows an old look: a new ring colour, a new picture, a new size.
  img3_->SetClipFrameColor(ToColor(kRed));
  EXPECT_EQ(At(115, 3), kRed);
  Load(*img3_, PngOf(HalvesPicture().mirrored(false, true)));
  EXPECT_EQ(At(115, 60), kBlue);  // 0 degrees: the blue half is now on top
  img3_->SetClipFrameWidth(20);
  EXPECT_EQ(At(115, 15), kRed);  // radius 100: inside the wider ring

  // At rest the turn's frames are let go.
  img3_->SetRotateAnimation(false);
  EXPECT_EQ(img3_->KeptFrameCount(), 0);
}

TEST_F(GpImageTest, TheTurningRestsWhileTheDiscIsHiddenOrItsWindowMinimised) {
  img3_->SetRotateAnimation(true);
  ASSERT_TRUE(img3_->AnimationTimer()->isActive());
  img3_->AnimationTick();
  const int angle = img3_->RotationAngle();
  img3_->setVisible(false);
  EXPECT_FALSE(img3_->AnimationTimer()->isActive());
  img3_->setVisible(true);
  EXPECT_TRUE(img3_->AnimationTimer()->isActive());

  form_.showMinimized();
  EXPECT_FALSE(img3_->AnimationTimer()->isActive());
  EXPECT_TRUE(img3_->RotateAnimation());  // still on: it turns on once the window shows again
  form_.showNormal();
  EXPECT_TRUE(img3_->AnimationTimer()->isActive());
  EXPECT_EQ(img3_->RotationAngle(), angle);  // from where it stopped
}

TEST(GpImageAngle, SetterLimitsAndTheTickTable) {
  TscGPImage image;
  for (int angle : {361, -361, 1000}) {
    image.SetRotationAngle(angle);
    EXPECT_EQ(image.RotationAngle(), 0) << angle;
  }
  image.SetRotationAngle(360);
  EXPECT_EQ(image.RotationAngle(), 360);
  image.SetRotationAngle(-360);
  EXPECT_EQ(image.RotationAngle(), -360);

  const struct {
    int angle;
    bool acceleration;
    int next;
    int interval;
  } cases[] = {
      {0, false, 10, 40},    {340, false, 350, 40}, {350, false, 0, 40},   {345, false, 0, 40},
      {7, false, 17, 40},    // an angle from outside keeps its remainder
      {0, true, 10, 5},      {60, true, 70, 5},     {120, true, 130, 10},  {240, true, 250, 20},
      {250, true, 255, 21},  {350, true, 355, 29},  {355, true, 0, 30},    {-120, true, -110, 10},
      {78, true, 88, 6},     // 6.5 ms rounds to the even 6
      {66, true, 76, 6},     // 5.5 ms rounds to the even 6
  };
  image.SetRotateAnimation(true);
  for (const auto& c : cases) {
    image.SetAnimationAcceleration(c.acceleration);
    image.SetRotationAngle(c.angle);
    image.AnimationTick();
    EXPECT_EQ(image.RotationAngle(), c.next) << c.angle << (c.acceleration ? " accelerated" : "");
    EXPECT_EQ(image.AnimationTimer()->interval(), c.interval) << c.angle << (c.acceleration ? " accelerated" : "");
  }
}

TEST_F(GpImageTest, ClearingThePictureWhileTurningKeepsTheTimerAndShowsTheWhiteDisc) {
  Load(*img3_, PngOf(HalvesPicture()));
  img3_->SetRotateAnimation(true);
  img3_->AnimationTick();
  img3_->SetPicture(nullptr);
  EXPECT_TRUE(img3_->AnimationTimer()->isActive());
  img3_->AnimationTick();
  const QImage shown = Shown();
  EXPECT_EQ(shown.pixelColor(115, 60), QColor(Qt::white));
  EXPECT_EQ(shown.pixelColor(115, 3), QColor(Qt::white));
  EXPECT_EQ(shown.pixelColor(10, 10), parent_colour_);
}

// Every kind the picture container decodes, as a solid picture: the kinds with alpha keep it
// (a transparent one shows the backing), the others are drawn opaque.
TEST_F(GpImageTest, EveryPictureKindIsDrawnAndAlphaShowsTheBacking) {
  ColourTheDisc();
  img3_->SetRotationAngle(0);
  const QImage clear = Solid(QColor(0, 0, 0, 0));
  std::vector<uint8_t> samples;
  for (int i = 0; i < 16 * 16; ++i) samples.insert(samples.end(), {220, 30, 30});
  test::BmpLayout bmp;
  bmp.width = 2;
  bmp.height = 2;
  bmp.pixels = test::Bytes({30, 30, 220, 30, 30, 220, 0, 0, 30, 30, 220, 30, 30, 220, 0, 0});
  test::GifBuilder gif(2, 2, {0xDC1E1E, 0x000000});
  gif.Image(0, 0, 2, 2, {0, 0, 0, 0}).Trailer();
  const struct {
    const char* kind;
    QByteArray file;
    QColor centre;
    int tolerance;
  } cases[] = {
      {"PNG", PngOf(Solid(kRed)), kRed, 0},
      {"transparent PNG", PngOf(clear), kYellow, 0},
      {"JPEG", test::BuildJpeg(16, 16, 3, samples), kRed, 8},
      {"GIF", gif.bytes, kRed, 0},
      {"BMP", test::BuildBmp(bmp), kRed, 0},
      {"icon", test::BuildIcon({{16, 16, 32, PngOf(Solid(kRed))}}), kRed, 0},
      {"transparent icon", test::BuildIcon({{16, 16, 32, PngOf(clear)}}), kYellow, 0},
  };
  for (const auto& c : cases) {
    Load(*img3_, c.file);
    const QColor centre = At(115, 115);
    EXPECT_TRUE(Near(centre, c.centre, c.tolerance)) << c.kind << ": " << centre.name().toStdString();
  }
}

TEST_F(GpImageTest, WithoutAClipFrameATransparentPictureShowsTheParent) {
  img3_->SetClipFrame(TscGPImage::scgpcfNone);
  img3_->SetRotationAngle(0);
  QImage picture = Solid(kRed, 100);
  for (int y = 0; y < 50; ++y) {
    for (int x = 0; x < 100; ++x) picture.setPixelColor(x, y, QColor(0, 0, 0, 0));
  }
  Load(*img3_, PngOf(picture));
  const QImage shown = Shown();
  EXPECT_EQ(shown.pixelColor(10, 10), parent_colour_);
  EXPECT_EQ(shown.pixelColor(10, 200), kRed);  // no clip: the corners show the picture
}

TEST_F(GpImageTest, AFailingPictureLeavesTheBackingAndRing) {
  ColourTheDisc();
  QByteArray jpeg = test::BuildJpeg(16, 16, 3, test::Gradient(16, 16));
  jpeg[jpeg.indexOf(QByteArray("\xFF\xDB", 2)) + 4] = 3;  // a quantisation table that does not exist
  Load(*img3_, jpeg);
  EXPECT_EQ(img3_->Picture()->Width(), 16);
  EXPECT_EQ(At(115, 115), kYellow);
  EXPECT_EQ(At(115, 3), kGreen);
}

TEST_F(GpImageTest, RoundedRectFrameCutsTheCornersAndARadiusOfZeroKeepsThem) {
  ColourTheDisc();
  img3_->SetRotationAngle(0);
  img3_->SetClipFrame(TscGPImage::scgpcfRoundedRect);
  img3_->SetClipFrameRadius(30);
  Load(*img3_, PngOf(Solid(kRed, 100)));
  QImage shown = Shown();
  EXPECT_EQ(shown.pixelColor(3, 3), parent_colour_);
  EXPECT_EQ(shown.pixelColor(115, 3), kGreen);
  EXPECT_EQ(shown.pixelColor(20, 20), kRed);
  img3_->SetClipFrameRadius(0);
  shown = Shown();
  EXPECT_EQ(shown.pixelColor(3, 3), kGreen);
  EXPECT_EQ(shown.pixelColor(10, 10), kRed);
}

TEST_F(GpImageTest, ThemeMapsSystemColoursOfTheDisc) {
  ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
  img3_->SetClipFrameFillColor(clBtnFace);
  img3_->SetClipFrameColor(clWhite);
  EXPECT_EQ(At(115, 115), QColor::fromRgb(ColorToRGB(GetStyleColor(clBtnFace))));
  EXPECT_EQ(At(115, 3), QColor(Qt::white));
  img3_->SetStyleElements(TscCustomControl::seFont);
  EXPECT_EQ(At(115, 115), QColor::fromRgb(ColorToRGB(clBtnFace)));
}

// What the window's backing store holds where the control is: the pixels as Qt composed them
// through its own repaints (a grab would render everything anew), once Qt's pending repaints ran
// (the platform asks for them a few milliseconds after an update).
QImage OnScreen(QWidget* control) {
  QTest::qWait(20);
  QWidget* window = control->window();
  const QRect area(control->mapTo(window, QPoint(0, 0)), control->size());
  return window->screen()->grabWindow(window->winId(), area.x(), area.y(), area.width(), area.height()).toImage()
      .convertToFormat(QImage::Format_RGB32);
}

bool PaintsOpaque(const QWidget* control) { return control->testAttribute(Qt::WA_OpaquePaintEvent); }

// A widget that fills itself with one colour.
QWidget* FilledWidget(QWidget* parent, const QColor& colour, const QRect& geometry) {
  auto* widget = new QWidget(parent);
  widget->setAutoFillBackground(true);
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  widget->setPalette(palette);
  widget->setGeometry(geometry);
  widget->show();
  return widget;
}

// The faces of a turn over a plain parent are composed with the parent once and painted opaque;
// the same faces with a sibling below the disc (one that paints nothing) go the see-through way,
// Qt composing each face over the parent: the pixels on screen are the same, edges included.
TEST_F(GpImageTest, OverAPlainParentTheDiscPaintsOpaqueFacesWithTheSeeThroughPixels) {
  Load(*img3_, PngOf(HalvesPicture()));
  static_cast<Control*>(img3_->parentWidget())->SetColor(ToColor(kBlue));  // edges blend visibly
  auto turn = [&] {
    std::vector<QImage> frames;
    for (const int angle : {0, 10, 45, 90, 230, 355}) {
      img3_->SetRotationAngle(angle);
      frames.push_back(OnScreen(img3_));
    }
    return frames;
  };
  const std::vector<QImage> opaque = turn();
  EXPECT_TRUE(PaintsOpaque(img3_));
  EXPECT_EQ(opaque[0].pixelColor(5, 5), kBlue);

  auto* below = new QWidget(img3_->parentWidget());
  below->setGeometry(img3_->geometry());
  below->stackUnder(img3_);
  below->show();
  const std::vector<QImage> see_through = turn();
  EXPECT_FALSE(PaintsOpaque(img3_));
  ASSERT_EQ(see_through.size(), opaque.size());
  for (size_t i = 0; i < opaque.size(); ++i) EXPECT_EQ(see_through[i], opaque[i]) << "frame " << i;
}

// Whatever else lies under the disc keeps it see-through, and shows at its corners: a sibling
// below it, or a see-through parent over a coloured one. Once the sibling moves off, the disc
// paints opaque again.
TEST_F(GpImageTest, ASiblingBelowOrASeeThroughParentShowsThroughTheCorners) {
  auto* panel = img3_->parentWidget();
  QWidget* below = FilledWidget(panel, kRed, QRect(img3_->pos(), QSize(40, 40)));
  below->stackUnder(img3_);
  img3_->RePaintControl();
  EXPECT_EQ(OnScreen(img3_).pixelColor(5, 5), kRed);
  EXPECT_FALSE(PaintsOpaque(img3_));
  below->move(0, 0);
  img3_->RePaintControl();
  EXPECT_EQ(OnScreen(img3_).pixelColor(5, 5), parent_colour_);
  EXPECT_TRUE(PaintsOpaque(img3_));
  below->move(img3_->pos());  // back under the disc, which is at rest: Qt repaints it see-through
  EXPECT_EQ(OnScreen(img3_).pixelColor(5, 5), kRed);
  EXPECT_FALSE(PaintsOpaque(img3_));

  auto* glass = new TscPanel(panel);
  glass->SetStyleKind(TscPanel::scpsTransparent);
  glass->setGeometry(QRect(0, 0, 240, 240));
  glass->show();
  img3_->setParent(glass);
  img3_->move(5, 5);
  img3_->show();
  static_cast<Control*>(panel)->SetColor(ToColor(kGreen));
  EXPECT_EQ(OnScreen(img3_).pixelColor(5, 5), kGreen);
  EXPECT_EQ(OnScreen(img3_).pixelColor(115, 115), QColor(Qt::white));
  EXPECT_FALSE(PaintsOpaque(img3_));
}

// A parent that paints two colours, split down the middle.
class HalvesParent : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, width() / 2, height()), kRed);
    painter.fillRect(QRect(width() / 2, 0, width() - width() / 2, height()), kYellow);
  }
};

// What lies under an opaque disc changes: the parent's colour, the theme, the disc's place over a
// parent of two colours. Each shows at once, turning or at rest.
TEST_F(GpImageTest, TheOpaqueDiscRecomposesWhenWhatLiesUnderItChanges) {
  auto* panel = static_cast<Control*>(img3_->parentWidget());
  img3_->SetRotateAnimation(true);
  img3_->AnimationTick();
  ASSERT_TRUE(PaintsOpaque(img3_));
  panel->SetColor(ToColor(kBlue));
  EXPECT_EQ(OnScreen(img3_).pixelColor(5, 5), kBlue);
  img3_->AnimationTick();
  EXPECT_EQ(OnScreen(img3_).pixelColor(5, 5), kBlue);
  EXPECT_TRUE(PaintsOpaque(img3_));

  panel->SetColor(clBtnFace);
  ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
  img3_->AnimationTick();
  EXPECT_EQ(OnScreen(img3_).pixelColor(5, 5), ResolveColor(clBtnFace, true));

  auto* halves = new HalvesParent(&form_);
  halves->setGeometry(0, 0, 600, 240);
  halves->show();
  img3_->setParent(halves);
  img3_->move(0, 0);
  img3_->show();
  img3_->AnimationTick();
  EXPECT_EQ(OnScreen(img3_).pixelColor(5, 5), kRed);
  EXPECT_TRUE(PaintsOpaque(img3_));
  img3_->move(360, 0);
  EXPECT_EQ(OnScreen(img3_).pixelColor(5, 5), kYellow);  // at rest: the move repaints it
  img3_->AnimationTick();
  EXPECT_EQ(OnScreen(img3_).pixelColor(5, 5), kYellow);
  EXPECT_TRUE(PaintsOpaque(img3_));
}

// A sibling above the opaque disc paints over it, and once it moves away (as the lyrics panel
// slides off) Qt's repaint of the uncovered part shows the disc as it was.
TEST_F(GpImageTest, ASiblingAboveThatMovesAwayLeavesTheDiscAsDrawn) {
  Load(*img3_, PngOf(HalvesPicture()));
  img3_->RePaintControl();
  const QImage alone = OnScreen(img3_);
  ASSERT_TRUE(PaintsOpaque(img3_));
  QWidget* above = FilledWidget(img3_->parentWidget(), kGreen, QRect(img3_->pos(), QSize(115, 230)));
  const QImage covered = OnScreen(img3_);
  EXPECT_EQ(covered.pixelColor(60, 115), kGreen);
  EXPECT_EQ(covered.pixelColor(170, 115), alone.pixelColor(170, 115));
  for (int step = 0; step <= 115; step += 25) {
    above->move(img3_->x() - step, img3_->y());
    OnScreen(img3_);
  }
  above->move(0, 0);
  EXPECT_EQ(OnScreen(img3_), alone);
  EXPECT_TRUE(PaintsOpaque(img3_));
}

TEST(GpImageFit, PictureRectangleTable) {
  const struct {
    QSize picture;
    bool stretch;
    bool proportional;
    TscGPImage::TscGPImagePosition position;
    QRect expected;
  } cases[] = {
      {{600, 300}, false, true, TscGPImage::scgpipLeft, {0, 0, 230, 115}},
      {{600, 300}, false, true, TscGPImage::scgpipCenter, {0, 57, 230, 115}},
      {{600, 300}, false, true, TscGPImage::scgpipRight, {0, 0, 230, 115}},
      {{300, 600}, false, true, TscGPImage::scgpipCenter, {57, 0, 115, 230}},
      {{100, 50}, false, true, TscGPImage::scgpipCenter, {65, 90, 100, 50}},  // small: kept as it is
      {{100, 50}, true, true, TscGPImage::scgpipLeft, {0, 0, 230, 115}},
      {{100, 50}, true, false, TscGPImage::scgpipLeft, {0, 0, 230, 230}},
      {{100, 50}, false, false, TscGPImage::scgpipRight, {130, 0, 100, 50}},
      {{500, 500}, false, false, TscGPImage::scgpipLeft, {0, 0, 500, 500}},
      {{0, 0}, true, true, TscGPImage::scgpipLeft, {0, 0, 230, 230}},
      {{0, 0}, false, false, TscGPImage::scgpipCenter, {115, 115, 0, 0}},
  };
  for (const auto& c : cases) {
    TscGPImage image;
    image.resize(230, 230);
    image.SetStretch(c.stretch);
    image.SetProportional(c.proportional);
    image.SetPosition(c.position);
    if (!c.picture.isEmpty()) image.SetPngImage(Solid(kRed, 1).scaled(c.picture));
    EXPECT_EQ(image.FitPictureRect(QRect(10, 20, 230, 230)), c.expected.translated(10, 20))
        << c.picture.width() << "x" << c.picture.height() << " position " << c.position;
  }
}

TEST(GpImagePicture, PrecedenceAndAutoSize) {
  TscGPImage image;
  Load(image, PngOf(Solid(kRed, 30)));
  EXPECT_EQ(image.CurrentPictureSize(), QSize(30, 30));
  ImageList list;
  list.SetWidth(20);
  list.SetHeight(20);
  list.Add(Solid(kBlue, 20));
  image.SetImages(&list);
  EXPECT_EQ(image.CurrentPictureSize(), QSize(30, 30));  // index -1: not in the list
  image.SetImageIndex(0);
  EXPECT_EQ(image.CurrentPictureSize(), QSize(20, 20));
  image.SetPngImage(Solid(kGreen, 40));
  EXPECT_EQ(image.CurrentPictureSize(), QSize(40, 40));
  image.SetPngImage(QImage());
  image.SetImageIndex(3);
  EXPECT_EQ(image.CurrentPictureSize(), QSize(30, 30));

  image.SetAutoSize(true);
  Load(image, PngOf(Solid(kRed, 64)));
  EXPECT_EQ(image.size(), QSize(64, 64));
  image.SetPicture(nullptr);
  EXPECT_EQ(image.size(), QSize(64, 64));  // no picture: the size stays
}

TEST(GpImagePicture, SettingPictureCopiesAndTransparentReachesTheGraphic) {
  TscGPImage source;
  Load(source, PngOf(Solid(kRed, 8)));
  TscGPImage image;
  image.SetTransparent(true);
  image.SetPicture(source.Picture());
  ASSERT_NE(image.Picture()->Graphic(), nullptr);
  EXPECT_NE(image.Picture()->Graphic(), source.Picture()->Graphic());
  EXPECT_TRUE(image.Picture()->Graphic()->Transparent());
  source.SetPicture(nullptr);
  EXPECT_EQ(image.Picture()->Width(), 8);
  image.SetTransparent(false);
  EXPECT_FALSE(image.Picture()->Graphic()->Transparent());
}

TEST(GpImageScale, ScalesRingWidthAndRadius) {
  TscGPImage image;
  image.SetClipFrameWidth(8);
  image.ChangeScale(144, 96);
  EXPECT_EQ(image.ClipFrameWidth(), 12);
  EXPECT_EQ(image.ClipFrameRadius(), 15);
}

TEST(GpImageLayout, APictureResourceIsDecodedIntoPictureAndReadsBackUntilThePictureChanges) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("cover.png"));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(PngOf(Solid(kRed, 12)));
  file.close();
  Form form;
  form.LoadFromJson(QStringLiteral(R"({ "class": "Form", "components": [
      { "name": "img", "class": "TscGPImage", "properties": { "Picture": "%1", "Transparent": true } } ] })")
                        .arg(path)
                        .toUtf8(),
                    QStringLiteral("cover.json"));
  auto* image = form.Component<TscGPImage>(QStringLiteral("img"));
  ASSERT_NE(image->Picture()->Graphic(), nullptr);
  EXPECT_EQ(image->Picture()->Graphic()->Kind(), GraphicKind::Png);
  EXPECT_EQ(image->PictureResource(), path);
  image->SetTransparent(false);
  EXPECT_EQ(image->PictureResource(), path);
  image->SetPicture(nullptr);
  EXPECT_TRUE(image->PictureResource().isEmpty());
}

TEST(GpImageLayout, APictureResourceThatIsNotAPictureNamesThePlace) {
  Form form;
  const QByteArray json = R"({ "class": "Form", "components": [
      { "name": "img", "class": "TscGPImage", "properties": { "Picture": ")" ORVELLE_CONTROL_LAYOUTS R"(/gp_image.json" } } ] })";
  try {
    form.LoadFromJson(json, QStringLiteral("bad.json"));
    ADD_FAILURE() << "loaded";
  } catch (const Error& e) {
    EXPECT_TRUE(e.Message().contains(QLatin1String("img.Picture"))) << e.Message().toStdString();
  }
}

}  // namespace
}  // namespace orvelle
