#include "controls/gp_list_box.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/theme.h"

#include "kit_test_support.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace orvelle {
namespace {

// The open list of the main window's channel drop-down: 221 x 214 (seven 30-pixel rows inside a
// 2-pixel frame), with `count` items "Item 0", "Item 1", ...
class ListBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application::RegisterFonts();
    ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
    list_.resize(221, 214);
  }

  void Fill(int count) {
    for (int i = 0; i < count; ++i) list_.Items()->Add()->SetCaption(QStringLiteral("Item %1").arg(i));
  }

  void ShowAt(int index) {
    list_.InitItemIndex(index);
    list_.Show(QPoint(20, 20));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list_));
  }

  // The index of the first row wholly in view and of the last one.
  std::pair<int, int> RowsInView() {
    list_.LayoutItems();
    const QRect area = list_.ItemsRect();
    int first = -1, last = -1;
    for (int i = 0; i < list_.Items()->Count(); ++i) {
      const QRect row = list_.Items()->Item(i)->ItemRect();
      if (area.contains(row)) {
        if (first < 0) first = i;
        last = i;
      }
    }
    return {first, last};
  }

  void Wheel(int delta) {
    const QPointF at(50, 50);
    QWheelEvent event(at, list_.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&list_, &event);
  }

  test::ScopedTheme theme_;
  TscGPPopupListBox list_;
};

TEST_F(ListBoxTest, ScrollBarShowsWhenTheRowsDoNotFit) {
  struct Case {
    int items;
    bool visible;
    int thumb;  // length in pixels
  };
  // The row area is 210 pixels high; 30 rows need 900.
  for (const Case c : {Case{30, true, 49}, Case{7, false, 0}, Case{8, true, 184}, Case{100, true, 22}}) {
    list_.Items()->Clear();
    Fill(c.items);
    list_.LayoutItems();
    const TscGPControlScrollBar* bar = list_.VertScrollBar();
    SCOPED_TRACE(c.items);
    EXPECT_EQ(bar->Visible(), c.visible);
    if (!c.visible) {
      EXPECT_EQ(list_.ItemsRect(), QRect(2, 2, 217, 210));
      continue;
    }
    EXPECT_EQ(bar->Max(), c.items * 30 - 1);
    EXPECT_EQ(bar->PageSize(), 210);
    EXPECT_EQ(bar->Bounds(), QRect(208, 2, 11, 210));
    EXPECT_EQ(list_.ItemsRect(), QRect(2, 2, 206, 210));
    EXPECT_EQ(bar->ThumbRect().height(), c.thumb);
  }
}

TEST_F(ListBoxTest, ShowingScrollsTheSelectedRowIntoView) {
  Fill(30);
  ShowAt(20);
  EXPECT_EQ(list_.ScrollOffset(), 420);
  EXPECT_EQ(RowsInView(), std::make_pair(14, 20));

  list_.Hide();
  ShowAt(3);  // fully inside from the top: no scrolling
  EXPECT_EQ(list_.ScrollOffset(), 0);
  EXPECT_EQ(RowsInView(), std::make_pair(0, 6));

  // A row above the view is scrolled so that its top meets the row area's top.
  list_.Scroll(600);
  list_.InitItemIndex(5);
  EXPECT_EQ(list_.ScrollOffset(), 150);
  EXPECT_EQ(RowsInView(), std::make_pair(5, 11));
}

TEST_F(ListBoxTest, ScrollingIsLimitedToTheContent) {
  Fill(30);
  ShowAt(0);
  list_.Scroll(5000);
  EXPECT_EQ(list_.ScrollOffset(), 690);  // 900 - 210
  EXPECT_EQ(list_.VertScrollBar()->Position(), 690);
  list_.Scroll(-5);
  EXPECT_EQ(list_.ScrollOffset(), 0);
}

