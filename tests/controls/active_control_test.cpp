#include "controls/panel.h"
#include "toolkit/form.h"

#include "kit_test_support.h"

#include "kit_probes.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QTest>
#include <gtest/gtest.h>

namespace orvelle {
namespace {

// Swallows the leave notifications of a widget, as when the window system does not report them.
class DropLeave : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Leave; }
};

class ActiveControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form_.SetClientWidth(200);
    form_.SetClientHeight(100);
    form_.move(0, 0);
    hot_ = new test::HotControl(&form_);
    hot_->SetBounds(10, 10, 50, 30);
    other_.SetClientWidth(100);
    other_.SetClientHeight(100);
    other_.move(400, 0);
    form_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
    other_.show();
  }

  void Enter() {
    const QPointF local(5, 5);
    QEnterEvent enter(local, local, hot_->mapToGlobal(local));
    QApplication::sendEvent(hot_, &enter);
  }

  // Waits for a condition while the event loop runs; gives up after a generous time.
  template <class F>
  bool WaitFor(F condition) {
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return condition();
  }

  Form form_;
  Form other_;
  test::HotControl* hot_;
};

TEST_F(ActiveControlTest, EnterMakesHotAndLeaveEndsIt) {
  EXPECT_EQ(hot_->GetCtrlState(), scsNormal);
  EXPECT_EQ(hot_->MouseTimer(), nullptr);
  Enter();
  EXPECT_EQ(hot_->GetCtrlState(), scsHot);
  EXPECT_EQ(hot_->enters, 1);
  ASSERT_NE(hot_->MouseTimer(), nullptr);
  EXPECT_EQ(hot_->MouseTimer()->interval(), 100);
  EXPECT_TRUE(hot_->MouseTimer()->isActive());
  EXPECT_EQ(QColor(hot_->grab().toImage().pixel(5, 5)), QColor(0, 255, 0));

  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(hot_, &leave);
  EXPECT_EQ(hot_->GetCtrlState(), scsNormal);
  EXPECT_EQ(hot_->leaves, 1);
  EXPECT_EQ(hot_->MouseTimer(), nullptr);
  EXPECT_EQ(QColor(hot_->grab().toImage().pixel(5, 5)), QColor(0, 0, 255));
}

TEST_F(ActiveControlTest, MovesInsideAndOutsideTrackTheHotState) {
  auto move = [&](QPointF p) {
    QMouseEvent event(QEvent::MouseMove, p, hot_->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(hot_, &event);
  };
  move(QPointF(50, 30));  // the bounds test includes the right and bottom edges
  EXPECT_TRUE(hot_->MouseIn());
  EXPECT_EQ(hot_->enters, 1);
  move(QPointF(20, 20));  // already hot: no second enter
  EXPECT_EQ(hot_->enters, 1);
  move(QPointF(51, 10));
  EXPECT_FALSE(hot_->MouseIn());
  EXPECT_EQ(hot_->leaves, 1);
}

TEST_F(ActiveControlTest, ThePollEndsAHotStateWhoseLeaveWasNotReported) {
  DropLeave drop;
  hot_->installEventFilter(&drop);
  QCursor::setPos(hot_->mapToGlobal(QPoint(5, 5)));
  Enter();
  ASSERT_TRUE(hot_->MouseIn());
  // The pointer jumps onto another window; no leave reaches the control.
  QCursor::setPos(other_.mapToGlobal(QPoint(50, 50)));
  ASSERT_TRUE(hot_->MouseTimer());
  EXPECT_EQ(hot_->MouseTimer()->interval(), TscCustomActiveControl::kMouseTimerInterval);
  EXPECT_TRUE(WaitFor([&] { return !hot_->MouseIn(); }));
  EXPECT_EQ(hot_->GetCtrlState(), scsNormal);
  EXPECT_EQ(hot_->MouseTimer(), nullptr);
  EXPECT_EQ(hot_->leaves, 1);
  hot_->removeEventFilter(&drop);
}

TEST_F(ActiveControlTest, ThePollKeepsTheHotStateWhileThePointerStaysOver) {
  QCursor::setPos(hot_->mapToGlobal(QPoint(5, 5)));
  Enter();
  // Let several polls run with the pointer still over the control.
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 350) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  EXPECT_TRUE(hot_->MouseIn());
  EXPECT_EQ(hot_->leaves, 0);
  QCursor::setPos(QPoint(700, 700));
}

