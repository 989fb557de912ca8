#include "controls/track_bar.h"
#include "toolkit/form.h"
#include "toolkit/image_list.h"
#include "toolkit/theme.h"

#include "kit_test_support.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

namespace orvelle {
namespace {

constexpr QRgb kFormFace = qRgb(10, 20, 30);

// The main window's volume slider: 97 x 20, colour track and thumb, range 0...200.
void MakeVolumeSlider(TscCustomTrackBar& bar) {
  bar.SetBounds(10, 10, 97, 20);
  bar.SetStyleElements({});
  bar.SetMaxValue(200);
  bar.SetValue(0);
  bar.SetCanFocused(true);
  auto* track = bar.TrackOptions();
  track->SetStyleKind(TscTrackBarStyle::sctsColor);
  track->SetSize(5);
  track->SetColor(clOlive);
  track->SetProgressColor(clAqua);
  auto* thumb = bar.ThumbOptions();
  thumb->SetStyleKind(TscTrackBarStyle::sctsColor);
  thumb->SetNormalColor(clPurple);
}

class TrackBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form_.SetClientWidth(200);
    form_.SetClientHeight(60);
    form_.SetColor(Color::FromRgb(10, 20, 30));
    bar_ = new TscTrackBar();
    bar_->setParent(&form_);
    MakeVolumeSlider(*bar_);
    QObject::connect(bar_, &TscCustomTrackBar::OnChange, [this] { events_.push_back("change " + std::to_string(bar_->Value())); });
    QObject::connect(bar_, &TscCustomTrackBar::OnLastChange, [this] { events_.push_back("last"); });
    QObject::connect(bar_, &TscCustomTrackBar::OnStartDragButton, [this] { events_.push_back("start"); });
    // The focus rests on another control, as on the main window.
    focus_sink_ = new QWidget(&form_);
    focus_sink_->setGeometry(0, -2000, 10, 10);
    focus_sink_->setFocusPolicy(Qt::StrongFocus);
    form_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
    focus_sink_->setFocus();
  }
  QImage Shown() { return test::GrabAsShown(bar_); }
  // Centre of the thumb, where a press starts a drag.
  QPoint ThumbCentre() { return bar_->ComputeLayout().thumb.center(); }
  void Wheel(int delta) {
    const QPointF at(20, 10);
    QWheelEvent wheel(at, bar_->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(bar_, &wheel);
  }
  std::vector<std::string> TakeEvents() { return std::exchange(events_, {}); }

  test::ScopedTheme theme_;
  Form form_;
  TscTrackBar* bar_;
  QWidget* focus_sink_ = nullptr;
  std::vector<std::string> events_;
};

TEST_F(TrackBarTest, Defaults) {
  TscTrackBar bar;
  EXPECT_EQ(bar.MinValue(), 0);
  EXPECT_EQ(bar.MaxValue(), 100);
  EXPECT_EQ(bar.Value(), 50);
  EXPECT_FALSE(bar.Vertical());
  EXPECT_FALSE(bar.ReadOnly());
  EXPECT_TRUE(bar.MouseSupport());
  EXPECT_FALSE(bar.JumpWhenClick());
  EXPECT_TRUE(bar.CanFocused());
  EXPECT_FALSE(bar.TabStop());
  EXPECT_TRUE(bar.ShowFocusRect());
  EXPECT_TRUE(bar.TransparentBackground());
  EXPECT_EQ(bar.GetColor(), clWindow);
  EXPECT_EQ(bar.size(), QSize(100, 20));
  EXPECT_EQ(bar.CustomBackgroundImageIndex(), -1);
  const auto* track = bar.TrackOptions();
  EXPECT_EQ(track->StyleKind(), TscTrackBarStyle::sctsStyled);
  EXPECT_EQ(track->Size(), 10);
  EXPECT_EQ(track->Offset(), 5);
  EXPECT_EQ(track->GetColor(), clBtnShadow);
  EXPECT_EQ(track->ProgressColor(), clHighlight);
  EXPECT_EQ(track->FrameColor(), clNone);
  EXPECT_EQ(track->FrameWidth(), 1);
  const auto* thumb = bar.ThumbOptions();
  EXPECT_EQ(thumb->StyleKind(), TscTrackBarStyle::sctsStyled);
  EXPECT_EQ(thumb->Width() * thumb->Height(), 0);
  EXPECT_EQ(thumb->NormalColor(), clHighlight);
  EXPECT_EQ(thumb->DisabledColor(), clGray);
  EXPECT_FALSE(thumb->UseCursor());
}

TEST_F(TrackBarTest, VolumeSliderLayout) {
  struct Case {
    int value, thumb_left;
  };
  // The thumb's left edge is 7 + 75 x Value / 200, rounded half to even.
  const Case cases[] = {{0, 7}, {1, 7}, {3, 8}, {100, 45}, {4, 9} /* 1.5 */, {12, 11} /* 4.5 */, {200, 82}};
  for (const Case& c : cases) {
    bar_->SetValue(c.value);
    const auto layout = bar_->ComputeLayout();
    EXPECT_EQ(layout.track, QRect(QPoint(7, 8), QPoint(89, 12))) << c.value;
    EXPECT_EQ(layout.offset1, 11);
    EXPECT_EQ(layout.offset2, 86);
    EXPECT_EQ(layout.thumb, QRect(c.thumb_left, 2, 8, 16)) << c.value;
    EXPECT_EQ(layout.progress, QRect(7, 8, c.thumb_left + 4 - 7, 5)) << c.value;
  }
}

TEST_F(TrackBarTest, DrawsPlainRectanglesInTheThemeAccent) {
  ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
  bar_->SetValue(100);  // thumb 45..52, centre 49
  const QImage shown = Shown();
  const QRgb aqua = qRgb(0, 255, 255), olive = qRgb(0x80, 0x80, 0), purple = qRgb(0x80, 0, 0x80);
  EXPECT_EQ(shown.pixel(7, 8), aqua);
  EXPECT_EQ(shown.pixel(44, 12), aqua);
  EXPECT_EQ(shown.pixel(6, 10), kFormFace);  // the track's shortened end
  EXPECT_EQ(shown.pixel(7, 7), kFormFace);
  EXPECT_EQ(shown.pixel(7, 13), kFormFace);
  EXPECT_EQ(shown.pixel(45, 2), purple);
  EXPECT_EQ(shown.pixel(52, 17), purple);
  EXPECT_EQ(shown.pixel(45, 1), kFormFace);
  EXPECT_EQ(shown.pixel(53, 10), olive);
  EXPECT_EQ(shown.pixel(89, 12), olive);
  EXPECT_EQ(shown.pixel(90, 10), kFormFace);
  // Hot and pressed take the theme's highlight.
  QTest::mouseMove(bar_, ThumbCentre());
  EXPECT_TRUE(bar_->MouseOverThumb());
  EXPECT_EQ(Shown().pixel(48, 10), qRgb(0x35, 0xBD, 0xBB));
  bar_->setEnabled(false);
  EXPECT_EQ(Shown().pixel(48, 10), qRgb(0x80, 0x80, 0x80));
}

TEST_F(TrackBarTest, CustomBackgroundImageLiesOverTheBackgroundColour) {
  ImageList images;
  images.SetWidth(4);
  images.SetHeight(4);
  QImage red(4, 4, QImage::Format_ARGB32_Premultiplied);
  red.fill(Qt::red);
  images.Add(red);
  bar_->SetCustomImages(&images);
  bar_->SetCustomBackgroundImageIndex(0);
  EXPECT_EQ(Shown().pixel(3, 3), qRgb(255, 0, 0));
  bar_->SetColor(clWhite);
  bar_->SetTransparentBackground(false);
  EXPECT_EQ(Shown().pixel(3, 3), qRgb(255, 0, 0));  // the image, not the colour below it
  EXPECT_EQ(Shown().pixel(60, 10), qRgb(0x80, 0x80, 0));  // the track on top
  bar_->SetCustomBackgroundImageIndex(-1);
  EXPECT_EQ(Shown().pixel(3, 3), qRgb(255, 255, 255));
}

TEST_F(TrackBarTest, FocusRectangleIsDottedInTheLabelTextColour) {
  ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
  form_.activateWindow();
  bar_->setFocus();
  ASSERT_TRUE(bar_->hasFocus());
  const QImage shown = Shown();
  const QRgb white = qRgb(255, 255, 255);
  EXPECT_EQ(shown.pixel(0, 0), white);
  EXPECT_EQ(shown.pixel(1, 0), kFormFace);
  EXPECT_EQ(shown.pixel(2, 0), white);
  EXPECT_EQ(shown.pixel(0, 1), kFormFace);
  EXPECT_EQ(shown.pixel(0, 2), white);
  EXPECT_EQ(shown.pixel(1, 1), kFormFace);  // one frame at 96 dpi
  bar_->SetShowFocusRect(false);
  EXPECT_EQ(Shown().pixel(0, 0), kFormFace);
}

TEST_F(TrackBarTest, ValueSetterAndRangeSettersFollowTheirEventRules) {
  struct Step {
    const char* what;
    std::function<void(TscTrackBar&)> act;
    int value;
    std::vector<std::string> events;
  };
  const std::vector<Step> steps = {
      {"a change raises OnChange", [](auto& b) { b.SetValue(150); }, 150, {"change 150"}},
      {"the same value: nothing", [](auto& b) { b.SetValue(150); }, 150, {}},
      {"above the maximum: clamped, raised", [](auto& b) { b.SetValue(250); }, 200, {"change 200"}},
      {"again above it: no change", [](auto& b) { b.SetValue(260); }, 200, {}},
      {"lowering the maximum pulls silently", [](auto& b) { b.SetMaxValue(100); }, 100, {}},
      {"raising the minimum pulls silently", [](auto& b) { b.SetMinValue(120); }, 120, {}},
      {"minimum above maximum: above takes the maximum", [](auto& b) { b.SetValue(110); }, 100, {"change 100"}},
      {"and below both takes the minimum", [](auto& b) { b.SetValue(90); }, 120, {"change 120"}},
  };
  for (const Step& step : steps) {
    step.act(*bar_);
    EXPECT_EQ(bar_->Value(), step.value) << step.what;
    EXPECT_EQ(TakeEvents(), step.events) << step.what;
  }
}

TEST_F(TrackBarTest, HiddenSliderStillRaisesOnChange) {
  bar_->hide();
  bar_->SetValue(40);
  EXPECT_EQ(TakeEvents(), std::vector<std::string>{"change 40"});
}

TEST_F(TrackBarTest, EqualRangePutsTheThumbAtTheStart) {
  bar_->SetValue(100);
  bar_->SetMinValue(200);
  EXPECT_EQ(bar_->ComputeLayout().thumb.left(), 7);
}

TEST_F(TrackBarTest, ValueFromOffsetRoundsHalvesToEvenAndStaysInRange) {
  // Travel 75 pixels for 200 values.
  const std::pair<int, int> cases[] = {{0, 0}, {-10, 0}, {75, 200}, {90, 200}, {3, 8} /* 8.0 */, {30, 80}, {1, 3} /* 2.67 */};
  for (auto [d, value] : cases) EXPECT_EQ(bar_->ValueFromOffset(d), value) << d;
  TscTrackBar odd;  // 100 x 20: travel 78 for 39 values, so every odd offset lands on a half
  odd.TrackOptions()->SetStyleKind(TscTrackBarStyle::sctsColor);
  odd.ThumbOptions()->SetStyleKind(TscTrackBarStyle::sctsColor);
  odd.SetMaxValue(39);
  EXPECT_EQ(odd.ValueFromOffset(1), 0);
  EXPECT_EQ(odd.ValueFromOffset(3), 2);
  EXPECT_EQ(odd.ValueFromOffset(5), 2);
}

TEST_F(TrackBarTest, DraggingRaisesOnChangePerMoveAndOnLastChangeAtTheEnd) {
  const QPoint start = ThumbCentre();  // value 0
  QTest::mousePress(bar_, Qt::LeftButton, {}, start);
  EXPECT_TRUE(bar_->Dragging());
  EXPECT_TRUE(bar_->hasFocus());
  QTest::mouseMove(bar_, start + QPoint(30, 3));   // d 30 -> 80
  QTest::mouseMove(bar_, start + QPoint(30, -5));  // the same value
  QTest::mouseMove(bar_, start + QPoint(300, 0));  // beyond the end
  QTest::mouseMove(bar_, start + QPoint(-300, 0));
  QTest::mouseRelease(bar_, Qt::LeftButton, {}, start + QPoint(-300, 0));
  EXPECT_FALSE(bar_->Dragging());
  EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"start", "change 80", "change 200", "change 0", "last"}));
}

