#include "controls/memo.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/theme.h"

#include "kit_test_support.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QShortcut>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace orvelle {
namespace {

constexpr QRgb kFace = qRgb(0x24, 0x29, 0x30);  // the Glow theme's clBtnFace

QRgb Over(QRgb top, int alpha, QRgb below) {
  auto mix = [&](int t, int b) { return (t * alpha + b * (255 - alpha) + 127) / 255; };
  return qRgb(mix(qRed(top), qRed(below)), mix(qGreen(top), qGreen(below)), mix(qBlue(top), qBlue(below)));
}

bool Near(QRgb a, QRgb b) {
  return std::abs(qRed(a) - qRed(b)) <= 1 && std::abs(qGreen(a) - qGreen(b)) <= 1 && std::abs(qBlue(a) - qBlue(b)) <= 1;
}

// Counts the pixels of a region that differ from a colour.
int InkPixels(const QImage& image, const QRect& area, QRgb background) {
  int ink = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) ink += image.pixel(x, y) != background;
  }
  return ink;
}

class MemoTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Application::RegisterFonts(); }
  void SetUp() override {
    ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
    form_.SetClientWidth(300);
    form_.SetClientHeight(200);
    form_.SetColor(clBtnFace);
  }

  template <class T>
  T* Add(const QRect& bounds) {
    auto* memo = new T();
    memo->setParent(&form_);
    memo->SetBounds(bounds.x(), bounds.y(), bounds.width(), bounds.height());
    return memo;
  }
  void Show() {
    form_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
    QApplication::setActiveWindow(&form_);
  }
  QImage Shown(QWidget* widget) { return test::GrabAsShown(widget); }
  static void Wheel(QWidget* target, int delta) {
    const QPointF at(10, 10);
    QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &wheel);
  }

  test::ScopedTheme theme_;
  Form form_;
};

TEST_F(MemoTest, LyricsViewIsTransparentWithTextInTheLabelColour) {
  auto* memo = Add<TscMemo>(QRect(10, 10, 200, 150));
  memo->SetTransparent(true);
  memo->SetScrollBars(Memo::ssVertical);
  memo->GetFont()->SetHeight(15);
  memo->SetText(QStringLiteral("HHHHHHHH"));
  Show();
  const QImage shown = Shown(memo);
  EXPECT_EQ(shown.pixel(150, 140), kFace);  // the parent's face behind the text
  QRgb brightest = kFace;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 100; ++x) brightest = std::max(brightest, shown.pixel(x, y));
  }
  EXPECT_EQ(brightest, qRgb(255, 255, 255));  // CheckBoxTextNormal of the theme
  memo->SetTransparent(false);
  EXPECT_EQ(Shown(memo).pixel(150, 140), qRgb(0x19, 0x1D, 0x22));  // the theme's clWindow
}

// The wheel over the text or over the memo's own scroll bar (the lyrics view shows one).
TEST_F(MemoTest, OneLinePerWheelMessageWhateverTheDelta) {
  auto* memo = Add<TscMemo>(QRect(10, 10, 200, 60));
  QStringList lines;
  for (int i = 0; i < 40; ++i) lines << QStringLiteral("line %1").arg(i);
  memo->SetLines(lines);
  memo->SetScrollBars(Memo::ssVertical);
  Show();
  QScrollBar* bar = memo->Editor()->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 5);
  QWidget* text = memo->Editor()->viewport();
  const struct {
    QWidget* target;
    int delta;
    int line;
  } steps[] = {{text, -120, 1}, {text, -480, 2}, {text, -15, 3}, {text, 120, 2}, {text, 960, 1}, {text, 0, 1},
               {bar, -120, 2},  {bar, -480, 3},  {bar, 120, 2}};
  for (const auto& step : steps) {
    Wheel(step.target, step.delta);
    EXPECT_EQ(bar->value(), step.line) << step.delta << (step.target == bar ? " over the bar" : " over the text");
  }
}

TEST_F(MemoTest, LargerFontRewrapsAndKeepsTheFaceBehind) {
  auto* memo = Add<TscMemo>(QRect(10, 10, 200, 180));
  memo->SetTransparent(true);
  memo->SetText(QStringLiteral("Words that wrap at the width of the panel once the font grows large enough"));
  Show();
  auto lines = [memo] {
    int count = 0;
    for (QTextBlock block = memo->Editor()->document()->begin(); block.isValid(); block = block.next()) {
      count += block.layout()->lineCount();
    }
    return count;
  };
  const int before = lines();
  for (int i = 0; i < 3; ++i) memo->GetFont()->SetSize(memo->GetFont()->Size() + 2);
  QApplication::processEvents();
  EXPECT_GT(lines(), before);
  EXPECT_EQ(Shown(memo).pixel(195, 175), kFace);
}