TEST_F(ListBoxTest, NavigationMoves) {
  Fill(20);
  list_.Items()->Item(12)->SetHeader(true);
  list_.Items()->Item(3)->SetEnabled(false);
  struct Case {
    int from;
    int previous, next, page_up, page_down;
  };
  // Seven rows show, so a page is 8 items; the header at 12 stops a page move just beyond it.
  for (const Case c : {Case{0, -1, 1, 0, 8},       //
                       Case{8, 7, 9, 0, 13},       // page down crosses the header: stops at 13
                       Case{-1, -1, 0, -1, 7},     // nothing selected: page down counts from before 0
                       Case{4, 2, 5, 0, 13},       // previous skips the disabled item 3
                       Case{2, 1, 4, 0, 10},       //
                       Case{19, 18, -1, 11, 19},   // page up crosses the header: stops at 11
                       Case{13, 11, 14, 11, 19}}) {
    list_.InitItemIndex(c.from);
    SCOPED_TRACE(c.from);
    EXPECT_EQ(list_.PreviousIndex(), c.previous);
    EXPECT_EQ(list_.NextSelectableIndex(), c.next);
    EXPECT_EQ(list_.PageUpIndex(), c.page_up);
    EXPECT_EQ(list_.PageDownIndex(), c.page_down);
  }
}

TEST_F(ListBoxTest, SearchesByCaptionAndDetail) {
  const QStringList captions{u"Rock"_qs, u"rap"_qs, u"Jazz"_qs, u"R&B"_qs, u"Émile"_qs, u"émile"_qs, u"新歌"_qs};
  for (const QString& caption : captions) {
    TscGPListBoxItem* item = list_.Items()->Add();
    item->SetCaption(caption);
    item->SetDetail(QString::number(list_.Items()->Count() * 10));
  }
  list_.Items()->Item(1)->SetEnabled(false);

  list_.InitItemIndex(0);
  EXPECT_EQ(list_.NextIndex(u"r"_qs), 3);   // after the selected one; the disabled "rap" is skipped
  list_.InitItemIndex(3);
  EXPECT_EQ(list_.NextIndex(u"R"_qs), 0);   // wraps to the start
  EXPECT_EQ(list_.NextIndex(u"x"_qs), -1);
  EXPECT_EQ(list_.NextIndex(u"É"_qs), 4);   // beyond ASCII only the same letter matches
  EXPECT_EQ(list_.NextIndex(u"é"_qs), 5);
  EXPECT_EQ(list_.NextIndex(u"新"_qs), 6);

  EXPECT_EQ(list_.IndexOfCaption(u"JAZZ"_qs), 2);
  EXPECT_EQ(list_.IndexOfCaption(u"Ja"_qs), -1);
  EXPECT_EQ(list_.IndexOfCaption(u"Ja"_qs, true), 2);
  EXPECT_EQ(list_.IndexOfDetail(u"30"_qs), 2);
  EXPECT_EQ(list_.IndexOfDetail(u"3"_qs, true), 2);

  list_.Items()->Item(2)->SetHeader(true);
  EXPECT_EQ(list_.IndexOfCaption(u"Jazz"_qs), -1);  // headers are not searched by caption...
  EXPECT_EQ(list_.IndexOfDetail(u"30"_qs), 2);      // ...but are by detail
}

TEST_F(ListBoxTest, ItemIndexRulesAndEvents) {
  Fill(10);
  list_.Items()->Item(4)->SetHeader(true);
  list_.Items()->Item(5)->SetEnabled(false);
  QSignalSpy clicks(&list_, &TscGPCustomListBox::OnItemClick);

  list_.SetItemIndex(2);
  EXPECT_EQ(list_.ItemIndex(), 2);
  EXPECT_TRUE(list_.Items()->Item(2)->Active());
  EXPECT_EQ(clicks.count(), 1);

  list_.SetItemIndex(4);  // a header is refused
  list_.SetItemIndex(5);  // so is a disabled item
  EXPECT_EQ(list_.ItemIndex(), 2);
  EXPECT_EQ(clicks.count(), 1);

  list_.SetItemIndex(25);  // beyond the count: stored, no row selected, no event
  EXPECT_EQ(list_.ItemIndex(), 25);
  EXPECT_FALSE(list_.Items()->Item(2)->Active());
  EXPECT_EQ(clicks.count(), 1);

  list_.SetItemIndex(-3);  // a negative value clears the selection and is stored as it is
  EXPECT_EQ(list_.ItemIndex(), -3);
  EXPECT_EQ(clicks.count(), 1);

  list_.InitItemIndex(7);  // no event
  EXPECT_EQ(list_.ItemIndex(), 7);
  EXPECT_EQ(clicks.count(), 1);
}

