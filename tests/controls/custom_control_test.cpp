#include "controls/panel.h"
#include "service/error.h"
#include "toolkit/form.h"
#include "toolkit/theme.h"

#include "kit_test_support.h"

#include "kit_probes.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace orvelle {
namespace {

class CustomControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
    form_.SetClientWidth(200);
    form_.SetClientHeight(200);
    panel_ = new TscPanel(&form_);
    panel_->SetBounds(0, 0, 200, 200);
    disc_ = new test::DiscControl(panel_);
    disc_->SetBounds(10, 10, 40, 40);
    form_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  }

  // Checks, on a grab of the panel, that the disc at (left, top) shows the panel's colour in
  // its corner, white in its middle, and blends of the two at its anti-aliased edge.
  void ExpectDiscOverPanelAt(int left, int top) {
    const QImage image = panel_->grab().toImage();
    const QColor panel(0x24, 0x29, 0x30);
    EXPECT_EQ(QColor(image.pixel(left, top)), panel);
    EXPECT_EQ(QColor(image.pixel(left + 20, top + 20)), QColor(Qt::white));
    // Walk the diagonal from the corner: panel colour, then at least one blend, then white.
    int blends = 0;
    bool reached_white = false;
    for (int i = 0; i < 20 && !reached_white; ++i) {
      const QColor c(image.pixel(left + i, top + i));
      if (c == panel) {
        EXPECT_EQ(blends, 0) << "panel colour after a blend at " << i;
        continue;
      }
      if (c == QColor(Qt::white)) {
        reached_white = true;
        continue;
      }
      ++blends;
      EXPECT_GT(c.red(), panel.red());
      EXPECT_GT(c.green(), panel.green());
      EXPECT_GT(c.blue(), panel.blue());
      EXPECT_LT(c.red(), 255);
    }
    EXPECT_GT(blends, 0);
    EXPECT_TRUE(reached_white);
  }

  test::ScopedTheme theme_;
  Form form_;
  TscPanel* panel_;
  test::DiscControl* disc_;
};

TEST_F(CustomControlTest, TransparentControlShowsThePanelAtItsEdgeAlsoAfterAMove) {
  EXPECT_TRUE(disc_->TransparentBackground());
  ExpectDiscOverPanelAt(10, 10);
  disc_->SetBounds(100, 120, 40, 40);
  ExpectDiscOverPanelAt(100, 120);
  // Where the disc was, the panel shows again.
  EXPECT_EQ(QColor(panel_->grab().toImage().pixel(30, 30)), QColor(0x24, 0x29, 0x30));
}

TEST_F(CustomControlTest, RePaintControlPaintsAtOnce) {
  const int before = disc_->draws;
  for (int i = 0; i < 60; ++i) disc_->RePaintControl();
  EXPECT_EQ(disc_->draws, before + 60);
  disc_->SetVisible(false);
  disc_->RePaintControl();
  EXPECT_EQ(disc_->draws, before + 60);
}

TEST_F(CustomControlTest, StateAndRepaintTriggers) {
  EXPECT_EQ(disc_->GetCtrlState(), scsNormal);
  int draws = disc_->draws;
  disc_->SetEnabled(false);
  EXPECT_EQ(disc_->GetCtrlState(), scsDisabled);
  EXPECT_GT(disc_->draws, draws);
  EXPECT_EQ(disc_->last_state, scsDisabled);

  draws = disc_->draws;
  EXPECT_EQ(disc_->StyleElements(), TscCustomControl::TStyleElements(TscCustomControl::seFont | TscCustomControl::seClient |
                                                                        TscCustomControl::seBorder));
  disc_->SetStyleElements({});
  EXPECT_GT(disc_->draws, draws);
  draws = disc_->draws;
  disc_->SetStyleElements({});
  EXPECT_EQ(disc_->draws, draws);  // unchanged value: no repaint
  EXPECT_FALSE(disc_->UsesStyle(TscCustomControl::seClient));
}

// Colour and font changes follow the setter rule of the kit: a repaint at once (no waiting for
// the event loop), nothing for an equal value.
TEST_F(CustomControlTest, ColourAndFontChangesRepaintAtOnce) {
  int draws = disc_->draws;
  disc_->SetColor(clWindow);
  EXPECT_EQ(disc_->draws, draws + 1);
  disc_->SetColor(clWindow);
  EXPECT_EQ(disc_->draws, draws + 1);
  draws = disc_->draws;
  disc_->GetFont()->SetHeight(disc_->GetFont()->Height() + 3);
  EXPECT_GT(disc_->draws, draws);
}

// An opaque face is filled with the control's Color (through the theme) before its own drawing;
// a transparent one shows its parent there.
TEST_F(CustomControlTest, AnOpaqueFaceIsFilledWithItsColour) {
  class FilledProbe : public TscCustomControl {
   public:
    using TscCustomControl::TscCustomControl;
   protected:
    void DrawControl(QPainter& painter, TscsCtrlState) override { DrawOpaqueBackground(painter); }
  };
  auto* probe = new FilledProbe(panel_);
  probe->SetBounds(2, 2, 8, 8);
  probe->SetColor(Color::FromRgb(0x10, 0x20, 0x30));
  probe->SetStyleElements({});
  probe->show();
  const QColor panel_face = QColor(test::GrabAsShown(panel_).pixel(100, 100));
  EXPECT_EQ(QColor(test::GrabAsShown(probe).pixel(4, 4)), panel_face);
  probe->SetTransparentBackground(false);
  EXPECT_EQ(QColor(test::GrabAsShown(probe).pixel(4, 4)), QColor(0x10, 0x20, 0x30));
}

