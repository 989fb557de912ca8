#include "service/error.h"
#include "toolkit/application.h"

#include "../support/modal_watcher.h"

#include <QFileInfo>
#include <gtest/gtest.h>

#include <stdexcept>

namespace orvelle {
namespace {

TEST(Application, TitleComesFromTheExecutableName) {
  struct Case {
    const char* file;
    const char* title;
  };
  const Case cases[] = {
      {"orvelle", "Orvelle"},         {"ORVELLE.EXE", "Orvelle"}, {"Orvelle.exe", "Orvelle"},
      {"my.app.bin", "My"},           {"x", "X"},                 {"", ""},
      {".hidden", ""},                {"radio-Player", "Radio-player"},
  };
  for (const Case& c : cases) EXPECT_EQ(Application::TitleFromFileName(QLatin1String(c.file)), c.title) << c.file;
  EXPECT_EQ(Application::Title(),
            Application::TitleFromFileName(QFileInfo(QCoreApplication::applicationFilePath()).fileName()));
}

TEST(Application, ErrorBoxAppendsAPeriodAfterCharactersAboveIt) {
  struct Case {
    const char* message;
    const char* shown;
  };
  const Case cases[] = {
      {"Read timed out", "Read timed out."},
      {"Done.", "Done."},       // "." itself is not above "."
      {"Oops!", "Oops!"},       // "!" lies below "."
      {"a-", "a-"},             // "-" is U+002D
      {"a/", "a/."},            // "/" is U+002F
      {"Socket Error # 10061", "Socket Error # 10061."},
      {"trailing space ", "trailing space "},
      {"", ""},
      {"\xE8\xBF\x9E\xE6\x8E\xA5\xE5\xA4\xB1\xE8\xB4\xA5\xEF\xBC\x81", "\xE8\xBF\x9E\xE6\x8E\xA5\xE5\xA4\xB1\xE8\xB4\xA5\xEF\xBC\x81."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Application::ErrorBoxText(QString::fromUtf8(c.message)), QString::fromUtf8(c.shown)) << c.message;
  }
}

TEST(Application, DefaultErrorBoxShowsIconOkTitleAndText) {
  test::ModalWatcher watcher;
  Application::ShowErrorBox(QStringLiteral("Read timed out"));
  ASSERT_TRUE(watcher.Settle());
  ASSERT_EQ(watcher.Seen().size(), 1);
  const auto& box = watcher.Seen().first();
  EXPECT_EQ(box.title, Application::Title());
  EXPECT_EQ(box.text, "Read timed out.");
  EXPECT_EQ(box.icon, QMessageBox::Critical);
  EXPECT_EQ(box.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
}

TEST(Application, GuardShowsEveryKindOfErrorAndReturns) {
  test::ModalWatcher watcher;
  bool after = false;
  Application::RunGuarded([] { throw Error(QStringLiteral("Picture too large")); });
  ASSERT_TRUE(watcher.Settle());
  Application::RunGuarded([] { throw std::runtime_error("plain failure"); });
  ASSERT_TRUE(watcher.Settle());
  Application::RunGuarded([] { throw 42; });
  ASSERT_TRUE(watcher.Settle());
  Application::RunGuarded([&] { after = true; });
  EXPECT_TRUE(after);
  ASSERT_EQ(watcher.Seen().size(), 3);
  EXPECT_EQ(watcher.Seen()[0].text, "Picture too large.");
  EXPECT_EQ(watcher.Seen()[1].text, "plain failure.");
  EXPECT_EQ(watcher.Seen()[2].text, "Unknown error.");
}

}  // namespace
}  // namespace orvelle