TEST_F(ListBoxTest, HoverSelectsEnabledRowsWithoutEvents) {
  Fill(10);
  list_.Items()->Item(1)->SetHeader(true);
  list_.Items()->Item(3)->SetEnabled(false);
  ShowAt(0);
  QSignalSpy clicks(&list_, &TscGPCustomListBox::OnItemClick);
  list_.LayoutItems();
  auto row_centre = [&](int i) { return list_.Items()->Item(i)->ItemRect().center(); };

  QTest::mouseMove(&list_, row_centre(2));
  EXPECT_EQ(list_.ItemIndex(), 2);
  QTest::mouseMove(&list_, row_centre(1));  // header
  EXPECT_EQ(list_.ItemIndex(), 2);
  QTest::mouseMove(&list_, row_centre(3));  // disabled
  EXPECT_EQ(list_.ItemIndex(), 2);
  QTest::mouseMove(&list_, row_centre(4));
  EXPECT_EQ(list_.ItemIndex(), 4);
  EXPECT_EQ(clicks.count(), 0);
}

TEST_F(ListBoxTest, WheelScrollsByOneItemAndKeepsTheSelection) {
  Fill(30);
  ShowAt(2);
  Wheel(-120);  // toward the user: down
  EXPECT_EQ(list_.ScrollOffset(), 30);
  Wheel(-120);
  Wheel(120);
  EXPECT_EQ(list_.ScrollOffset(), 30);
  Wheel(-40);  // a third of a notch does not scroll yet, three of them make one step
  Wheel(-40);
  EXPECT_EQ(list_.ScrollOffset(), 30);
  Wheel(-40);
  EXPECT_EQ(list_.ScrollOffset(), 60);
  EXPECT_EQ(list_.ItemIndex(), 2);

  list_.Items()->Clear();
  Fill(5);  // no scroll bar: the wheel does nothing
  Wheel(-120);
  EXPECT_EQ(list_.ScrollOffset(), 0);
}

TEST_F(ListBoxTest, PressOnTheTrackPagesTowardThePointer) {
  Fill(30);
  ShowAt(29);  // scrolled to the bottom: the thumb at the track's end (y 163...211)
  TscGPControlScrollBar* bar = list_.VertScrollBar();
  ASSERT_EQ(bar->Position(), 690);
  const QPoint above_thumb(213, 10);
  const QTimer* timer = bar->PagingTimer();

  QTest::mousePress(&list_, Qt::LeftButton, {}, above_thumb);
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(timer->interval(), TscGPControlScrollBar::kPagingDelay);
  EXPECT_EQ(bar->Position(), 690);  // nothing before the first delay

  QList<int> pages;
  QObject::connect(bar, &TscGPControlScrollBar::PositionChanged, [&] { pages.append(bar->Position()); });
  QSignalSpy ticks(timer, &QTimer::timeout);
  ASSERT_TRUE(ticks.wait(2000));
  EXPECT_EQ(pages, QList<int>{480});  // one page of 210
  EXPECT_EQ(timer->interval(), TscGPControlScrollBar::kPagingInterval);
  for (int i = 0; i < 10 && timer->isActive(); ++i) ticks.wait(2000);
  // Once the thumb lies under the pointer, paging stops.
  EXPECT_EQ(pages, (QList<int>{480, 270, 60, 0}));
  EXPECT_TRUE(bar->ThumbRect().contains(above_thumb));
  EXPECT_FALSE(timer->isActive());
  QTest::mouseRelease(&list_, Qt::LeftButton, {}, above_thumb);
  EXPECT_EQ(bar->Position(), 0);
  EXPECT_EQ(list_.ScrollOffset(), 0);

  // A quick click below the thumb pages once, on release.
  QTest::mouseClick(&list_, Qt::LeftButton, {}, QPoint(213, 200));
  EXPECT_EQ(bar->Position(), 210);
  EXPECT_FALSE(timer->isActive());
  EXPECT_EQ(list_.ItemIndex(), 29);  // paging never selects
}

