#include "controls/drawing.h"
#include "toolkit/theme.h"

#include "kit_test_support.h"

#include <QGuiApplication>
#include <QPalette>
#include <gtest/gtest.h>

namespace orvelle {
namespace {

class DrawingTest : public ::testing::Test {
 protected:
  test::ScopedTheme theme_;
};

TEST_F(DrawingTest, GPColorPacksAlphaAndRgb) {
  struct Case {
    Color color;
    std::uint8_t alpha;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {clNone, 255, 0u},
      {clNone, 0, 0u},
      {Color::FromRgb(1, 2, 3), 200, 0xC8010203u},
      {clWhite, 0, 0x00FFFFFFu},
      {clCream, 255, 0xFFFFFBF0u},
      {clBtnFace, 255, 0xFF000000u | (QGuiApplication::palette().color(QPalette::Button).rgb() & 0xFFFFFFu)},
  };
  for (const Case& c : cases) EXPECT_EQ(GPColor(c.color, c.alpha), c.expected) << c.color.Name().toStdString();
}

TEST_F(DrawingTest, ResolveColorAppliesTheThemeOnlyWhenAskedAndThenTheAlpha) {
  const QColor platform_face = QGuiApplication::palette().color(QPalette::Button);
  QColor platform_highlight(ColorToRGB(clHighlight));
  platform_highlight.setAlpha(128);
  struct Case {
    Color color;
    bool themed;
    std::uint8_t alpha;
    QColor plain;   // without a theme
    QColor glow;    // with the Glow theme
  };
  const Case cases[] = {
      {clBtnFace, true, 255, platform_face, QColor(0x24, 0x29, 0x30)},
      {clBtnFace, false, 255, platform_face, platform_face},
      {clHighlight, true, 128, platform_highlight, QColor(0x35, 0xBD, 0xBB, 128)},
      {Color::FromRgb(1, 2, 3), true, 200, QColor(1, 2, 3, 200), QColor(1, 2, 3, 200)},
      {clNone, true, 255, QColor::fromRgba(0), QColor::fromRgba(0)},
      {clNone, false, 255, QColor::fromRgba(0), QColor::fromRgba(0)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ResolveColor(c.color, c.themed, c.alpha), c.plain) << c.color.Name().toStdString() << " " << c.themed;
    EXPECT_EQ(ResolveColor(c.color, c.themed, c.alpha).rgba(), GPColor(c.color, c.alpha)) << "without a theme, as GPColor";
  }
  ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
  for (const Case& c : cases) {
    EXPECT_EQ(ResolveColor(c.color, c.themed, c.alpha), c.glow) << c.color.Name().toStdString() << " " << c.themed;
  }
}

TEST_F(DrawingTest, SystemColoursInGPColorStayPlatformValuesUnderATheme) {
  const std::uint32_t platform = GPColor(clBtnFace, 255);
  ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
  EXPECT_EQ(GPColor(clBtnFace, 255), platform);
  EXPECT_EQ(GPColor(GetStyleColor(clBtnFace), 255), 0xFF242930u);
}

TEST_F(DrawingTest, GetStyleColorFollowsTheActiveTheme) {
  struct Case {
    Color color;
    Color themed;
  };
  const Case cases[] = {
      {clBtnFace, Color::FromRgb(0x24, 0x29, 0x30)},  {clHighlight, Color::FromRgb(0x35, 0xBD, 0xBB)},
      {clBtnShadow, Color::FromRgb(0x1B, 0x1E, 0x23)}, {clWindow, Color::FromRgb(0x19, 0x1D, 0x22)},
      {clBtnText, clWhite},                            {clWhite, clWhite},
      {clAqua, clAqua},                                {clMenuHighlight, clMenuHighlight},
      {clNone, clNone},
  };
  for (const Case& c : cases) EXPECT_EQ(GetStyleColor(c.color), c.color) << "without a theme";
  ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
  for (const Case& c : cases) EXPECT_EQ(GetStyleColor(c.color), c.themed) << c.color.Name().toStdString();
}

TEST_F(DrawingTest, DarkerAndLighterByPercent) {
  struct Case {
    Color color;
    int percent;
    Color darker;
    Color lighter;
  };
  const Case cases[] = {
      {Color::FromRgb(200, 100, 0), 25, Color::FromRgb(150, 75, 0), Color::FromRgb(214, 139, 64)},
      {Color::FromRgb(0, 100, 255), 25, Color::FromRgb(0, 75, 191), Color::FromRgb(64, 139, 255)},
      {Color::FromRgb(10, 20, 30), 0, Color::FromRgb(10, 20, 30), Color::FromRgb(10, 20, 30)},
      {Color::FromRgb(10, 20, 30), 100, clBlack, clWhite},
      {Color::FromRgb(10, 20, 30), 250, clBlack, clWhite},  // capped at 100
      // Halves round to even: 1.5 -> 2, 2.5 -> 2, 3.5 -> 4.
      {Color::FromRgb(3, 5, 7), 50, Color::FromRgb(1, 3, 3), Color::FromRgb(129, 130, 131)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DarkerColor(c.color, c.percent), c.darker) << c.color.Name().toStdString() << " " << c.percent;
    EXPECT_EQ(LighterColor(c.color, c.percent), c.lighter) << c.color.Name().toStdString() << " " << c.percent;
  }
  // A system colour is turned into its platform RGB value first.
  const QRgb face = ColorToRGB(clBtnFace);
  EXPECT_EQ(DarkerColor(clBtnFace, 0), Color::FromRgb(qRed(face), qGreen(face), qBlue(face)));
}

TEST_F(DrawingTest, RectangleHelpers) {
  EXPECT_EQ(ToGPRectF(QRect(QPoint(1, 2), QPoint(10, 20))), QRectF(1, 2, 10, 19));
  EXPECT_EQ(ToGPRectF(QRect(0, 0, 230, 230)), QRectF(0, 0, 230, 230));

  QRectF r(10, 20, 100, 50);
  InflateGPRectF(r, 1, 2);
  EXPECT_EQ(r, QRectF(8, 19, 104, 52));
  QRectF ring(0, 0, 230, 230);
  InflateGPRectF(ring, -4, -4);
  EXPECT_EQ(ring, QRectF(4, 4, 222, 222));
  QRectF half(0, 0, 10, 10);
  InflateGPRectF(half, -0.5, -0.5);
  EXPECT_EQ(half, QRectF(0.5, 0.5, 9, 9));
}

TEST_F(DrawingTest, RoundedRectPathHasArcCornersAndStraightEdges) {
  QPainterPath path;
  AddRoundedRectPath(path, QRectF(0, 0, 100, 50), 10);
  EXPECT_EQ(path.boundingRect(), QRectF(0, 0, 100, 50));
  struct Case {
    QPointF point;
    bool inside;
  };
  const Case cases[] = {
      {{50, 25}, true},   {{0.5, 25}, true},   {{99.5, 25}, true},  {{50, 0.5}, true},  {{50, 49.5}, true},
      {{1, 1}, false},    {{99, 1}, false},    {{99, 49}, false},   {{1, 49}, false},   {{10, 10}, true},
      {{3.5, 3.5}, true}, {{2.5, 2.5}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(path.contains(c.point), c.inside) << c.point.x() << "," << c.point.y();
  // The figure starts at the left end of the top-left arc and is closed.
  EXPECT_EQ(path.elementAt(0).type, QPainterPath::MoveToElement);
  EXPECT_NEAR(path.elementAt(0).x, 0, 1e-9);
  EXPECT_NEAR(path.elementAt(0).y, 10, 1e-9);
  EXPECT_EQ(path.currentPosition(), QPointF(0, 10));

  // A radius above half the height: the arcs overlap and the path stays within the square band.
  QPainterPath tall;
  AddRoundedRectPath(tall, QRectF(0.5, 0.5, 25, 20), 10);
  EXPECT_TRUE(tall.contains(QPointF(13, 10.5)));
  EXPECT_FALSE(tall.contains(QPointF(1, 1)));
}

TEST_F(DrawingTest, LabelTextColourByState) {
  struct Case {
    TscsCtrlState state;
    Color plain;
    Color themed;
  };
  const Color teal = Color::FromRgb(55, 191, 189), grey = Color::FromRgb(128, 128, 128);
  const Case cases[] = {
      {scsNormal, clBtnText, clWhite}, {scsHot, clBtnText, teal},         {scsFocused, clBtnText, teal},
      {scsPressed, clBtnText, teal},   {scsDisabled, clGrayText, grey},
  };
  for (const Case& c : cases) EXPECT_EQ(GetStyleLabelTextColor(c.state), c.plain) << c.state;
  ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
  for (const Case& c : cases) EXPECT_EQ(GetStyleLabelTextColor(c.state), c.themed) << c.state;
}

TEST_F(DrawingTest, EditTextColour) {
  EXPECT_EQ(GetStyleEditTextColor(true), clWindowText);
  EXPECT_EQ(GetStyleEditTextColor(false), clGrayText);
  ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
  EXPECT_EQ(GetStyleEditTextColor(true), clWhite);
  EXPECT_EQ(GetStyleEditTextColor(false), Color::FromRgb(128, 128, 128));
}

}  // namespace
}  // namespace orvelle