TEST_F(TrackBarTest, RightButtonDragsTooButOnlyTheLeftFocuses) {
  ASSERT_TRUE(focus_sink_->hasFocus());
  QTest::mousePress(bar_, Qt::RightButton, {}, ThumbCentre());
  EXPECT_TRUE(bar_->Dragging());
  QTest::mouseMove(bar_, ThumbCentre() + QPoint(3, 0));
  QTest::mouseRelease(bar_, Qt::RightButton, {}, ThumbCentre());
  EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"start", "change 8", "last"}));
  EXPECT_FALSE(bar_->hasFocus());
}

// Qt's click focus would answer every mouse button; the track bar takes the focus itself on a
// left press, however its tab stop came about (also TabStop written by the program).
TEST_F(TrackBarTest, OnlyALeftPressFocusesWhateverWroteTheTabStop) {
  form_.activateWindow();
  const struct {
    const char* what;
    std::function<void()> setUp;
    bool leftFocuses;
  } cases[] = {
      {"as set up", [] {}, true},
      {"TabStop written", [this] { bar_->SetTabStop(true); }, true},
      {"TabStop off and on", [this] { bar_->SetTabStop(false); bar_->SetTabStop(true); }, true},
      {"TabStop written without CanFocused", [this] { bar_->SetCanFocused(false); bar_->SetTabStop(true); }, false},
  };
  for (const auto& c : cases) {
    c.setUp();
    focus_sink_->setFocus();
    for (const Qt::MouseButton other : {Qt::RightButton, Qt::MiddleButton}) {
      QTest::mouseClick(bar_, other, {}, QPoint(60, 10));  // on the track, away from the thumb
      EXPECT_FALSE(bar_->hasFocus()) << c.what << " " << other;
    }
    QTest::mouseClick(bar_, Qt::LeftButton, {}, QPoint(60, 10));
    EXPECT_EQ(bar_->hasFocus(), c.leftFocuses) << c.what;
  }
}

