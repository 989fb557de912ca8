// The drop-down's popup list on a real X server (see run-with-xvfb), driven by the server's own
// pointer: the popup is a window of its own that never takes activation or the focus from the
// program's window, lies where the face says, and closes when another application is pressed.
#include "controls/gp_combo_box.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/push_button.h"
#include "toolkit/theme.h"

#include "kit_test_support.h"
#include "real_pointer.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace orvelle {
namespace {

class ComboPopupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QGuiApplication::platformName() != u"xcb"_qs) {
      GTEST_SKIP() << "needs a real X server; CTest runs this program through tests/support/run-with-xvfb";
    }
    if (!pointer_.Available()) GTEST_SKIP() << "the X server has no X Test extension for real pointer input";
    Application::RegisterFonts();
    ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
    QFile layout(QStringLiteral(ORVELLE_CONTROL_LAYOUTS "/combo_box.json"));
    ASSERT_TRUE(layout.open(QIODevice::ReadOnly));
    form_.LoadFromJson(layout.readAll(), layout.fileName());
    form_.move(200, 200);
    form_.show();
    form_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
    combo_ = form_.Component<TscGPComboBox>(QStringLiteral("cbb1"));
    other_ = form_.Component<PushButton>(QStringLiteral("btn6"));
    list_ = combo_->ListBox();
    other_->setFocus();
    for (auto signal : {&TscGPComboBox::OnChange, &TscGPComboBox::OnCloseUp}) {
      QObject::connect(combo_, signal, [this] { ++events_; });
    }
  }

  void TearDown() override {
    if (other_app_.state() != QProcess::NotRunning) {
      other_app_.closeWriteChannel();
      if (!other_app_.waitForFinished(3000)) other_app_.kill();
    }
  }

  // Lets the program handle what the server sent.
  static void Settle() { QTest::qWait(80); }
  void MoveTo(const QPoint& global) {
    pointer_.MoveTo(global);
    Settle();
  }
  void Click(const QPoint& global, int button = 1) {
    MoveTo(global);
    pointer_.Press(button);
    Settle();
    pointer_.Release(button);
    Settle();
  }
  QPoint FaceCentre() const { return combo_->mapToGlobal(combo_->rect().center()); }
  QPoint Row(int index) const {
    list_->LayoutItems();
    return list_->mapToGlobal(list_->Items()->Item(index)->ItemRect().center());
  }
  // The program keeps its active window and the combo box its focus.
  void ExpectProgramKeepsActivation() {
    EXPECT_TRUE(form_.isActiveWindow());
    EXPECT_EQ(QGuiApplication::focusWindow(), form_.windowHandle());
    EXPECT_TRUE(combo_->hasFocus());
    EXPECT_FALSE(list_->isActiveWindow());
  }

  test::RealPointer pointer_;
  test::ScopedTheme theme_;
  Form form_;
  TscGPComboBox* combo_ = nullptr;
  PushButton* other_ = nullptr;
  TscGPPopupListBox* list_ = nullptr;
  int events_ = 0;
  QProcess other_app_;
};

TEST_F(ComboPopupTest, OpensBelowWithoutTakingActivationAndAcceptsAPressedRow) {
  const QPoint face = combo_->mapToGlobal(QPoint(0, 0));
  Click(FaceCentre());
  ASSERT_TRUE(combo_->IsPopupVisible());
  EXPECT_TRUE(list_->isVisible());
  ExpectProgramKeepsActivation();
  // The server shows the list as a window of its own, on top, right below the face.
  EXPECT_EQ(pointer_.TopLevelWindowAt(Row(3)), QRect(face.x(), face.y() + 25, 221, 214));

  MoveTo(Row(4));  // the highlight follows the pointer
  EXPECT_EQ(list_->ItemIndex(), 4);
  MoveTo(Row(3));
  pointer_.Press();
  Settle();
  ExpectProgramKeepsActivation();  // pressing the list does not activate it
  EXPECT_TRUE(combo_->IsPopupVisible());
  pointer_.Release();
  Settle();
  EXPECT_FALSE(combo_->IsPopupVisible());
  EXPECT_FALSE(list_->isVisible());
  EXPECT_EQ(combo_->ItemIndex(), 3);
  EXPECT_EQ(events_, 2);  // OnCloseUp and OnChange
  ExpectProgramKeepsActivation();
}

