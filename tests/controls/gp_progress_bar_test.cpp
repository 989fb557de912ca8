#include "controls/gp_progress_bar.h"
#include "toolkit/form.h"
#include "toolkit/theme.h"

#include "kit_test_support.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace orvelle {
namespace {

constexpr QRgb kFormFace = qRgb(10, 20, 30);

// A progress bar that counts how often it draws its face.
class CountingBar : public TscGPProgressBar {
 public:
  int draws = 0;

 protected:
  void DrawControl(QPainter& painter, TscsCtrlState state) override {
    ++draws;
    TscGPProgressBar::DrawControl(painter, state);
  }
};

// Blends a colour with an alpha over an opaque background, as straight-alpha drawing does.
QRgb Over(QRgb top, int alpha, QRgb below) {
  auto mix = [&](int t, int b) { return (t * alpha + b * (255 - alpha) + 127) / 255; };
  return qRgb(mix(qRed(top), qRed(below)), mix(qGreen(top), qGreen(below)), mix(qBlue(top), qBlue(below)));
}

bool Near(QRgb a, QRgb b) {
  return std::abs(qRed(a) - qRed(b)) <= 1 && std::abs(qGreen(a) - qGreen(b)) <= 1 && std::abs(qBlue(a) - qBlue(b)) <= 1;
}

class ProgressBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form_.SetClientWidth(400);
    form_.SetClientHeight(40);
    form_.SetColor(Color::FromRgb(10, 20, 30));
    bar_ = new CountingBar();
    bar_->setParent(&form_);
    bar_->SetBounds(29, 15, 360, 6);
    bar_->SetFrameColor(clOlive);
    form_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  }
  QImage Shown() { return test::GrabAsShown(bar_); }

  test::ScopedTheme theme_;
  Form form_;
  CountingBar* bar_;
};

TEST_F(ProgressBarTest, Defaults) {
  TscGPProgressBar bar;
  EXPECT_EQ(bar.MinValue(), 0);
  EXPECT_EQ(bar.MaxValue(), 100);
  EXPECT_EQ(bar.Value(), 0);
  EXPECT_FALSE(bar.Vertical());
  EXPECT_EQ(bar.FrameColor(), clBtnShadow);
  EXPECT_EQ(bar.FrameAlpha(), 125);
  EXPECT_EQ(bar.ProgressColor(), clHighlight);
  EXPECT_EQ(bar.ProgressAlpha(), 255);
  EXPECT_TRUE(bar.TransparentBackground());
  EXPECT_FALSE(bar.AnimationMode());
  EXPECT_FALSE(bar.Active());
  EXPECT_EQ(bar.GetColor(), clWindow);
  EXPECT_EQ(bar.size(), QSize(150, 5));
  EXPECT_FALSE(bar.TabStop());
}

// Each row: the range and value written in this order, then the value the bar keeps.
struct ValueCase {
  const char* what;
  std::vector<std::pair<char, int>> writes;  // 'n' MinValue, 'x' MaxValue, 'v' Value
  int value;
};

TEST_F(ProgressBarTest, ValueIsClampedMaximumFirst) {
  const std::vector<ValueCase> cases = {
      {"above the maximum", {{'v', 150}}, 100},
      {"below the minimum", {{'v', -3}}, 0},
      {"lowering the maximum pulls the value down", {{'v', 80}, {'x', 60}}, 60},
      {"raising it again does not restore it", {{'v', 80}, {'x', 60}, {'x', 100}}, 60},
      {"raising the minimum pulls the value up", {{'v', 10}, {'n', 30}}, 30},
      {"minimum above maximum: a value above the maximum takes it", {{'x', 10}, {'n', 20}, {'v', 15}}, 10},
      {"minimum above maximum: a value below both takes the minimum", {{'x', 10}, {'n', 20}, {'v', 5}}, 20},
      {"a new song: value 1 against the old range, then its length", {{'x', 3}, {'v', 1}, {'x', 240}, {'n', 0}}, 1},
      {"a new song shorter than one second", {{'v', 1}, {'x', 0}, {'n', 0}}, 0},
  };
  for (const ValueCase& c : cases) {
    TscGPProgressBar bar;
    for (auto [what, v] : c.writes) {
      if (what == 'n') bar.SetMinValue(v);
      if (what == 'x') bar.SetMaxValue(v);
      if (what == 'v') bar.SetValue(v);
    }
    EXPECT_EQ(bar.Value(), c.value) << c.what;
  }
}

