#include "service/error.h"
#include "toolkit/application.h"
#include "toolkit/focus.h"
#include "toolkit/form.h"
#include "toolkit/memo.h"
#include "toolkit/message_box.h"
#include "toolkit/panel.h"
#include "toolkit/picture_holder.h"
#include "toolkit/push_button.h"
#include "toolkit/theme.h"

#include "../support/modal_watcher.h"

#include <QApplication>
#include <QFontDatabase>
#include <QScreen>
#include <QTimer>
#include <QTest>
#include <gtest/gtest.h>

namespace orvelle {
namespace {

class ToolkitControls : public ::testing::Test {
 protected:
  void SetUp() override {
    form_.SetClientWidth(300);
    form_.SetClientHeight(200);
  }
  void TearDown() override { ClearStyle(); }
  void Show() {
    form_.show();
    form_.activateWindow();
    QApplication::setActiveWindow(&form_);
  }

  Form form_;
};

TEST_F(ToolkitControls, PushButtonClicksByMouseSpaceAndEnter) {
  auto* button = new PushButton(&form_);
  button->SetBounds(10, 10, 80, 30);
  Show();
  int clicks = 0;
  QObject::connect(button, &Control::OnClick, [&](QObject* sender) {
    EXPECT_EQ(sender, button);
    ++clicks;
  });

  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(button->hasFocus());  // a click takes the focus

  // Pressed inside, released outside: no click.
  QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(200, 100));
  EXPECT_EQ(clicks, 1);

  // Space clicks once, on release; every Enter clicks.
  QTest::keyPress(button, Qt::Key_Space);
  EXPECT_TRUE(button->Pressed());
  EXPECT_EQ(clicks, 1);
  QTest::keyRelease(button, Qt::Key_Space);
  EXPECT_EQ(clicks, 2);
  QTest::keyClick(button, Qt::Key_Return);
  QTest::keyClick(button, Qt::Key_Return);
  EXPECT_EQ(clicks, 4);

  button->SetEnabled(false);
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(clicks, 4);
}

// A click on a memo's text is the memo's click; pressed over the text and released away from it
// (a selection dragged out) is none, nor is the right button.
TEST_F(ToolkitControls, AClickOnAMemosTextIsItsClick) {
  auto* memo = new Memo(&form_);
  memo->SetBounds(10, 10, 200, 100);
  memo->SetText(QStringLiteral("Some text"));
  Show();
  int clicks = 0;
  QObject::connect(memo, &Control::OnClick, [&](QObject* sender) {
    EXPECT_EQ(sender, memo);
    ++clicks;
  });
  QWidget* text = memo->Editor()->viewport();
  QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(20, 10));
  EXPECT_EQ(clicks, 1);
  QTest::mousePress(text, Qt::LeftButton, {}, QPoint(20, 10));
  QTest::mouseRelease(text, Qt::LeftButton, {}, QPoint(500, 10));
  QTest::mouseClick(text, Qt::RightButton, {}, QPoint(20, 10));
  EXPECT_EQ(clicks, 1);
}

TEST_F(ToolkitControls, PushButtonImageIndexFollowsTheState) {
  auto* button = new PushButton(&form_);
  button->SetBounds(0, 0, 97, 25);
  Show();
  button->SetImageIndex(8);
  button->SetHotImageIndex(9);
  EXPECT_EQ(button->CurrentImageIndex(), 8);
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), button->mapToGlobal(QPointF(5, 5)));
  QApplication::sendEvent(button, &enter);
  EXPECT_TRUE(button->Hot());
  EXPECT_EQ(button->CurrentImageIndex(), 9);
  button->SetHotImageIndex(-1);
  EXPECT_EQ(button->CurrentImageIndex(), 8);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(button, &leave);
  EXPECT_FALSE(button->Hot());
}

TEST_F(ToolkitControls, ThemedPanelAndButtonColours) {
  ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
  auto* panel = new Panel(&form_);
  panel->SetBounds(0, 0, 100, 50);
  auto* button = new PushButton(&form_);
  button->SetBounds(120, 0, 60, 30);
  button->SetTabStop(false);  // keeps the window from focusing it, which would draw the focus frame
  Show();
  const QImage face = panel->grab().toImage();
  EXPECT_EQ(QColor(face.pixel(50, 25)), QColor(0x24, 0x29, 0x30));
  EXPECT_EQ(QColor(face.pixel(0, 0)), QColor(0x37, 0x40, 0x4A));    // raised bevel: light top-left
  EXPECT_EQ(QColor(face.pixel(99, 49)), QColor(0x1B, 0x1E, 0x23));  // shadow bottom-right
  panel->SetBevelOuter(Panel::bvNone);
  EXPECT_EQ(QColor(panel->grab().toImage().pixel(0, 0)), QColor(0x24, 0x29, 0x30));

  const QImage normal = button->grab().toImage();
  EXPECT_EQ(QColor(normal.pixel(3, 3)), QColor(0x24, 0x29, 0x30));
  EXPECT_EQ(QColor(normal.pixel(0, 0)), QColor(0x1B, 0x1E, 0x23));
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), button->mapToGlobal(QPointF(5, 5)));
  QApplication::sendEvent(button, &enter);
  EXPECT_EQ(QColor(button->grab().toImage().pixel(0, 0)), QColor(0x35, 0xBD, 0xBB));
  QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(QColor(button->grab().toImage().pixel(3, 3)), QColor(0x1B, 0x1E, 0x23));  // pressed fill
  QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(5, 5));

  // The window's own background.
  EXPECT_EQ(QColor(form_.grab().toImage().pixel(250, 150)), QColor(0x24, 0x29, 0x30));
}