TEST_F(ListBoxTest, DraggingTheThumbScrolls) {
  Fill(30);
  ShowAt(0);
  TscGPControlScrollBar* bar = list_.VertScrollBar();
  const QRect thumb = bar->ThumbRect();  // 49 long at the top of the 210-pixel track
  ASSERT_EQ(thumb, QRect(208, 2, 11, 49));
  QTest::mousePress(&list_, Qt::LeftButton, {}, QPoint(213, 10));
  EXPECT_EQ(bar->ThumbState(), scsPressed);
  // 70 of the free 161 pixels (210 - 49) of track: 70 / 161 of the 690 positions.
  QTest::mouseMove(&list_, QPoint(213, 10 + 70));
  EXPECT_EQ(bar->Position(), 300);
  EXPECT_EQ(list_.ScrollOffset(), 300);
  QTest::mouseMove(&list_, QPoint(213, 400));  // kept inside the track
  EXPECT_EQ(bar->Position(), 690);
  QTest::mouseRelease(&list_, Qt::LeftButton, {}, QPoint(213, 400));
  EXPECT_FALSE(bar->Dragging());
  EXPECT_EQ(bar->ThumbState(), scsNormal);  // released off the thumb
  EXPECT_EQ(list_.ItemIndex(), 0);
}

TEST_F(ListBoxTest, ScrollBarSetterLimits) {
  TscGPControlScrollBar* bar = list_.VertScrollBar();
  bar->SetParams(0, 99, 10);
  bar->SetPosition(500);
  EXPECT_EQ(bar->Position(), 90);  // Max - PageSize + 1
  bar->SetParams(10, 5, 3);        // Max not below Min; a page larger than the range counts as 0
  EXPECT_EQ(bar->Max(), 10);
  EXPECT_EQ(bar->PageSize(), 0);
  EXPECT_EQ(bar->Position(), 11);  // limited to Max - PageSize + 1
  EXPECT_FALSE(bar->Visible());
}

TEST_F(ListBoxTest, DrawsFrameRowsSelectionAndBarInTheThemeColours) {
  Fill(30);
  ShowAt(1);
  const QImage face = list_.grab().toImage();
  const QColor window(0x19, 0x1D, 0x22);      // clWindow
  const QColor frame(0x1B, 0x1E, 0x23);       // clBtnShadow
  // clHighlight (#35BDBB) at alpha 220 over clWindow.
  auto over = [](int top, int bottom) { return (top * 220 + bottom * 35 + 127) / 255; };
  const QColor selection(over(0x35, 0x19), over(0xBD, 0x1D), over(0xBB, 0x22));
  EXPECT_EQ(QColor(face.pixel(0, 0)), frame);
  EXPECT_EQ(QColor(face.pixel(1, 100)), frame);
  EXPECT_EQ(QColor(face.pixel(220, 213)), frame);
  EXPECT_EQ(QColor(face.pixel(4, 10)), window);  // row 0
  for (QPoint p : {QPoint(2, 32), QPoint(100, 33), QPoint(207, 61)}) {
    const QColor c(face.pixel(p));
    EXPECT_NEAR(c.red(), selection.red(), 1) << p.x() << "," << p.y();
    EXPECT_NEAR(c.green(), selection.green(), 1);
    EXPECT_NEAR(c.blue(), selection.blue(), 1);
  }
  EXPECT_EQ(QColor(face.pixel(4, 62)), window);  // row 2
  // The thumb (clWindowText, white, at alpha 50) over the track (clBtnFace at alpha 100).
  EXPECT_GT(QColor(face.pixel(213, 20)).red(), QColor(face.pixel(213, 150)).red());
  EXPECT_NE(QColor(face.pixel(213, 150)), window);

  // Captions start at x 7 (frame 2 + margin 5): no text pixel left of it.
  int leftmost_text = 1000;
  for (int y = 2; y < 32; ++y) {
    for (int x = 2; x < 100; ++x) {
      if (QColor(face.pixel(x, y)) != window) leftmost_text = std::min(leftmost_text, x);
    }
  }
  EXPECT_GE(leftmost_text, 7);
  EXPECT_LE(leftmost_text, 9);
}