// Read-only, the notice takes no typing but is read with the caret keys, line by line, as a screen
// reader reads it; the window's shortcuts on those keys wait, its other shortcuts (letters, Space)
// still work while the text has the focus.
TEST_F(MemoTest, ReadOnlyNoticeTakesNoTypingButItsCaretWalksTheLines) {
  auto* notice = Add<TscGPMemo>(QRect(10, 10, 200, 80));
  notice->SetReadOnly(true);
  int window_keys = 0;
  for (QKeySequence keys : {QKeySequence(Qt::Key_Down), QKeySequence(Qt::Key_N), QKeySequence(Qt::Key_Space)}) {
    auto* shortcut = new QShortcut(keys, &form_);
    QObject::connect(shortcut, &QShortcut::activated, [&] { ++window_keys; });
  }
  Show();
  notice->SetText(QStringLiteral("first line\nsecond line"));
  notice->setFocus();
  QTest::keyClicks(notice->Editor(), QStringLiteral("typed"));
  QTest::keyClick(notice->Editor(), Qt::Key_Backspace);
  QTest::keyClick(notice->Editor(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(notice->Text(), QStringLiteral("first line\nsecond line"));

  QTest::keyClick(notice->Editor(), Qt::Key_Down);
  EXPECT_EQ(notice->Editor()->textCursor().blockNumber(), 1);
  EXPECT_EQ(window_keys, 0);
  QTest::keyClick(notice->Editor(), Qt::Key_N);
  QTest::keyClick(notice->Editor(), Qt::Key_Space);
  EXPECT_EQ(window_keys, 2);

  // It can still be selected and copied.
  notice->Editor()->selectAll();
  QTest::keyClick(notice->Editor(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("first line\nsecond line"));
}

TEST_F(MemoTest, NoticeBackingAndFramePerState) {
  auto* notice = Add<TscGPMemo>(QRect(0, 0, 280, 180));
  notice->SetReadOnly(true);
  auto* other = Add<TscGPMemo>(QRect(285, 185, 10, 10));  // somewhere else for the focus to go
  Show();
  other->setFocus();
  const QRgb window = qRgb(0x19, 0x1D, 0x22), white = qRgb(255, 255, 255), teal = qRgb(0x35, 0xBD, 0xBB);
  struct Case {
    const char* what;
    std::function<void()> enter;
    QRgb frame, fill;
  };
  const Case cases[] = {
      {"at rest: translucent frame and fill",
       [&] {
         QEvent leave(QEvent::Leave);
         QApplication::sendEvent(notice, &leave);
       },
       Over(white, 100, kFace), Over(window, 200, kFace)},
      {"focused: opaque", [&] { notice->setFocus(); }, teal, window},
      {"under the pointer: opaque",
       [&] {
         other->setFocus();
         QEnterEvent enter(QPointF(50, 50), QPointF(50, 50), notice->mapToGlobal(QPointF(50, 50)));
         QApplication::sendEvent(notice, &enter);
       },
       teal, window},
      {"disabled", [&] { notice->setEnabled(false); }, Over(white, 50, kFace), Over(window, 150, kFace)},
  };
  for (const Case& c : cases) {
    c.enter();
    const QImage image = Shown(notice);
    for (QPoint edge : {QPoint(0, 0), QPoint(150, 0), QPoint(279, 100), QPoint(150, 179)}) {
      EXPECT_TRUE(Near(image.pixel(edge), c.frame)) << c.what << " at " << edge.x() << "," << edge.y() << " "
                                                    << std::hex << image.pixel(edge);
    }
    EXPECT_TRUE(Near(image.pixel(1, 1), c.fill)) << c.what << std::hex << " " << image.pixel(1, 1);
    EXPECT_TRUE(Near(image.pixel(250, 150), c.fill)) << c.what;
  }
}

// clNone is no colour: a solid fill of it and a gradient fill of it both leave the parent's face.
TEST_F(MemoTest, NoFillColourShowsTheParentWhateverTheFillStyle) {
  auto* solid = Add<TscGPMemo>(QRect(0, 0, 120, 80));
  auto* gradient = Add<TscGPMemo>(QRect(130, 0, 120, 80));
  gradient->Options()->SetShapeFillStyle(TscGPMemoOptions::scgpsfGradient);
  for (TscGPMemo* memo : {solid, gradient}) {
    TscGPMemoOptions* o = memo->Options();
    o->SetNormalColor(clNone);
    o->SetHotColor(clNone);
    o->SetFocusedColor(clNone);
  }
  Show();
  EXPECT_EQ(Shown(solid).pixel(60, 40), kFace);
  EXPECT_EQ(Shown(gradient).pixel(60, 40), kFace);
}

// The graphic faces' frame rule, as on the graphic button: a frame drawn with alpha 0 is no frame,
// so the fill reaches the edge (a translucent frame would leave the fill one frame width in).
TEST_F(MemoTest, AFrameOfAlphaZeroIsNoFrame) {
  auto* notice = Add<TscGPMemo>(QRect(0, 0, 120, 80));
  TscGPMemoOptions* o = notice->Options();
  o->SetFrameWidth(3);
  o->SetNormalColorAlpha(255);
  o->SetFrameNormalColorAlpha(0);
  o->SetFrameHotColorAlpha(0);
  o->SetFrameFocusedColorAlpha(0);
  Show();
  const QRgb window = qRgb(0x19, 0x1D, 0x22);  // the theme's clWindow, the fill of every state
  const QImage image = Shown(notice);
  for (QPoint edge : {QPoint(0, 0), QPoint(60, 0), QPoint(1, 40), QPoint(119, 79)}) {
    EXPECT_EQ(image.pixel(edge), window) << edge.x() << "," << edge.y() << " " << std::hex << image.pixel(edge);
  }
}

// The notice's own values where they differ from the graphic button's set: no frame and square
// corners are allowed, and the gradient runs between its own offsets.
TEST(MemoOptions, DefaultsAndLimitsOfTheNoticeSet) {
  TscGPMemoOptions o;
  EXPECT_EQ(o.FontNormalColor(), clWindowText);
  EXPECT_EQ(o.FontDisabledColor(), clGrayText);
  EXPECT_EQ(o.FrameWidth(), 1);
  EXPECT_EQ(o.ShapeCornerRadius(), 0);
  EXPECT_EQ(o.ShapeFillStyle(), TscGPMemoOptions::scgpsfColor);
  EXPECT_EQ(o.ShapeFillGradientAngle(), -90);
  EXPECT_EQ(o.ShapeFillGradientBeginColorOffset(), 25);
  EXPECT_EQ(o.ShapeFillGradientEndColorOffset(), 25);
  EXPECT_FALSE(o.ScaleFrameWidth());
  EXPECT_TRUE(o.StyleColors());
  o.SetShapeCornerRadius(6);
  o.SetFrameWidth(0);
  o.SetShapeCornerRadius(0);
  EXPECT_EQ(o.FrameWidth(), 0);
  EXPECT_EQ(o.ShapeCornerRadius(), 0);
  o.SetFrameWidth(-1);  // ignored
  o.SetShapeCornerRadius(-1);
  EXPECT_EQ(o.FrameWidth(), 0);
  EXPECT_EQ(o.ShapeCornerRadius(), 0);
}

TEST_F(MemoTest, AssistiveTechnologyReadsRoleNameAndText) {
  auto* notice = Add<TscGPMemo>(QRect(0, 0, 300, 200));
  notice->SetReadOnly(true);
  notice->SetAccessibleName(QStringLiteral("Notice"));
  notice->SetText(QStringLiteral("请支持“KestraFM”"));
  Show();
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(notice->Editor());
  ASSERT_NE(accessible, nullptr);
  EXPECT_EQ(accessible->role(), QAccessible::EditableText);
  EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Notice"));
  EXPECT_EQ(accessible->text(QAccessible::Value), QStringLiteral("请支持“KestraFM”"));
  EXPECT_TRUE(accessible->state().readOnly);
}

TEST_F(MemoTest, ContentMarginsPlaceTheText) {
  auto* notice = Add<TscGPMemo>(QRect(0, 0, 300, 200));
  Show();
  EXPECT_EQ(notice->GetContentRect(), QRect(5, 5, 290, 190));
  EXPECT_EQ(notice->Editor()->viewport()->geometry(), QRect(5, 5, 290, 190));
  notice->SetContentMarginLeft(-1);  // ignored
  notice->SetContentMarginTop(20);
  EXPECT_EQ(notice->GetContentRect(), QRect(5, 20, 290, 175));
  notice->SetBounds(0, 0, 30, 30);  // never below twice the character height (11 pixels)
  EXPECT_EQ(notice->GetContentRect().size(), QSize(22, 22));
  notice->SetBounds(0, 0, 300, 200);
  notice->SetScrollBars(Memo::ssVertical);
  EXPECT_EQ(notice->GetContentRect(), QRect(5, 20, 279, 175));
  EXPECT_EQ(notice->Editor()->viewport()->geometry(), QRect(5, 20, 279, 175));  // the text follows at once
}

// A notice with its own scroll bars: many short lines (vertical range) or one long unwrapped line
// (horizontal range), opaque colours for the bars so that a pixel tells track from thumb.
class NoticeScrollBarTest : public MemoTest {
 protected:
  static constexpr QRgb kTrack = qRgb(200, 0, 0), kThumb = qRgb(0, 0, 200);

  TscGPMemo* AddNotice(Memo::TScrollStyle bars, int radius = 0) {
    auto* notice = Add<TscGPMemo>(QRect(0, 0, 200, 100));
    QStringList lines;
    for (int i = 0; i < 40; ++i) lines << QStringLiteral("line %1").arg(i);
    lines[0] = QStringLiteral("a first line much too long to fit the width of the notice without wrapping it");
    notice->SetWordWrap(false);
    notice->SetLines(lines);
    notice->SetScrollBars(bars);
    notice->Options()->SetShapeCornerRadius(radius);
    TscGPControlScrollBarOptions* o = notice->ScrollBarOptions();
    o->SetFillColor(Color::FromRgb(200, 0, 0));
    o->SetFillColorAlpha(255);
    o->SetThumbColor(Color::FromRgb(0, 0, 200));
    o->SetThumbColorAlpha(255);
    o->SetSize(9);
    return notice;
  }
};

// The bars lie inside the 1-pixel frame (inner rectangle (1, 1)-(198, 98)), 9 pixels thick as
// ScrollBarOptions says, in its colours; the editor's own bars stay hidden and the text never
// reaches under a bar.
TEST_F(NoticeScrollBarTest, BarsInsideTheFrameInTheirOptionsColours) {
  struct Case {
    const char* what;
    Memo::TScrollStyle bars;
    int radius;
    QRect vertical, horizontal;  // empty: not shown
    bool corner_filled;
  } const cases[] = {
      {"vertical", Memo::ssVertical, 0, QRect(190, 1, 9, 98), QRect(), false},
      {"horizontal", Memo::ssHorizontal, 0, QRect(), QRect(1, 90, 198, 9), false},
      {"both, square corners", Memo::ssBoth, 0, QRect(190, 1, 9, 89), QRect(1, 90, 189, 9), true},
      {"both, rounded corners", Memo::ssBoth, 6, QRect(190, 7, 9, 83), QRect(7, 90, 183, 9), false},
  };
  Show();
  for (const Case& c : cases) {
    TscGPMemo* notice = AddNotice(c.bars, c.radius);
    notice->show();
    Shown(notice);  // the editor learns how wide its text is while it paints
    const QImage image = Shown(notice);
    EXPECT_FALSE(notice->Editor()->verticalScrollBar()->isVisible()) << c.what;
    EXPECT_FALSE(notice->Editor()->horizontalScrollBar()->isVisible()) << c.what;
    const QRect text = notice->Editor()->viewport()->geometry();
    for (auto [bar, expected] : {std::pair{notice->VertScrollBar(), c.vertical}, std::pair{notice->HorzScrollBar(), c.horizontal}}) {
      EXPECT_EQ(bar->Visible(), !expected.isEmpty()) << c.what;
      if (expected.isEmpty()) continue;
      EXPECT_EQ(bar->Bounds(), expected) << c.what;
      EXPECT_FALSE(text.intersects(expected)) << c.what;
      // Scrolled to the start: the thumb at the bar's start, the track at its end.
      EXPECT_EQ(image.pixel(expected.topLeft() + QPoint(2, 2)), kThumb) << c.what;
      EXPECT_EQ(image.pixel(expected.bottomRight() - QPoint(2, 2)), kTrack) << c.what;
    }
    EXPECT_NE(image.pixel(199, 50), kTrack) << c.what << ": the frame stays outside the bar";
    EXPECT_NE(image.pixel(100, 99), kTrack) << c.what;
    if (c.bars == Memo::ssBoth) {
      EXPECT_EQ(image.pixel(194, 94) == kTrack, c.corner_filled) << c.what << ": the corner between the bars";
    }
    delete notice;
  }
}

TEST_F(NoticeScrollBarTest, RightToLeftPutsTheVerticalBarOnTheLeft) {
  TscGPMemo* notice = AddNotice(Memo::ssVertical);
  notice->setLayoutDirection(Qt::RightToLeft);
  Show();
  EXPECT_EQ(notice->VertScrollBar()->Bounds(), QRect(1, 1, 9, 98));
  EXPECT_EQ(Shown(notice).pixel(3, 3), kThumb);
  EXPECT_FALSE(notice->Editor()->viewport()->geometry().intersects(notice->VertScrollBar()->Bounds()));
}

// The bar shows the editor's range and position and sets them: the wheel over it, a drag of the
// thumb, a click on the track; hiding the memo ends a drag.
TEST_F(NoticeScrollBarTest, TheBarScrollsTheText) {
  TscGPMemo* notice = AddNotice(Memo::ssVertical);
  Show();
  QScrollBar* lines = notice->Editor()->verticalScrollBar();
  TscGPControlScrollBar* bar = notice->VertScrollBar();
  ASSERT_GT(lines->maximum(), 10);
  EXPECT_EQ(bar->Max(), lines->maximum() + lines->pageStep() - 1);
  EXPECT_EQ(bar->PageSize(), lines->pageStep());
  QWidget* under_bar = notice->Editor();  // the bar is drawn over the editor's edge
  const QPoint on_thumb = bar->ThumbRect().center();

  QTest::mouseMove(under_bar, on_thumb);
  EXPECT_EQ(bar->ThumbState(), scsHot);
  Wheel(under_bar, -120);
  EXPECT_EQ(lines->value(), 1);
  EXPECT_EQ(bar->Position(), 1);
  lines->setValue(0);

  QTest::mousePress(under_bar, Qt::LeftButton, {}, on_thumb);
  EXPECT_TRUE(bar->Dragging());
  QTest::mouseMove(under_bar, on_thumb + QPoint(0, 200));  // to the end of the track
  EXPECT_EQ(lines->value(), lines->maximum());
  QTest::mouseRelease(under_bar, Qt::LeftButton, {}, on_thumb + QPoint(0, 200));
  EXPECT_FALSE(bar->Dragging());

  QTest::mouseClick(under_bar, Qt::LeftButton, {}, QPoint(194, 3));  // on the track above the thumb
  EXPECT_EQ(lines->value(), lines->maximum() - lines->pageStep());

  QTest::mousePress(under_bar, Qt::LeftButton, {}, bar->ThumbRect().center());
  ASSERT_TRUE(bar->Dragging());
  notice->hide();
  EXPECT_FALSE(bar->Dragging());
  EXPECT_EQ(bar->ThumbState(), scsNormal);
}

TEST_F(MemoTest, ScalingScalesTheGraphicOptions) {
  auto* notice = Add<TscGPMemo>(QRect(0, 0, 300, 200));
  notice->Options()->SetShapeCornerRadius(4);
  notice->Options()->SetFrameWidth(2);
  notice->ChangeScale(144, 96);
  EXPECT_EQ(notice->ScalePercent(), 150);
  EXPECT_EQ(notice->Options()->ShapeCornerRadius(), 6);
  EXPECT_EQ(notice->Options()->FrameWidth(), 2);  // ScaleFrameWidth is off
  EXPECT_EQ(notice->ContentMarginLeft(), 8);      // 7.5: halves round to even
  EXPECT_EQ(notice->ScrollBarOptions()->Size(), 16);  // 16.5
}

TEST(MemoLayout, LoadsEveryPublishedOption) {
  Application::RegisterFonts();
  Form form;
  form.Load(QStringLiteral(ORVELLE_CONTROL_LAYOUTS "/memos.json"));
  auto* notice = form.Component<TscGPMemo>(QStringLiteral("mmo1"));
  EXPECT_TRUE(notice->ReadOnly());
  EXPECT_EQ(notice->Lines().size(), 7);
  EXPECT_EQ(notice->Lines().at(4), QStringLiteral("请支持“KestraFM”"));
  EXPECT_EQ(notice->Options()->NormalColorAlpha(), 200);
  EXPECT_EQ(notice->Options()->FrameDisabledColorAlpha(), 50);
  EXPECT_EQ(notice->ScrollBarOptions()->ThumbColorPressedAlpha(), 150);
  auto* lyrics = form.Component<TscMemo>(QStringLiteral("lyrics"));
  EXPECT_TRUE(lyrics->Transparent());
  EXPECT_EQ(lyrics->ScrollBars(), Memo::ssVertical);
  EXPECT_NE(lyrics->CustomImages(), nullptr);
  auto* rounded = form.Component<TscGPMemo>(QStringLiteral("rounded"));
  EXPECT_EQ(rounded->Options()->ShapeFillStyle(), TscGPMemoOptions::scgpsfGradient);
}

}  // namespace
}  // namespace orvelle
