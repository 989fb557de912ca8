// The program's message boxes: shown without waiting, modal to their own window, one at a time
// (a box asked for while one is open is logged instead of shown).
#include "service/error.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/message_box.h"

#include "../support/log_capture.h"
#include "../support/modal_watcher.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace orvelle {
namespace {

QMessageBox* OpenBox() { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }

void CloseOpenBox() {
  ASSERT_TRUE(QTest::qWaitFor([] { return OpenBox() != nullptr; }, 5000));
  OpenBox()->buttons().first()->click();
  ASSERT_FALSE(MessageBoxOpen());
}

TEST(MessageBoxRule, ABoxReturnsAtOnceAndOneAskedForWhileItIsOpenIsLoggedNotShown) {
  test::LogCapture log;
  ShowMessage(QStringLiteral("outer"));
  EXPECT_TRUE(MessageBoxOpen()) << "the box stays open after the call returned";
  MessageBox(nullptr, QMessageBox::Warning, QString(), QStringLiteral("inner"), QMessageBox::Ok | QMessageBox::Cancel);
  Application::RunGuarded([] { throw Error(QStringLiteral("Picture too large")); });

  test::ModalWatcher watcher;
  ASSERT_TRUE(QTest::qWaitFor([] { return !MessageBoxOpen(); }, 5000));
  ASSERT_EQ(watcher.Seen().size(), 1);
  EXPECT_EQ(watcher.Seen()[0].text, "outer");
  EXPECT_EQ(log.Matching(QStringLiteral("orvelle.ui warning"), QStringLiteral("shown: outer")).size(), 1);
  EXPECT_EQ(log.Matching(QStringLiteral("orvelle.ui warning"), QStringLiteral("not shown"), QStringLiteral("inner")).size(),
            1);
  EXPECT_EQ(log.Matching(QStringLiteral("not shown"), QStringLiteral("Picture too large.")).size(), 1);

  // Once the box is closed, the next one is shown again.
  Application::RunGuarded([] { throw Error(QStringLiteral("Read timed out")); });
  ASSERT_TRUE(MessageBoxOpen());
  EXPECT_EQ(OpenBox()->text(), "Read timed out.");
  EXPECT_EQ(OpenBox()->icon(), QMessageBox::Critical);
  CloseOpenBox();
}

TEST(MessageBoxRule, BoxesOneAfterAnotherAreAllShown) {
  test::LogCapture log;
  ShowMessage(QStringLiteral("first"));
  EXPECT_EQ(OpenBox()->text(), "first");
  CloseOpenBox();
  Application::ShowErrorBox(QStringLiteral("second"));
  EXPECT_EQ(OpenBox()->text(), "second.");
  CloseOpenBox();
  MessageBox(nullptr, QMessageBox::Critical, QString(), QStringLiteral("third"), QMessageBox::Close);
  EXPECT_EQ(OpenBox()->text(), "third");
  EXPECT_EQ(OpenBox()->windowTitle(), Application::Title());
  CloseOpenBox();
  EXPECT_EQ(log.Matching(QStringLiteral("orvelle.ui warning"), QStringLiteral("shown:")).size(), 3);
  EXPECT_TRUE(log.Matching(QStringLiteral("not shown")).isEmpty());
}

// A box belongs to the main window: it holds that window's input only.
TEST(MessageBoxRule, ABoxIsModalToTheMainWindowOnly) {
  Form main_window;
  Application::SetMainForm(&main_window);
  main_window.show();
  ShowMessage(QStringLiteral("about the main window"));
  ASSERT_TRUE(MessageBoxOpen());
  QMessageBox* box = OpenBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->parentWidget(), &main_window);
  EXPECT_EQ(box->windowModality(), Qt::WindowModal);
  CloseOpenBox();
  Application::SetMainForm(nullptr);
}

}  // namespace
}  // namespace orvelle