TEST_F(CustomControlTest, BackgroundChangesReachTransparentDescendants) {
  auto* inner = new test::DiscControl(disc_);
  inner->SetBounds(5, 5, 10, 10);
  inner->show();
  auto* hidden = new test::DiscControl(disc_);
  hidden->SetVisible(false);
  disc_->background_notices = inner->background_notices = hidden->background_notices = 0;

  panel_->NotifyChildrenBackground();
  EXPECT_EQ(disc_->background_notices, 1);
  EXPECT_EQ(inner->background_notices, 1);  // passed on by the transparent disc
  EXPECT_EQ(hidden->background_notices, 0);

  // A moved transparent control tells its children too.
  disc_->SetBounds(20, 20, 40, 40);
  EXPECT_EQ(inner->background_notices, 2);

  // Switching the transparency repaints at once and tells the children once; an opaque control
  // then does not pass the parent's notices on.
  const int draws = disc_->draws;
  disc_->SetTransparentBackground(false);
  EXPECT_GT(disc_->draws, draws);
  EXPECT_EQ(inner->background_notices, 3);
  panel_->NotifyChildrenBackground();
  EXPECT_EQ(disc_->background_notices, 2);
  EXPECT_EQ(inner->background_notices, 3);
  const int opaque_draws = disc_->draws;
  disc_->SetTransparentBackground(false);  // unchanged value: nothing
  EXPECT_EQ(disc_->draws, opaque_draws);
  EXPECT_EQ(inner->background_notices, 3);
}

// A kit control whose drawing fails while `fail` is set, after filling its left half.
class FailingControl : public TscCustomControl {
 public:
  using TscCustomControl::TscCustomControl;
  bool fail = false;
  int draws = 0;

 protected:
  void DrawControl(QPainter& painter, TscsCtrlState) override {
    ++draws;
    painter.fillRect(QRect(0, 0, width() / 2, height()), fail ? Qt::red : Qt::green);
    if (fail) throw Error(QStringLiteral("The picture cannot be drawn"));
    painter.fillRect(QRect(width() / 2, 0, width() - width() / 2, height()), Qt::green);
  }
};

TEST_F(CustomControlTest, AFailingDrawingNeitherLeavesThePaintNorStopsLaterPaints) {
  auto* failing = new FailingControl(panel_);
  failing->SetBounds(100, 100, 40, 20);
  failing->show();
  failing->fail = true;
  EXPECT_NO_THROW(failing->RePaintControl());
  EXPECT_NO_THROW(failing->grab());
  // The face stays as far as it got, the panel shows where nothing was drawn.
  const QImage failed = failing->grab().toImage();
  EXPECT_EQ(QColor(failed.pixel(5, 5)), QColor(Qt::red));
  EXPECT_EQ(QColor(failed.pixel(35, 5)), QColor(0x24, 0x29, 0x30));

  failing->fail = false;
  const int draws = failing->draws;
  failing->RePaintControl();
  EXPECT_EQ(failing->draws, draws + 1);  // synchronous repaints still run
  const QImage drawn = failing->grab().toImage();
  EXPECT_EQ(QColor(drawn.pixel(5, 5)), QColor(Qt::green));
  EXPECT_EQ(QColor(drawn.pixel(35, 5)), QColor(Qt::green));
}

TEST_F(CustomControlTest, ScalingAccumulatesPercentAndKeepsTheFactorAtLeastOne) {
  struct Step {
    int m, d;
    int percent;
    double factor;
    bool fires;
    int width;
    int ring_width;
  };
  const Step steps[] = {
      {144, 96, 150, 1.5, true, 60, 15},   // 96 -> 144 pixels per inch
      {96, 144, 100, 1.0, true, 40, 10},   // and back
      {72, 96, 75, 1.0, false, 30, 8},     // a shrink below 100 % keeps the factor at 1.0
      {96, 72, 100, 1.0, false, 40, 11},
      {192, 96, 200, 2.0, true, 80, 22},
      {96, 96, 200, 2.0, false, 80, 22},   // no change: nothing is scaled
      {96, 0, 200, 2.0, false, 80, 22},    // a zero divisor: nothing is scaled (MulDiv would give -1)
  };
  int fired = 0;
  QObject::connect(disc_, &TscCustomControl::OnChangeScale, [&](QObject* sender) {
    EXPECT_EQ(sender, disc_);
    ++fired;
  });
  EXPECT_EQ(disc_->ScalePercent(), 100);
  EXPECT_EQ(disc_->ScaleFactor(), 1.0);
  for (const Step& step : steps) {
    const int before = fired;
    disc_->ChangeScale(step.m, step.d);
    EXPECT_EQ(disc_->ScalePercent(), step.percent) << step.m << "/" << step.d;
    EXPECT_DOUBLE_EQ(disc_->ScaleFactor(), step.factor) << step.m << "/" << step.d;
    EXPECT_EQ(fired - before, step.fires ? 1 : 0) << step.m << "/" << step.d;
    EXPECT_EQ(disc_->width(), step.width) << step.m << "/" << step.d;
    EXPECT_EQ(disc_->ring_width, step.ring_width) << step.m << "/" << step.d;
  }
}

TEST_F(CustomControlTest, ScalingAParentScalesItsKitChildren) {
  panel_->ChangeScale(144, 96);
  EXPECT_EQ(panel_->ScalePercent(), 150);
  EXPECT_EQ(disc_->ScalePercent(), 150);
  EXPECT_EQ(disc_->geometry(), QRect(15, 15, 60, 60));
  EXPECT_EQ(disc_->ring_width, 15);
}

}  // namespace
}  // namespace orvelle