TEST_F(TrackBarTest, WithoutCanFocusedAPressNeverTakesTheFocus) {
  form_.activateWindow();
  ASSERT_TRUE(focus_sink_->hasFocus());
  bar_->SetCanFocused(false);
  EXPECT_FALSE(bar_->TabStop());
  QTest::mousePress(bar_, Qt::LeftButton, {}, ThumbCentre());
  EXPECT_TRUE(bar_->Dragging());  // the drag works all the same
  QTest::mouseRelease(bar_, Qt::LeftButton, {}, ThumbCentre());
  EXPECT_FALSE(bar_->hasFocus());
  EXPECT_TRUE(focus_sink_->hasFocus());
  bar_->SetCanFocused(true);
  QTest::mouseClick(bar_, Qt::LeftButton, {}, ThumbCentre());
  EXPECT_TRUE(bar_->hasFocus());
}

TEST_F(TrackBarTest, ClickOnTheTrackJumpsOnlyWithJumpWhenClick) {
  QTest::mouseClick(bar_, Qt::LeftButton, {}, QPoint(60, 10));
  EXPECT_EQ(bar_->Value(), 0);
  EXPECT_EQ(TakeEvents(), std::vector<std::string>{});
  bar_->SetJumpWhenClick(true);
  QTest::mouseClick(bar_, Qt::LeftButton, {}, QPoint(60, 10));  // d = 60 - 4 - 2 = 54 -> 144
  EXPECT_EQ(TakeEvents(), std::vector<std::string>{"change 144"});
}