TEST_F(ProgressBarTest, FillLengthRoundsHalvesToEven) {
  struct Case {
    int length, min, max, value, filled;
  };
  const Case cases[] = {
      {360, 0, 200, 1, 2},     // 1.8
      {360, 0, 100, 50, 180},  //
      {5, 0, 2, 1, 2},         // 2.5 to even
      {7, 0, 2, 1, 4},         // 3.5 to even
      {360, 0, 0, 0, 0},       // an empty range: no fill
      {360, 5, 5, 5, 0},
      {360, 0, 100, 100, 360},
      {360, -100, 100, 0, 180},
      {360, 0, 2000000000, 1000000000, 180},  // the product needs more than 32 bits
  };
  for (const Case& c : cases) {
    TscGPProgressBar bar;
    bar.resize(c.length, 6);
    bar.SetMaxValue(c.max);
    bar.SetMinValue(c.min);
    bar.SetValue(c.value);
    EXPECT_EQ(bar.FillRect(), QRect(0, 0, c.filled, 6)) << c.length << " " << c.min << ".." << c.max << " at " << c.value;
    bar.SetVertical(true);
    bar.resize(6, c.length);
    EXPECT_EQ(bar.FillRect(), QRect(0, c.length - c.filled, 6, c.filled)) << "vertical";
  }
}

TEST_F(ProgressBarTest, DrawsTheTranslucentTrackAndTheOpaqueFill) {
  ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
  bar_->SetMaxValue(200);
  bar_->SetValue(1);  // 2 pixels
  const QImage shown = Shown();
  const QRgb teal = qRgb(0x35, 0xBD, 0xBB);
  const QRgb track = Over(qRgb(0x80, 0x80, 0x00), 125, kFormFace);
  for (int y : {0, 5}) {
    EXPECT_EQ(shown.pixel(0, y), teal);
    EXPECT_EQ(shown.pixel(1, y), teal);
    EXPECT_TRUE(Near(shown.pixel(2, y), track)) << std::hex << shown.pixel(2, y);
    EXPECT_TRUE(Near(shown.pixel(359, y), track));
  }
  // Nothing outside the bar's rectangle.
  EXPECT_EQ(form_.grab(QRect(28, 14, 1, 1)).toImage().pixel(0, 0), kFormFace);
}

TEST_F(ProgressBarTest, OpaqueBarPaintsItsColourUnderTheTrack) {
  bar_->SetValue(0);
  bar_->SetFrameAlpha(0);
  bar_->SetColor(Color::FromRgb(200, 100, 50));
  EXPECT_EQ(Shown().pixel(100, 3), kFormFace);
  bar_->SetTransparentBackground(false);
  EXPECT_EQ(Shown().pixel(100, 3), qRgb(200, 100, 50));
}

TEST_F(ProgressBarTest, RepaintsOnlyWhenSomethingChanged) {
  bar_->SetValue(40);
  const int draws = bar_->draws;
  bar_->SetValue(40);
  bar_->SetValue(400);
  bar_->SetValue(100);  // 400 became 100 already
  bar_->SetFrameAlpha(300);
  bar_->SetProgressAlpha(-1);
  bar_->SetMinValue(0);
  EXPECT_EQ(bar_->draws, draws + 1);
  EXPECT_EQ(bar_->FrameAlpha(), 125);
  EXPECT_EQ(bar_->ProgressAlpha(), 255);
}

TEST_F(ProgressBarTest, MarqueeGrowsTravelsAndStartsAgain) {
  TscGPProgressBar bar;
  bar.resize(30, 4);  // a third is 10
  bar.SetAnimationMode(true);
  EXPECT_EQ(bar.MarqueeTimer(), nullptr);
  bar.Activate();
  ASSERT_NE(bar.MarqueeTimer(), nullptr);
  EXPECT_EQ(bar.MarqueeTimer()->interval(), 50);
  const std::vector<std::pair<int, int>> spans = {{0, 5}, {5, 15}, {10, 20}, {15, 25}, {20, 30}, {25, 30}, {0, 0}, {0, 5}};
  for (auto [left, right] : spans) {
    bar.MarqueeTick();
    EXPECT_EQ(bar.FillRect(), QRect(left, 0, right - left, 4)) << left << ".." << right;
  }
  bar.Deactivate();
  EXPECT_EQ(bar.MarqueeTimer(), nullptr);
  EXPECT_TRUE(bar.MarqueeRect().isEmpty());
  EXPECT_EQ(bar.FillRect(), QRect(0, 0, 0, 4));  // the value fill again
}