TEST_F(ComboPopupTest, DragFromTheFaceOntoARow) {
  MoveTo(FaceCentre());
  pointer_.Press();
  Settle();
  ASSERT_TRUE(combo_->IsPopupVisible());
  MoveTo(Row(5));  // the server keeps sending the held pointer to the face's window
  MoveTo(Row(6));
  EXPECT_EQ(list_->ItemIndex(), 6);
  pointer_.Release();
  Settle();
  EXPECT_FALSE(combo_->IsPopupVisible());
  EXPECT_EQ(combo_->ItemIndex(), 6);
  EXPECT_EQ(events_, 2);
}

// The list closed by Escape while the real pointer drags its scroll bar's thumb: when it opens
// again, moving the pointer with no button held does not scroll, the hover highlight follows the
// pointer and the first click picks a row.
TEST_F(ComboPopupTest, ClosingWhileTheScrollBarIsDraggedLeavesNoStaleDrag) {
  Click(FaceCentre());
  ASSERT_TRUE(combo_->IsPopupVisible());
  const TscGPControlScrollBar* bar = list_->VertScrollBar();
  ASSERT_TRUE(bar->Visible());
  const QPoint thumb = list_->mapToGlobal(bar->ThumbRect().center());
  MoveTo(thumb);
  pointer_.Press();
  Settle();
  MoveTo(thumb + QPoint(0, 30));
  ASSERT_TRUE(bar->Dragging());
  QTest::keyClick(combo_, Qt::Key_Escape);
  Settle();
  EXPECT_FALSE(combo_->IsPopupVisible());
  pointer_.Release();
  Settle();
  EXPECT_FALSE(bar->Dragging());

  Click(FaceCentre());
  ASSERT_TRUE(combo_->IsPopupVisible());
  const int position = bar->Position();
  MoveTo(Row(2));
  MoveTo(Row(3));
  EXPECT_EQ(bar->Position(), position) << "no scrolling without a button held";
  EXPECT_EQ(list_->ItemIndex(), 3) << "the hover highlight follows the pointer";
  Click(Row(3));
  EXPECT_FALSE(combo_->IsPopupVisible()) << "the first click picks the row";
  EXPECT_EQ(combo_->ItemIndex(), 3);
}

TEST_F(ComboPopupTest, OpensAboveWhenTheWorkAreaEndsBelow) {
  const QRect work = combo_->screen()->availableGeometry();
  form_.move(200, work.bottom() - 120);
  QTest::qWait(100);
  const QPoint face = combo_->mapToGlobal(QPoint(0, 0));
  ASSERT_GT(face.y() + 25 + 214, work.bottom() + 1);
  Click(FaceCentre());
  ASSERT_TRUE(combo_->IsPopupVisible());
  EXPECT_EQ(pointer_.TopLevelWindowAt(Row(0)), QRect(face.x(), face.y() - 214, 221, 214));
  ExpectProgramKeepsActivation();
}

TEST_F(ComboPopupTest, APressElsewhereInTheProgramClosesRestoring) {
  Click(FaceCentre());
  MoveTo(Row(5));
  ASSERT_EQ(list_->ItemIndex(), 5);
  Click(form_.mapToGlobal(QPoint(280, 70)), 3);  // a right press on the window's background
  EXPECT_FALSE(combo_->IsPopupVisible());
  EXPECT_EQ(combo_->ItemIndex(), 0);
  EXPECT_EQ(events_, 0);
}

TEST_F(ComboPopupTest, APressInAnotherApplicationClosesRestoring) {
  const QRect elsewhere(700, 600, 200, 150);
  other_app_.start(QStringLiteral(ORVELLE_OTHER_APP),
                   {QString::number(elsewhere.x()), QString::number(elsewhere.y()),
                    QString::number(elsewhere.width()), QString::number(elsewhere.height())});
  ASSERT_TRUE(other_app_.waitForReadyRead(10000)) << "the other application did not start";
  form_.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));

  Click(FaceCentre());
  ASSERT_TRUE(combo_->IsPopupVisible());
  MoveTo(Row(5));
  ASSERT_EQ(list_->ItemIndex(), 5);
  Click(elsewhere.center());
  QTest::qWait(200);
  EXPECT_FALSE(form_.isActiveWindow()) << "the other application took the activation";
  EXPECT_FALSE(combo_->IsPopupVisible());
  EXPECT_FALSE(list_->isVisible());
  EXPECT_EQ(combo_->ItemIndex(), 0);
  EXPECT_EQ(events_, 0);
}

}  // namespace
}  // namespace orvelle