TEST_F(TrackBarTest, KeysAndWheelStepOnceAndAlwaysEndWithOnLastChange) {
  form_.activateWindow();
  bar_->setFocus();
  bar_->SetValue(199);
  TakeEvents();
  QTest::keyClick(bar_, Qt::Key_Right);
  QTest::keyClick(bar_, Qt::Key_Up);  // at the maximum: no change
  QTest::keyClick(bar_, Qt::Key_Left);
  QTest::keyClick(bar_, Qt::Key_Down);
  EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"change 200", "last", "last", "change 199", "last", "change 198", "last"}));
  Wheel(-120);  // toward the listener: up on a horizontal slider
  Wheel(-480);  // a large delta is still one step
  Wheel(120);
  EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"change 199", "last", "change 200", "last", "change 199", "last"}));
  bar_->SetVertical(true);
  bar_->resize(20, 97);
  Wheel(-120);
  EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"change 198", "last"}));
}

// Page Up and Page Down move by a page of 10, clamped at the ends; Home and End go to the ends.
TEST_F(TrackBarTest, PageKeysMoveByTenAndHomeAndEndGoToTheEnds) {
  form_.activateWindow();
  bar_->setFocus();
  bar_->SetValue(195);
  TakeEvents();
  QTest::keyClick(bar_, Qt::Key_PageDown);
  QTest::keyClick(bar_, Qt::Key_PageUp);
  QTest::keyClick(bar_, Qt::Key_PageUp);  // 5 short of the maximum: stops there
  QTest::keyClick(bar_, Qt::Key_Home);
  QTest::keyClick(bar_, Qt::Key_Home);  // already there: no change, still the last change
  QTest::keyClick(bar_, Qt::Key_End);
  EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"change 185", "last", "change 195", "last", "change 200", "last",
                                                    "change 0", "last", "last", "change 200", "last"}));
}