TEST_F(ListBoxTest, HeaderRowsAndSeparatorLines) {
  Fill(4);
  list_.Items()->Item(0)->SetHeader(true);
  list_.SetShowLines(true);
  ShowAt(-1);
  list_.LayoutItems();
  EXPECT_EQ(list_.Items()->Item(0)->ItemRect(), QRect(2, 2, 217, 20));  // a header is HeaderHeight high
  EXPECT_EQ(list_.Items()->Item(1)->ItemRect(), QRect(2, 22, 217, 30));
  const QImage face = list_.grab().toImage();
  const QColor window(0x19, 0x1D, 0x22);
  auto over = [](int top, int bottom, int alpha) { return (top * alpha + bottom * (255 - alpha) + 127) / 255; };
  // The header's fill: clBtnFace (#242930) at alpha 220 over clWindow.
  const QColor header(over(0x24, 0x19, 220), over(0x29, 0x1D, 220), over(0x30, 0x22, 220));
  EXPECT_NEAR(QColor(face.pixel(200, 10)).red(), header.red(), 1);
  EXPECT_NEAR(QColor(face.pixel(200, 10)).blue(), header.blue(), 1);
  // A line (clWindowText, white, at alpha 20) along the bottom pixel row of each item.
  const int line = over(0xFF, 0x19, 20);
  EXPECT_NEAR(QColor(face.pixel(200, 51)).red(), line, 1);
  EXPECT_EQ(QColor(face.pixel(200, 50)), window);
  EXPECT_NEAR(QColor(face.pixel(200, 111)).red(), line, 1);  // also under the last one: no scroll bar
  EXPECT_EQ(QColor(face.pixel(200, 112)), window);

  list_.SetItemIndex(0);  // a header can never be selected
  EXPECT_EQ(list_.ItemIndex(), -1);
}

TEST_F(ListBoxTest, ItemChangesRepaintAndUpdatesCanBeSuspended) {
  Fill(3);
  ShowAt(0);
  list_.Items()->Item(0)->SetCaption(u"Changed"_qs);
  const QImage changed = list_.grab().toImage();
  list_.BeginUpdateItems();
  list_.Items()->Item(0)->SetCaption(u"Item 0"_qs);
  list_.Items()->Add()->SetCaption(u"Item 3"_qs);
  EXPECT_EQ(list_.Items()->Count(), 4);
  list_.EndUpdateItems();
  EXPECT_NE(list_.grab().toImage(), changed);

  list_.Items()->Item(2)->SetCaption(u"a"_qs);
  list_.SetItemIndex(3);
  list_.Sort();  // "Item 0", "Item 1", "Item 3", "a": the selection follows its item
  EXPECT_EQ(list_.Items()->Item(2)->Caption(), u"Item 3"_qs);
  EXPECT_EQ(list_.ItemIndex(), 2);
}

