// One message box at a time: every box of the program runs a nested event loop, and a box asked
// for inside it is logged instead of shown.
#include "service/error.h"
#include "toolkit/application.h"
#include "toolkit/message_box.h"

#include "../support/log_capture.h"
#include "../support/modal_watcher.h"

#include <QTimer>
#include <QApplication>
#include <gtest/gtest.h>

#include <functional>

namespace orvelle {
namespace {

// Closes a box once `done` is set, or at once when it is not the box `text` (a nested box that
// the rule should have kept away fails the test instead of waiting for ever).
std::function<bool()> CloseWhenDoneOrNotThe(const bool& done, const QString& text) {
  return [&done, text] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    return done || (box && box->text() != text);
  };
}

TEST(MessageBoxRule, ABoxAskedForInsideAnOpenOneIsLoggedNotShownAndTheCallerGoesOn) {
  test::LogCapture log;
  bool inside_done = false;
  // The outer box stays open until the nested requests have returned.
  test::ModalWatcher watcher(CloseWhenDoneOrNotThe(inside_done, QStringLiteral("outer")));
  QMessageBox::StandardButton answer = QMessageBox::NoButton;
  bool done = false;
  QTimer::singleShot(20, [&] {
    answer = MessageBox(nullptr, QMessageBox::Warning, QString(), QStringLiteral("inner"),
                        QMessageBox::Ok | QMessageBox::Cancel);
    ShowMessage(QStringLiteral("inner too"));
    inside_done = true;
  });
  ShowMessage(QStringLiteral("outer"));
  done = true;

  EXPECT_TRUE(done);
  EXPECT_TRUE(inside_done);
  EXPECT_EQ(answer, QMessageBox::Ok);
  ASSERT_EQ(watcher.Seen().size(), 1);
  EXPECT_EQ(watcher.Seen()[0].text, "outer");
  EXPECT_EQ(log.Matching(QStringLiteral("orvelle.ui warning"), QStringLiteral("shown: outer")).size(), 1);
  EXPECT_EQ(log.Matching(QStringLiteral("orvelle.ui warning"), QStringLiteral("not shown"),
                         QStringLiteral("inner"))
                .size(),
            2);
  EXPECT_FALSE(MessageBoxOpen());
}

TEST(MessageBoxRule, BoxesOneAfterAnotherAreAllShown) {
  test::LogCapture log;
  test::ModalWatcher watcher;
  ShowMessage(QStringLiteral("first"));
  Application::ShowErrorBox(QStringLiteral("second"));
  EXPECT_EQ(MessageBox(nullptr, QMessageBox::Critical, QString(), QStringLiteral("third"), QMessageBox::Close),
            QMessageBox::Close);
  ASSERT_EQ(watcher.Seen().size(), 3);
  EXPECT_EQ(watcher.Seen()[0].text, "first");
  EXPECT_EQ(watcher.Seen()[1].text, "second.");
  EXPECT_EQ(watcher.Seen()[2].text, "third");
  EXPECT_EQ(log.Matching(QStringLiteral("orvelle.ui warning"), QStringLiteral("shown:")).size(), 3);
  EXPECT_TRUE(log.Matching(QStringLiteral("not shown")).isEmpty());
}

TEST(MessageBoxRule, TheDefaultErrorBoxOfAHandlerFailingInsideAnOpenBoxDoesNotNest) {
  test::LogCapture log;
  bool handler_returned = false;
  test::ModalWatcher watcher(CloseWhenDoneOrNotThe(handler_returned, QStringLiteral("连接失败！")));
  QTimer::singleShot(20, [&] {
    // A countdown tick inside the box whose load fails: the guard's default error box.
    Application::RunGuarded([] { throw Error(QStringLiteral("Picture too large")); });
    handler_returned = true;
  });
  ShowMessage(QStringLiteral("连接失败！"));

  EXPECT_TRUE(handler_returned);
  ASSERT_EQ(watcher.Seen().size(), 1);
  EXPECT_EQ(watcher.Seen()[0].text, QStringLiteral("连接失败！"));
  EXPECT_EQ(log.Matching(QStringLiteral("not shown"), QStringLiteral("Picture too large.")).size(), 1);

  // Once the box is closed, the next failure is shown again.
  Application::RunGuarded([] { throw Error(QStringLiteral("Read timed out")); });
  ASSERT_EQ(watcher.Seen().size(), 2);
  EXPECT_EQ(watcher.Seen()[1].text, "Read timed out.");
}

}  // namespace
}  // namespace orvelle