// OnKeyDown, OnKeyPress and OnKeyUp come before the slider's own key handling: a handler sees
// each key, may swallow it (key 0) or turn it into another key that the slider then steps by.
TEST_F(TrackBarTest, KeyEventsComeFirstAndMaySwallowOrChangeTheKey) {
  form_.activateWindow();
  bar_->setFocus();
  bar_->SetValue(100);
  TakeEvents();
  std::vector<std::string> keys;
  int replace_with = -1;  // what OnKeyDown turns the key into; -1 leaves it
  QObject::connect(bar_, &TscCustomControl::OnKeyDown, [&](QObject* sender, int* key, Qt::KeyboardModifiers) {
    EXPECT_EQ(sender, bar_);
    keys.push_back("down " + std::to_string(*key));
    if (replace_with >= 0) *key = replace_with;
  });
  QObject::connect(bar_, &TscCustomControl::OnKeyPress, [&](QObject*, QChar* key) {
    keys.push_back("press " + QString(*key).toStdString());
  });
  QObject::connect(bar_, &TscCustomControl::OnKeyUp, [&](QObject*, int* key, Qt::KeyboardModifiers) {
    keys.push_back("up " + std::to_string(*key));
  });

  QTest::keyClick(bar_, Qt::Key_Right);
  QTest::keyClick(bar_, Qt::Key_A);
  EXPECT_EQ(keys, (std::vector<std::string>{"down " + std::to_string(Qt::Key_Right), "up " + std::to_string(Qt::Key_Right),
                                            "down " + std::to_string(Qt::Key_A), "press a", "up " + std::to_string(Qt::Key_A)}));
  EXPECT_EQ(bar_->Value(), 101);

  replace_with = 0;  // swallowed: no step
  QTest::keyClick(bar_, Qt::Key_Right);
  EXPECT_EQ(bar_->Value(), 101);
  replace_with = Qt::Key_Left;  // changed: the slider steps the other way
  QTest::keyClick(bar_, Qt::Key_Right);
  EXPECT_EQ(bar_->Value(), 100);
}