TEST_F(ActiveControlTest, ThePollRestsWhileThePointerStandsStillAndRunsAgainAtAMove) {
  QCursor::setPos(hot_->mapToGlobal(QPoint(5, 5)));
  Enter();
  ASSERT_TRUE(hot_->MouseTimer() && hot_->MouseTimer()->isActive());
  EXPECT_TRUE(WaitFor([&] { return !hot_->MouseTimer()->isActive(); }));
  EXPECT_TRUE(hot_->MouseIn());  // resting keeps the hot look

  // A move over the control wakes the poll, which then sees the pointer gone without a leave.
  DropLeave drop;
  hot_->installEventFilter(&drop);
  const QPointF inside(8, 8);
  QMouseEvent move(QEvent::MouseMove, inside, hot_->mapToGlobal(inside), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(hot_, &move);
  EXPECT_TRUE(hot_->MouseTimer()->isActive());
  QCursor::setPos(other_.mapToGlobal(QPoint(50, 50)));
  EXPECT_TRUE(WaitFor([&] { return !hot_->MouseIn(); }));
  hot_->removeEventFilter(&drop);
}

TEST_F(ActiveControlTest, ADisabledControlReportsDisabledUnderThePointer) {
  hot_->SetEnabled(false);
  QCursor::setPos(hot_->mapToGlobal(QPoint(5, 5)));
  Enter();
  EXPECT_EQ(hot_->GetCtrlState(), scsDisabled);
  hot_->SetEnabled(true);
  Enter();
  EXPECT_EQ(hot_->GetCtrlState(), scsHot);
  QCursor::setPos(QPoint(700, 700));
}

TEST_F(ActiveControlTest, AnimatedStateChangesEndInTheNewStatesFace) {
  hot_->SetAnimation(true);
  Enter();
  EXPECT_TRUE(WaitFor([&] { return QColor(hot_->grab().toImage().pixel(5, 5)) == QColor(0, 255, 0); }));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(hot_, &leave);
  EXPECT_TRUE(WaitFor([&] { return QColor(hot_->grab().toImage().pixel(5, 5)) == QColor(0, 0, 255); }));
}

// An opaque control, blue when normal and green when hot, on a pure red panel.
class FadeTest : public ActiveControlTest {
 protected:
  void SetUp() override {
    ActiveControlTest::SetUp();
    red_ = new TscPanel(&form_);
    red_->SetBounds(0, 0, 200, 100);
    red_->SetColor(clRed);
    red_->show();
    hot_->setParent(red_);
    hot_->SetBounds(10, 10, 50, 30);
    hot_->show();
    hot_->SetAnimation(true);
    QCoreApplication::processEvents();
  }
  QColor Shown() { return QColor(test::GrabAsShown(hot_).pixel(5, 5)); }

  TscPanel* red_;
};

TEST_F(FadeTest, AMidFadePixelIsTheLinearBlendOfTheTwoFaces) {
  const QColor blue(0, 0, 255), green(0, 255, 0);
  ASSERT_EQ(Shown(), blue);
  QCursor::setPos(hot_->mapToGlobal(QPoint(5, 5)));  // so that the poll keeps the hot state
  Enter();
  // Every frame of the fade is (1 - t) x blue + t x green: no red of the panel shows through.
  bool seen_mid_fade = false;
  QElapsedTimer clock;
  clock.start();
  QColor shown = Shown();
  while (shown != green && clock.elapsed() < 5000) {
    EXPECT_LE(shown.red(), 1) << "parent shows through at t = " << shown.green() / 255.0;
    EXPECT_NEAR(shown.green() + shown.blue(), 255, 2);
    seen_mid_fade = seen_mid_fade || (shown.green() > 5 && shown.green() < 250);
    QTest::qWait(4);
    shown = Shown();
  }
  EXPECT_EQ(shown, green);
  EXPECT_TRUE(seen_mid_fade);
  QCursor::setPos(QPoint(700, 700));
}

TEST_F(FadeTest, AMoveDuringAFadeShowsTheNewFaceAtTheNextPaint) {
  Enter();
  hot_->SetBounds(20, 10, 50, 30);
  EXPECT_EQ(Shown(), QColor(0, 255, 0));
  QTest::qWait(30);
  EXPECT_EQ(Shown(), QColor(0, 255, 0));
}

TEST(CrossFade, BlendsPremultipliedPixelsLinearly) {
  QImage from(1, 1, QImage::Format_ARGB32_Premultiplied), to(1, 1, QImage::Format_ARGB32_Premultiplied);
  from.setPixel(0, 0, qRgba(0, 0, 255, 255));
  to.setPixel(0, 0, qRgba(0, 100, 0, 100));  // half-transparent, premultiplied
  const struct {
    double t;
    QRgb expected;
  } cases[] = {{0.0, qRgba(0, 0, 255, 255)}, {0.5, qRgba(0, 50, 128, 178)}, {1.0, qRgba(0, 100, 0, 100)},
               {1.5, qRgba(0, 100, 0, 100)}};
  for (const auto& c : cases) EXPECT_EQ(CrossFade(from, to, c.t).pixel(0, 0), c.expected) << c.t;
}

}  // namespace
}  // namespace orvelle
