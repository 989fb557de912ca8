// The program's windows under a real window manager (openbox on the test's own X server, started by
// tests/support/run-with-xvfb): the notice window belongs to the main window and leaves it the
// active one after the notice button, and both windows carry the program's icon for panels and
// window switchers. The button is clicked with the real pointer (the X Test extension), so the
// window manager sees the click as it sees a listener's.

#include "../controls/real_pointer.h"
#include "app_test_support.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace orvelle::test {
namespace {

testing::Environment* const demo_service = testing::AddGlobalTestEnvironment(new DemoServiceEnvironment);

constexpr int kWaitMs = 5000;

// A window property of the X server as xprop prints it.
QString XProperty(const QStringList& where, const char* property) {
  QProcess xprop;
  xprop.start("xprop", where + QStringList{QString::fromLatin1(property)});
  if (!xprop.waitForFinished(kWaitMs)) return {};
  return QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
}

// The window id xprop prints first in a property's value ("... window id # 0x1a00007").
quint64 WindowIdIn(const QString& printed) {
  const QRegularExpressionMatch match = QRegularExpression("0x[0-9a-f]+").match(printed);
  return match.hasMatch() ? match.captured().toULongLong(nullptr, 16) : 0;
}

quint64 ActiveWindow() { return WindowIdIn(XProperty({"-root"}, "_NET_ACTIVE_WINDOW")); }

class WindowManagerTest : public OrvelleTest {
 protected:
  void SetUp() override {
    if (QGuiApplication::platformName() != u"xcb") {
      GTEST_SKIP() << "needs a real X server; CTest runs this program through tests/support/run-with-xvfb";
    }
    if (QStandardPaths::findExecutable("openbox").isEmpty()) GTEST_SKIP() << "no openbox (scripts/setup installs it)";
    if (!pointer.Available()) GTEST_SKIP() << "the X server has no X Test extension for real pointer input";
    OrvelleTest::SetUp();
    window_manager.start("openbox", {"--sm-disable"});
    ASSERT_TRUE(window_manager.waitForStarted(kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([] { return XProperty({"-root"}, "_NET_SUPPORTING_WM_CHECK").contains("window id"); },
                                kWaitMs))
        << "openbox did not take the screen";
  }
  void TearDown() override {
    OrvelleTest::TearDown();
    if (window_manager.state() != QProcess::NotRunning) {
      window_manager.terminate();
      window_manager.waitForFinished(kWaitMs);
    }
  }

  // A real click in the middle of the control.
  void RealClick(QWidget* control) {
    pointer.MoveTo(control->mapToGlobal(control->rect().center()));
    QTest::qWait(50);
    pointer.Press();
    QTest::qWait(20);
    pointer.Release();
  }

  RealPointer pointer;
  QProcess window_manager;
};

TEST_F(WindowManagerTest, AfterTheNoticeButtonTheMainWindowIsActiveAndTheNoticeBelongsToIt) {
  ASSERT_NO_FATAL_FAILURE(Start(kOneSongChannel));
  ASSERT_TRUE(QTest::qWaitForWindowActive(main_window));
  const quint64 main_id = main_window->winId();
  for (int round = 1; round <= 3; ++round) {
    SCOPED_TRACE(round);
    RealClick(main_window->noticeButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return notice_window->isVisible(); }, kWaitMs));
    QTest::qWait(500);  // what the window manager does once it has mapped the notice
    EXPECT_EQ(ActiveWindow(), main_id) << "the notice window took the activation";
    EXPECT_EQ(QGuiApplication::focusWindow(), main_window->windowHandle());
    EXPECT_EQ(WindowIdIn(XProperty({"-id", QString::number(notice_window->winId())}, "WM_TRANSIENT_FOR")), main_id)
        << "the notice window is not transient for the main window";

    RealClick(main_window->noticeButton);  // while shown: to the front again, no second window
    QTest::qWait(300);
    EXPECT_EQ(ActiveWindow(), main_id);
    EXPECT_TRUE(notice_window->isVisible());
    notice_window->SetVisible(false);
    QTest::qWait(200);
  }
}

// _NET_WM_ICON holds the icon in several sizes, each as its width, height and pixels.
TEST_F(WindowManagerTest, BothWindowsCarryTheProgramsIcon) {
  ASSERT_NO_FATAL_FAILURE(Start(kOneSongChannel));
  Click(main_window->noticeButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return notice_window->isVisible(); }, kWaitMs));
  for (QWidget* window : {static_cast<QWidget*>(main_window), static_cast<QWidget*>(notice_window)}) {
    const QString icon = XProperty({"-id", QString::number(window->winId())}, "_NET_WM_ICON");
    EXPECT_TRUE(icon.contains("Icon (16 x 16)")) << window->objectName().toStdString() << ": " << icon.left(200).toStdString();
    EXPECT_TRUE(icon.contains("Icon (48 x 48)")) << window->objectName().toStdString();
  }
  const QImage icon = ProgramIcon().pixmap(48, 48).toImage();
  ASSERT_FALSE(icon.isNull());
  EXPECT_GT(qAlpha(icon.pixel(24, 24)), 0) << "the icon is drawn";
}

}  // namespace
}  // namespace orvelle::test