TEST_F(TrackBarTest, StepsStopAtTheEndsOfTheIntegerRange) {
  // A step beyond the largest or smallest integer stays at the end of the range instead of
  // wrapping round to the other end.
  struct Case {
    int minimum, maximum, value;
    Qt::Key key;
  };
  const Case cases[] = {{0, INT_MAX, INT_MAX, Qt::Key_Right},
                        {INT_MIN, 0, INT_MIN, Qt::Key_Left},
                        {INT_MIN, INT_MAX, INT_MAX, Qt::Key_Up},
                        {INT_MIN, INT_MAX, INT_MIN, Qt::Key_Down}};
  form_.activateWindow();
  bar_->setFocus();
  for (const Case& c : cases) {
    bar_->SetMinValue(INT_MIN);
    bar_->SetMaxValue(c.maximum);
    bar_->SetMinValue(c.minimum);
    bar_->SetValue(c.value);
    TakeEvents();
    QTest::keyClick(bar_, c.key);
    EXPECT_EQ(bar_->Value(), c.value) << c.minimum << ".." << c.maximum;
    EXPECT_EQ(TakeEvents(), std::vector<std::string>{"last"}) << c.minimum << ".." << c.maximum;
  }
  bar_->SetValue(INT_MAX);
  TakeEvents();
  Wheel(-120);  // toward the listener: up
  EXPECT_EQ(bar_->Value(), INT_MAX);
  EXPECT_EQ(TakeEvents(), std::vector<std::string>{"last"});
}

TEST_F(TrackBarTest, ReadOnlyIgnoresPointerKeysAndWheel) {
  bar_->SetReadOnly(true);
  form_.activateWindow();
  bar_->setFocus();
  QTest::mousePress(bar_, Qt::LeftButton, {}, ThumbCentre());
  EXPECT_FALSE(bar_->Dragging());
  QTest::keyClick(bar_, Qt::Key_Right);
  Wheel(-120);
  EXPECT_EQ(bar_->Value(), 0);
  EXPECT_EQ(TakeEvents(), std::vector<std::string>{});
}

TEST_F(TrackBarTest, VerticalSliderGrowsUpward) {
  TscTrackBar bar;
  bar.SetVertical(true);
  bar.resize(20, 97);
  bar.TrackOptions()->SetStyleKind(TscTrackBarStyle::sctsColor);
  bar.TrackOptions()->SetSize(5);
  bar.ThumbOptions()->SetStyleKind(TscTrackBarStyle::sctsColor);
  bar.SetMaxValue(200);
  bar.SetValue(0);
  auto layout = bar.ComputeLayout();
  EXPECT_EQ(layout.track, QRect(8, 7, 5, 83));
  EXPECT_EQ(layout.thumb, QRect(2, 82, 16, 8));  // at the bottom
  EXPECT_EQ(layout.progress, QRect(8, 86, 5, 4));  // from the track's bottom end to the thumb's centre
  bar.SetValue(200);
  layout = bar.ComputeLayout();
  EXPECT_EQ(layout.thumb, QRect(2, 7, 16, 8));
  EXPECT_EQ(layout.progress, QRect(8, 11, 5, 79));  // from the thumb's centre down
}

TEST_F(TrackBarTest, ThumbTakesTheOptionsSizeWhenItsAreaIsAtLeastOne) {
  struct Case {
    int width, height;
    QSize thumb;
  };
  const Case cases[] = {
      {0, 0, QSize(8, 16)},          // automatic: half the inner height wide
      {10, 0, QSize(8, 16)},         // no area: automatic
      {10, 12, QSize(10, 12)},
      {65536, 65536, QSize(65536, 65536)},  // an area beyond the integers is still at least one
  };
  for (const Case& c : cases) {
    bar_->ThumbOptions()->SetWidth(c.width);
    bar_->ThumbOptions()->SetHeight(c.height);
    EXPECT_EQ(bar_->ComputeLayout().thumb.size(), c.thumb) << c.width << " x " << c.height;
  }
}