TEST_F(ToolkitControls, PanelCaptionOnlyWhenShown) {
  auto* panel = new Panel(&form_);
  panel->SetBounds(0, 0, 120, 40);
  panel->SetBevelOuter(Panel::bvNone);
  panel->SetCaption(QStringLiteral("WWWW"));
  panel->SetShowCaption(false);
  Show();
  auto distinct_colours = [&] {
    const QImage image = panel->grab().toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
    return colours.size();
  };
  EXPECT_EQ(distinct_colours(), 1);
  panel->SetShowCaption(true);
  EXPECT_GT(distinct_colours(), 1);
}

TEST_F(ToolkitControls, PictureHolderDrawsPlainOrStretched) {
  auto* holder = new PictureHolder(&form_);
  holder->SetBounds(0, 0, 20, 20);
  EXPECT_EQ(PictureHolder().size(), QSize(105, 105));
  QImage red(2, 2, QImage::Format_ARGB32);
  red.fill(Qt::red);
  holder->SetPicture(red);
  Show();
  const QColor background = ResolveColor(form_.GetColor(), true);
  QImage plain = holder->grab().toImage();
  EXPECT_EQ(QColor(plain.pixel(1, 1)), QColor(Qt::red));
  EXPECT_EQ(QColor(plain.pixel(10, 10)), background);
  holder->SetStretch(true);
  QImage stretched = holder->grab().toImage();
  EXPECT_EQ(QColor(stretched.pixel(19, 19)), QColor(Qt::red));
  holder->SetPicture(QImage());
  EXPECT_EQ(QColor(holder->grab().toImage().pixel(1, 1)), background);
}

TEST_F(ToolkitControls, FocusHelpers) {
  auto* sink = new PushButton(&form_);
  sink->SetBounds(0, -2000, 97, 25);  // far above the client area, still able to take the focus
  auto* hidden = new PushButton(&form_);
  hidden->SetVisible(false);
  auto* disabled = new PushButton(&form_);
  disabled->SetEnabled(false);

  EXPECT_FALSE(CanFocus(sink));  // the window is not shown yet
  EXPECT_THROW(SetFocus(sink), Error);
  Show();
  EXPECT_TRUE(CanFocus(sink));
  SetFocus(sink);
  EXPECT_TRUE(Focused(sink));
  EXPECT_EQ(ActiveControl(&form_), sink);
  for (QWidget* control : {static_cast<QWidget*>(hidden), static_cast<QWidget*>(disabled)}) {
    EXPECT_FALSE(CanFocus(control));
    try {
      SetFocus(control);
      ADD_FAILURE() << "focus accepted";
    } catch (const Error& e) {
      EXPECT_EQ(e.Message(), "Cannot focus a disabled or invisible window");
    }
  }
  EXPECT_TRUE(Focused(sink));
}

TEST_F(ToolkitControls, ShowMessageIsAModalBoxWithOk) {
  test::ModalWatcher watcher;
  ShowMessage(QStringLiteral("\u8fde\u63a5\u5931\u8d25\uff01"));
  ASSERT_TRUE(watcher.Settle());
  ASSERT_EQ(watcher.Seen().size(), 1);
  EXPECT_EQ(watcher.Seen()[0].text, QStringLiteral("\u8fde\u63a5\u5931\u8d25\uff01"));
  EXPECT_EQ(watcher.Seen()[0].buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
  EXPECT_EQ(watcher.Seen()[0].icon, QMessageBox::NoIcon);
}

TEST_F(ToolkitControls, FormCentresOnFirstShow) {
  form_.SetPosition(Form::poScreenCenter);
  form_.SetBorderStyle(Form::bsSingle);
  Show();
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  // Half the room on each side; an odd pixel left over goes to the right and bottom.
  EXPECT_EQ(form_.pos(), area.topLeft() + QPoint((area.width() - 300) / 2, (area.height() - 200) / 2));
  if (area.width() % 2 == 0 && area.height() % 2 == 0) {
    EXPECT_EQ(form_.x() - area.left(), area.left() + area.width() - (form_.x() + form_.width()));
    EXPECT_EQ(form_.y() - area.top(), area.top() + area.height() - (form_.y() + form_.height()));
  }
  EXPECT_EQ(form_.minimumSize(), QSize(300, 200));
  EXPECT_EQ(form_.maximumSize(), QSize(300, 200));
}

TEST(MainForm, ClosingTheMainWindowEndsTheEventLoop) {
  Form* previous = Application::MainForm();
  Form main;
  Form other;
  Application::SetMainForm(&main);
  int shows = 0;
  QObject::connect(&main, &Form::OnShow, [&] { ++shows; });
  QTimer::singleShot(0, [&] {
    other.show();
    EXPECT_TRUE(main.isVisible());
    main.close();
  });
  EXPECT_EQ(Application::Run(), 0);  // returns once the main window closed, the other still shown
  EXPECT_EQ(shows, 1);
  EXPECT_FALSE(main.isVisible());
  Application::SetMainForm(previous);
}

TEST(Fonts, TheLayoutsFontFamilyIsAvailable) {
  Application::RegisterFonts();
  EXPECT_TRUE(QFontDatabase::hasFamily(QStringLiteral("Tahoma")));
  Application::RegisterFonts();  // a second call changes nothing
  EXPECT_TRUE(QFontDatabase::hasFamily(QStringLiteral("Tahoma")));
}

}  // namespace
}  // namespace orvelle
