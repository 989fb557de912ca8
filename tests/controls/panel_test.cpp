#include "controls/panel.h"
#include "service/error.h"
#include "toolkit/form.h"
#include "toolkit/theme.h"

#include "kit_test_support.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QTest>
#include <gtest/gtest.h>

namespace orvelle {
namespace {

// A panel descendant that fills its client area, as picture and split-view panels do.
class ClientPanel : public TscPanel {
 public:
  QRect client_rect;
  TscsCtrlState client_state = scsNormal;

 protected:
  void DrawClientArea(QPainter& painter, const QRect& rect, TscsCtrlState state) override {
    client_rect = rect;
    client_state = state;
    painter.fillRect(rect.adjusted(5, 5, -5, -5), Qt::red);
  }
};

class PanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form_.SetClientWidth(200);
    form_.SetClientHeight(100);
    form_.SetColor(Color::FromRgb(10, 20, 30));
    panel_ = new ClientPanel();
    panel_->setParent(&form_);
    panel_->SetBounds(0, 0, 100, 60);
    form_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  }
  QColor Pixel(int x, int y) { return QColor(panel_->grab().toImage().pixel(x, y)); }

  test::ScopedTheme theme_;
  Form form_;
  ClientPanel* panel_;
};

TEST_F(PanelTest, Defaults) {
  TscPanel panel;
  EXPECT_EQ(panel.StyleKind(), TscPanel::scpsPanel);
  EXPECT_EQ(panel.BorderStyle(), TscPanel::scpbsNone);
  EXPECT_EQ(panel.GetColor(), clBtnFace);
  EXPECT_EQ(panel.LightBorderColor(), clBtnHighlight);
  EXPECT_EQ(panel.ShadowBorderColor(), clBtnShadow);
  EXPECT_FALSE(panel.ShowCaption());
  EXPECT_EQ(panel.Alignment(), TscPanel::taCenter);
  EXPECT_FALSE(panel.CaptionGlowEffect()->Enabled());
  EXPECT_EQ(panel.CaptionGlowEffect()->GetColor(), clBtnShadow);
  EXPECT_FALSE(panel.TransparentBackground());
  EXPECT_FALSE(panel.StorePaintBuffer());
}

TEST_F(PanelTest, PanelKindFillsWithItsColourThroughTheTheme) {
  const QColor platform_face = QGuiApplication::palette().color(QPalette::Button);
  EXPECT_EQ(Pixel(95, 2), platform_face);
  ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
  panel_->RePaintControl();
  EXPECT_EQ(Pixel(95, 2), QColor(0x24, 0x29, 0x30));
  // Without seClient the theme does not map the fill.
  panel_->SetStyleElements(TscCustomControl::seFont);
  EXPECT_EQ(Pixel(95, 2), platform_face);
  panel_->SetStyleElements(TscCustomControl::seClient);
  panel_->SetColor(clWhite);
  EXPECT_EQ(Pixel(95, 2), QColor(Qt::white));
}

TEST_F(PanelTest, TransparentKindShowsTheParentAndTracksTheFlag) {
  panel_->SetStyleKind(TscPanel::scpsTransparent);
  EXPECT_TRUE(panel_->TransparentBackground());
  EXPECT_EQ(QColor(form_.grab().toImage().pixel(95, 2)), QColor(10, 20, 30));
  EXPECT_EQ(QColor(form_.grab().toImage().pixel(50, 30)), QColor(Qt::red));  // the client area still draws
  panel_->SetStyleKind(TscPanel::scpsPanel);
  EXPECT_FALSE(panel_->TransparentBackground());
}

TEST_F(PanelTest, BordersShrinkTheContentRectangle) {
  ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
  EXPECT_EQ(panel_->ContentRect(), QRect(0, 0, 100, 60));
  panel_->RePaintControl();
  EXPECT_EQ(panel_->client_rect, QRect(0, 0, 100, 60));
  panel_->SetBorderStyle(TscPanel::scpbsFlat);
  EXPECT_EQ(panel_->client_rect, QRect(2, 2, 96, 56));
  EXPECT_EQ(Pixel(0, 0), QColor(0x1B, 0x1E, 0x23));  // flat frame in the shadow colour
  panel_->SetBorderStyle(TscPanel::scpbsRaised);
  EXPECT_EQ(Pixel(0, 0), QColor(0x37, 0x40, 0x4A));
  EXPECT_EQ(Pixel(99, 59), QColor(0x1B, 0x1E, 0x23));
  EXPECT_EQ(panel_->contentsRect(), QRect(1, 1, 98, 58));  // aligned children move in by the frame
}

TEST_F(PanelTest, OnPanelPaintGetsTheContentRectangle) {
  QRect painted;
  QObject::connect(panel_, &TscPanel::OnPanelPaint, [&](QObject* sender, QPainter* canvas, QRect rect) {
    EXPECT_EQ(sender, panel_);
    ASSERT_NE(canvas, nullptr);
    canvas->fillRect(QRect(0, 0, 3, 3), Qt::green);
    painted = rect;
  });
  panel_->SetBorderStyle(TscPanel::scpbsLowered);
  EXPECT_EQ(painted, QRect(2, 2, 96, 56));
  EXPECT_EQ(Pixel(1, 1), QColor(Qt::green));
}

TEST_F(PanelTest, EmptyKindSkipsPaintingUnlessADescendantForbidsIt) {
  panel_->SetStyleKind(TscPanel::scpsEmpty);
  panel_->client_rect = QRect();
  panel_->RePaintControl();
  EXPECT_TRUE(panel_->client_rect.isNull());
}

TEST_F(PanelTest, CaptionIsDrawnOnlyWhenShown) {
  panel_->SetCaption(QStringLiteral("WWWWWWWW"));
  const QImage without = panel_->grab().toImage();
  panel_->SetShowCaption(true);
  const QImage with = panel_->grab().toImage();
  EXPECT_NE(without, with);
  panel_->CaptionGlowEffect()->SetEnabled(true);
  EXPECT_NE(panel_->grab().toImage(), with);
}

TEST(KitClasses, AreKnownToLayoutsWithoutRegisteringByHand) {
  Form form;
  form.LoadFromJson(R"({"components": [{"name": "side", "class": "TscPanel",
      "properties": {"StyleKind": "scpsTransparent", "BorderStyle": "scpbsNone", "Color": "clBtnFace",
                     "StyleElements": ["seFont", "seClient"], "CaptionGlowEffect": {"GlowSize": 9}}}]})",
                    QStringLiteral("kit.json"));
  auto* side = form.Component<TscPanel>(QStringLiteral("side"));
  EXPECT_EQ(side->StyleKind(), TscPanel::scpsTransparent);
  EXPECT_TRUE(side->TransparentBackground());
  EXPECT_EQ(side->StyleElements(), TscCustomControl::TStyleElements(TscCustomControl::seFont | TscCustomControl::seClient));
  EXPECT_EQ(side->CaptionGlowEffect()->GlowSize(), 9);
}

TEST(KitClasses, AnUnknownClassNamesTheClassAndTheLayout) {
  Form form;
  try {
    form.LoadFromJson(R"({"components": [{"name": "x", "class": "TscNoSuchControl"}]})", QStringLiteral("probe.json"));
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_TRUE(e.Message().contains(QStringLiteral("probe.json"))) << e.Message().toStdString();
    EXPECT_TRUE(e.Message().contains(QStringLiteral("'TscNoSuchControl'"))) << e.Message().toStdString();
  }
}

}  // namespace
}  // namespace orvelle