// The same bar laid along x: length, offset, drag and paging run right along it, its thickness is
// its height.
TEST(ScrollBarTest, AHorizontalBarRunsAlongX) {
  QObject owner;
  TscGPControlScrollBarOptions options;
  TscGPControlScrollBar bar(&owner, &options, Qt::Horizontal);
  bar.SetBounds(QRect(0, 0, 100, 11));
  bar.SetParams(0, 399, 100);  // a quarter of the range in view
  EXPECT_EQ(bar.ThumbRect(), QRect(0, 0, 25, 11));
  bar.SetPosition(100);  // a third of the 300 positions: a third of the 75 free pixels
  EXPECT_EQ(bar.ThumbRect(), QRect(25, 0, 25, 11));
  bar.SetParams(0, 9999, 100);  // never shorter than twice its thickness
  EXPECT_EQ(bar.ThumbRect().size(), QSize(22, 11));

  bar.SetParams(0, 399, 100);
  bar.SetPosition(100);
  ASSERT_TRUE(bar.MousePress(QPoint(30, 5)));  // on the thumb, 5 pixels into it
  EXPECT_TRUE(bar.Dragging());
  bar.MouseMove(QPoint(55, 90));  // 25 pixels right; the distance off the bar does not matter
  EXPECT_EQ(bar.Position(), 200);
  bar.MouseRelease(QPoint(55, 5));
  ASSERT_TRUE(bar.MousePress(QPoint(95, 5)));  // on the track right of the thumb
  EXPECT_TRUE(bar.Paging());
  bar.MouseRelease(QPoint(95, 5));
  EXPECT_EQ(bar.Position(), 300);  // one page toward the pointer, on release
}

// The open list casts a soft shadow to its right and below: two windows of their own beside its
// edges that follow the list, never overlap it and take no input.
TEST_F(ListBoxTest, TheOpenListCastsAShadowRightAndBelow) {
  Fill(30);
  TscPopupShadow* shadow = list_.Shadow();
  QWidget* right = shadow->RightBand();
  QWidget* bottom = shadow->BottomBand();
  EXPECT_FALSE(right->isVisible());
  ShowAt(0);
  ASSERT_TRUE(right->isVisible());
  ASSERT_TRUE(bottom->isVisible());
  constexpr int reach = TscPopupShadow::kReach;
  EXPECT_EQ(right->geometry(), QRect(20 + 221, 20, reach, 214 + reach));
  EXPECT_EQ(bottom->geometry(), QRect(20, 20 + 214, 221, reach));
  for (QWidget* band : {right, bottom}) {
    EXPECT_TRUE(band->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(band->windowFlags().testFlag(Qt::WindowTransparentForInput));
  }

  // Alphas, at points given relative to the list's top-left corner.
  auto alpha = [&](QPoint at) {
    QWidget* band = at.x() >= 221 ? right : bottom;
    const QImage pixels = band->grab().toImage();
    const QPoint in_band = at - (band->geometry().topLeft() - QPoint(20, 20));
    EXPECT_EQ(qRed(pixels.pixel(in_band)), 0) << "black";
    return qAlpha(pixels.pixel(in_band));
  };
  struct Case {
    const char* where;
    QPoint at;
    int least, most;
  } const cases[] = {
      {"just right of the list", QPoint(221, 100), 60, TscPopupShadow::kDarkest},
      {"just below the list", QPoint(110, 214), 60, TscPopupShadow::kDarkest},
      {"under the list's bottom-right corner", QPoint(222, 215), 60, TscPopupShadow::kDarkest},
      {"the far edge on the right", QPoint(221 + reach - 1, 100), 0, 10},
      {"right of the list's top corner", QPoint(221, 0), 0, 10},
      {"below the list's left corner", QPoint(0, 214), 0, 10},
  };
  for (const Case& c : cases) {
    const int a = alpha(c.at);
    EXPECT_GE(a, c.least) << c.where;
    EXPECT_LE(a, c.most) << c.where;
  }

  list_.Show(QPoint(60, 30));  // shown elsewhere: the shadow follows
  EXPECT_EQ(right->geometry().topLeft(), QPoint(60 + 221, 30));
  EXPECT_EQ(bottom->geometry().topLeft(), QPoint(60, 30 + 214));
  list_.Hide();
  EXPECT_FALSE(right->isVisible());
  EXPECT_FALSE(bottom->isVisible());
}

}  // namespace
}  // namespace orvelle