TEST_F(ProgressBarTest, VerticalMarqueeRisesFromTheBottom) {
  TscGPProgressBar bar;
  bar.SetVertical(true);
  bar.resize(4, 30);
  bar.SetAnimationMode(true);
  bar.SetActive(true);
  bar.MarqueeTick();
  EXPECT_EQ(bar.FillRect(), QRect(0, 25, 4, 5));
  bar.MarqueeTick();
  EXPECT_EQ(bar.FillRect(), QRect(0, 15, 4, 10));
}

// The progress bar takes no keys of its own; its key events reach a handler all the same.
TEST_F(ProgressBarTest, RaisesTheKeyEvents) {
  QStringList seen;
  QObject::connect(bar_, &TscCustomControl::OnKeyDown, [&](QObject*, int* key, Qt::KeyboardModifiers shift) {
    seen.append(QStringLiteral("down %1 %2").arg(*key).arg(shift == Qt::ControlModifier));
  });
  QObject::connect(bar_, &TscCustomControl::OnKeyPress, [&](QObject*, QChar* key) { seen.append(QStringLiteral("press ") + *key); });
  QObject::connect(bar_, &TscCustomControl::OnKeyUp, [&](QObject*, int* key, Qt::KeyboardModifiers) {
    seen.append(QStringLiteral("up %1").arg(*key));
  });
  QTest::keyClick(bar_, Qt::Key_X, Qt::ControlModifier);  // QTest also sends the Control key itself
  QTest::keyClick(bar_, Qt::Key_X);
  EXPECT_EQ(seen, (QStringList{QStringLiteral("down %1 1").arg(Qt::Key_Control), QStringLiteral("down %1 1").arg(Qt::Key_X),
                               QStringLiteral("press x"), QStringLiteral("up %1").arg(Qt::Key_X),
                               QStringLiteral("up %1").arg(Qt::Key_Control), QStringLiteral("down %1 0").arg(Qt::Key_X),
                               QStringLiteral("press x"),
                               QStringLiteral("up %1").arg(Qt::Key_X)}));
}

TEST_F(ProgressBarTest, ActiveWithoutAnimationModeRunsNoMarquee) {
  TscGPProgressBar bar;
  bar.SetActive(true);
  EXPECT_EQ(bar.MarqueeTimer(), nullptr);
  bar.SetAnimationMode(true);  // the mode alone starts nothing
  EXPECT_EQ(bar.MarqueeTimer(), nullptr);
}

TEST_F(ProgressBarTest, ReportsValueAndRangeToAssistiveTechnology) {
  bar_->SetMaxValue(240);
  bar_->SetValue(61);
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(bar_);
  ASSERT_NE(accessible, nullptr);
  EXPECT_EQ(accessible->role(), QAccessible::ProgressBar);
  QAccessibleValueInterface* value = accessible->valueInterface();
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->currentValue().toDouble(), 61);
  EXPECT_EQ(value->minimumValue().toDouble(), 0);
  EXPECT_EQ(value->maximumValue().toDouble(), 240);
}

TEST(ProgressBarLayout, LoadsEveryPublishedOption) {
  Form form;
  form.Load(QStringLiteral(ORVELLE_CONTROL_LAYOUTS "/gp_progress_bar.json"));
  auto* main = form.Component<TscGPProgressBar>(QStringLiteral("scgprgrsbr1"));
  EXPECT_EQ(main->geometry(), QRect(29, 16, 360, 6));
  EXPECT_EQ(main->Value(), 50);
  EXPECT_EQ(main->FrameColor(), clOlive);
  EXPECT_EQ(main->FrameAlpha(), 125);
  EXPECT_EQ(main->ProgressColor(), clHighlight);
  auto* opaque = form.Component<TscGPProgressBar>(QStringLiteral("opaque"));
  EXPECT_FALSE(opaque->TransparentBackground());
  EXPECT_EQ(opaque->GetColor(), Color::FromRgb(0x10, 0x20, 0x30));
  EXPECT_EQ(opaque->MinValue(), 10);
  EXPECT_EQ(opaque->Value(), 15);
  EXPECT_EQ(opaque->ProgressAlpha(), 200);
  auto* upright = form.Component<TscGPProgressBar>(QStringLiteral("upright"));
  EXPECT_TRUE(upright->Vertical());
  EXPECT_EQ(upright->FillRect(), QRect(0, 35, 6, 15));
}

}  // namespace
}  // namespace orvelle