TEST_F(TrackBarTest, OffsetsLongerThanTheTrackLeaveNoTrack) {
  // Shortened by more than its length at each end, the track is gone: neither it nor its
  // progress part is drawn turned round between its crossed ends.
  bar_->SetValue(100);
  for (const int offset : {60, INT_MAX}) {
    bar_->TrackOptions()->SetOffset(offset);
    const auto layout = bar_->ComputeLayout();
    EXPECT_TRUE(layout.track.isEmpty()) << offset;
    EXPECT_TRUE(layout.progress.isEmpty()) << offset;
    const QImage shown = Shown();
    for (int x = 0; x < 97; ++x) {
      const QRgb p = shown.pixel(x, 10);
      EXPECT_TRUE(p == kFormFace || p == qRgb(0x80, 0, 0x80)) << offset << " at " << x << ": " << std::hex << p;
    }
  }
}

TEST_F(TrackBarTest, FrameNarrowsAColourThumb) {
  bar_->TrackOptions()->SetFrameColor(clWhite);
  bar_->TrackOptions()->SetFrameWidth(2);
  EXPECT_EQ(bar_->ComputeLayout().thumb, QRect(9, 2, 4, 16));
  // Narrowed past its width, the thumb is gone rather than drawn turned round.
  for (const int width : {5, INT_MAX}) {
    bar_->TrackOptions()->SetFrameWidth(width);
    EXPECT_TRUE(bar_->ComputeLayout().thumb.isEmpty()) << width;
    const QImage shown = Shown();
    for (int x = 0; x < 20; ++x) EXPECT_NE(shown.pixel(x, 10), qRgb(0x80, 0, 0x80)) << width << " at " << x;
  }
}

TEST_F(TrackBarTest, ScalingScalesTrackSizeAndThumbSize) {
  bar_->ThumbOptions()->SetWidth(10);
  bar_->ThumbOptions()->SetHeight(15);
  bar_->ChangeScale(144, 96);
  EXPECT_EQ(bar_->TrackOptions()->Size(), 8);  // 7.5: halves round to even
  EXPECT_EQ(bar_->ThumbOptions()->Width(), 15);
  EXPECT_EQ(bar_->ThumbOptions()->Height(), 22);  // 22.5
}

TEST_F(TrackBarTest, ReportsValueAndRangeToAssistiveTechnology) {
  bar_->SetValue(120);
  bar_->SetAccessibleName(QStringLiteral("Volume"));
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(bar_);
  ASSERT_NE(accessible, nullptr);
  EXPECT_EQ(accessible->role(), QAccessible::Slider);
  EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Volume"));
  QAccessibleValueInterface* value = accessible->valueInterface();
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->currentValue().toDouble(), 120);
  EXPECT_EQ(value->minimumValue().toDouble(), 0);
  EXPECT_EQ(value->maximumValue().toDouble(), 200);
}

TEST(TrackBarLayout, LoadsEveryPublishedOption) {
  Form form;
  form.Load(QStringLiteral(ORVELLE_CONTROL_LAYOUTS "/track_bar.json"));
  auto* slider = form.Component<TscTrackBar>(QStringLiteral("sctrckbr1"));
  EXPECT_EQ(slider->MaxValue(), 200);
  EXPECT_EQ(slider->Value(), 100);
  EXPECT_TRUE(slider->TabStop());
  // A tab stop, but no click focus from Qt: only the control's own left press takes the focus.
  EXPECT_EQ(slider->focusPolicy(), Qt::TabFocus);
  EXPECT_EQ(slider->GetColor(), clCream);
  EXPECT_EQ(slider->TrackOptions()->ProgressColor(), clAqua);
  EXPECT_EQ(slider->ThumbOptions()->NormalColor(), clPurple);
  EXPECT_EQ(slider->ThumbOptions()->Cursor(), TscTrackBarThumbOptions::crHandPoint);
  EXPECT_NE(slider->CustomImages(), nullptr);
  EXPECT_EQ(slider->ComputeLayout().thumb, QRect(45, 2, 8, 16));
  auto* upright = form.Component<TscTrackBar>(QStringLiteral("upright"));
  EXPECT_TRUE(upright->Vertical());
  EXPECT_EQ(form.Component<TscTrackBar>(QStringLiteral("framed"))->ThumbOptions()->Width(), 10);
}

}  // namespace
}  // namespace orvelle
