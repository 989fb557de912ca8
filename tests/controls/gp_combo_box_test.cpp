#include "controls/gp_button.h"
#include "controls/gp_combo_box.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/push_button.h"
#include "toolkit/theme.h"

#include "kit_test_support.h"

#include <QAccessible>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaProperty>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTextLayout>
#include <QTimer>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace orvelle {
namespace {

const QColor kAqua(0x00, 0xFF, 0xFF);
const QColor kHighlight(0x35, 0xBD, 0xBB);  // the theme's clHighlight
const QColor kFormFace(0x24, 0x29, 0x30);   // the theme's clBtnFace

QByteArray ReadLayout() {
  QFile file(QStringLiteral(ORVELLE_CONTROL_LAYOUTS "/combo_box.json"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

// The main window's channel drop-down cbb1 (221 x 25, 30 channels, item 0 selected) with a push
// button beside it to take the focus, loaded from the family's layout.
class ComboBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application::RegisterFonts();
    ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
    form_.LoadFromJson(ReadLayout(), QStringLiteral("combo_box.json"));
    form_.move(100, 100);
    form_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
    combo_ = form_.Component<TscGPComboBox>(QStringLiteral("cbb1"));
    other_ = form_.Component<PushButton>(QStringLiteral("btn6"));
    list_ = combo_->ListBox();
    Record(&Control::OnClick, "Click");
    Record(&TscGPComboBox::OnChange, "Change");
    Record(&TscGPComboBox::OnCloseUp, "CloseUp");
    Record(&TscGPComboBox::OnDropDown, "DropDown");
    other_->setFocus();
  }

  template <class Signal>
  void Record(Signal signal, const char* name) {
    QObject::connect(combo_, signal, [this, name] { events_.append(QStringLiteral("%1 %2").arg(name).arg(combo_->ItemIndex())); });
  }

  QPoint FaceCentre() const { return combo_->rect().center(); }
  // A row's centre in the combo box's coordinates (the pointer dragged there from the face).
  QPoint RowFromFace(int index) const {
    list_->LayoutItems();
    return combo_->mapFromGlobal(list_->mapToGlobal(list_->Items()->Item(index)->ItemRect().center()));
  }
  QPoint Row(int index) const {
    list_->LayoutItems();
    return list_->Items()->Item(index)->ItemRect().center();
  }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(combo_, static_cast<Qt::Key>(key), modifiers);
  }
  void Wheel(QWidget* target, int delta) {
    const QPointF at(target->rect().center());
    QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
  }
  void Open() {
    combo_->setFocus();
    Key(Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(combo_->IsPopupVisible());
    events_.clear();
  }
  QImage Face() { return test::GrabAsShown(combo_); }

  test::ScopedTheme theme_;
  Form form_;
  TscGPComboBox* combo_ = nullptr;
  PushButton* other_ = nullptr;
  TscGPPopupListBox* list_ = nullptr;
  QStringList events_;
};

// Colours of a region's pixels, to look for a caption's colour.
bool HasPixel(const QImage& image, const QRect& area, const std::function<bool(QColor)>& wanted) {
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (wanted(QColor(image.pixel(x, y)))) return true;
    }
  }
  return false;
}

TEST_F(ComboBoxTest, FaceOfTheChannelChooser) {
  EXPECT_EQ(combo_->ChevronRect(), QRect(208, 6, 9, 9));
  EXPECT_EQ(combo_->ContentRect(), QRect(4, 0, 204, 25));
  const QRect caption_area(4, 0, 204, 24);
  auto aqua_text = [](QColor c) { return c.red() < 60 && c.green() > 200 && c.blue() > 200; };
  auto white_text = [](QColor c) { return c.red() > 200 && c.green() > 200 && c.blue() > 200; };

  QImage face = Face();  // normal: the clAqua bar at y 24 and the caption in clAqua
  EXPECT_EQ(QColor(face.pixel(100, 24)), kAqua);
  EXPECT_EQ(QColor(face.pixel(220, 24)).green(), (0xFF + 0x29) / 2) << "half of the last column is covered";
  EXPECT_EQ(QColor(face.pixel(100, 23)), kFormFace);
  EXPECT_EQ(QColor(face.pixel(100, 2)), kFormFace) << "nothing is filled";
  EXPECT_TRUE(HasPixel(face, caption_area, aqua_text));
  EXPECT_FALSE(HasPixel(face, caption_area, white_text));
  EXPECT_TRUE(HasPixel(face, combo_->ChevronRect(), aqua_text));

  combo_->setFocus();  // focused: the clHighlight bar and the caption in clBtnText
  face = Face();
  EXPECT_EQ(QColor(face.pixel(100, 24)), kHighlight);
  EXPECT_TRUE(HasPixel(face, caption_area, white_text));
  EXPECT_FALSE(HasPixel(face, caption_area, aqua_text));

  Open();  // open: the pressed colours, which cbb1 gives the same look
  EXPECT_EQ(QColor(Face().pixel(100, 24)), kHighlight);
}

TEST_F(ComboBoxTest, ChevronAndContentFollowTheShape) {
  struct Case {
    TscGPComboOptions::TscGPComboShapeStyle shape;
    int content_margin;
    int height;
    QRect chevron;
    QRect content;
  };
  // Width 120; the arrow 9; the frame 1.
  for (const Case c : {Case{TscGPComboOptions::scgpcssRect, 0, 41, {107, 14, 9, 9}, {4, 0, 103, 41}},
                       Case{TscGPComboOptions::scgpcssRect, 0, 100, {101, 44, 9, 9}, {4, 0, 97, 100}},
                       Case{TscGPComboOptions::scgpcssRoundedLeftRight, 0, 41, {101, 14, 9, 9}, {10, 0, 91, 41}},
                       Case{TscGPComboOptions::scgpcssLine, 6, 41, {105, 14, 9, 9}, {6, 0, 99, 41}}}) {
    TscGPComboBox combo;
    combo.resize(120, c.height);
    combo.Options()->SetShapeStyle(c.shape);
    combo.SetContentMargin(c.content_margin);
    SCOPED_TRACE(c.shape);
    EXPECT_EQ(combo.ChevronRect(), c.chevron);
    EXPECT_EQ(combo.ContentRect(), c.content);
  }
}

TEST_F(ComboBoxTest, RectangularShapesAreTheGraphicButtons) {
  struct Case {
    TscGPComboOptions::TscGPComboShapeStyle combo;
    TscGPButtonOptions::TscGPButtonShapeStyle button;
  };
  for (const Case c : {Case{TscGPComboOptions::scgpcssRect, TscGPButtonOptions::scgpRect},
                       Case{TscGPComboOptions::scgpcssRoundedRect, TscGPButtonOptions::scgpRoundedRect},
                       Case{TscGPComboOptions::scgpcssRoundedLeftRight, TscGPButtonOptions::scgpRoundedLeftRight}}) {
    TscGPComboBox combo(&form_);
    TscGPButton button(&form_);
    for (Control* control : {static_cast<Control*>(&combo), static_cast<Control*>(&button)}) {
      control->SetBounds(10, 100, 120, 41);
      control->show();
    }
    combo.Options()->SetShapeStyle(c.combo);
    combo.Options()->SetFrameWidth(2);
    button.Options()->SetShapeStyle(c.button);
    button.Options()->SetFrameWidth(2);
    button.SetShowCaption(false);
    const QImage a = combo.grab().toImage();
    const QImage b = button.grab().toImage();
    const QRect chevron = combo.ChevronRect().adjusted(-2, -2, 2, 2);
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
      for (int x = 0; x < a.width(); ++x) differing += !chevron.contains(x, y) && a.pixel(x, y) != b.pixel(x, y);
    }
    EXPECT_EQ(differing, 0) << c.combo;
    EXPECT_EQ(QColor::fromRgba(a.pixel(60, 20)).alpha(), 255) << "the shape is filled";
  }
}

TEST_F(ComboBoxTest, OpensBelowWithTheHeightRule) {
  const QPoint face = combo_->mapToGlobal(QPoint(0, 0));
  Open();
  EXPECT_TRUE(list_->isVisible());
  EXPECT_TRUE(list_->isWindow());
  EXPECT_EQ(list_->geometry(), QRect(face.x(), face.y() + 25, 221, 214));  // 7 x 30 + 2 x 2
  EXPECT_TRUE(list_->VertScrollBar()->Visible());
  Key(Qt::Key_Escape);

  struct Case {
    int drop_down_count, list_width, list_height;
    TscGPComboBox::TscDropDownPosition position;
    QSize size;
    int x;  // relative to the face's left edge
  };
  for (const Case c : {Case{40, 0, 0, TscGPComboBox::scdpRight, {221, 904}, 0},  // all 30 rows
                       Case{7, 300, 0, TscGPComboBox::scdpRight, {300, 214}, 221 - 300},
                       Case{7, 300, 0, TscGPComboBox::scdpLeft, {300, 214}, 0},
                       Case{7, 0, 100, TscGPComboBox::scdpRight, {221, 100}, 0},
                       Case{0, 0, 0, TscGPComboBox::scdpRight, {221, 100}, 0}}) {  // the height stays
    combo_->SetDropDownCount(c.drop_down_count);
    combo_->SetListBoxWidth(c.list_width);
    combo_->SetListBoxHeight(c.list_height);
    combo_->SetDropDownPosition(c.position);
    combo_->DropDown();
    SCOPED_TRACE(c.drop_down_count);
    EXPECT_EQ(list_->size(), c.size);
    EXPECT_EQ(list_->pos().x(), face.x() + c.x);
    combo_->CloseUp(false);
  }
}

TEST_F(ComboBoxTest, OpensAboveWhenTheWorkAreaEndsFirst) {
  const QRect work = combo_->screen()->availableGeometry();
  form_.move(100, work.bottom() - 100);  // the face ends 57 pixels above the work area's bottom
  QTest::qWait(10);
  const QPoint face = combo_->mapToGlobal(QPoint(0, 0));
  ASSERT_GT(face.y() + 25 + 214, work.bottom() + 1);
  combo_->DropDown();
  EXPECT_EQ(list_->geometry(), QRect(face.x(), face.y() - 214, 221, 214));
}

TEST_F(ComboBoxTest, NothingOpensWithoutItems) {
  combo_->Items()->Clear();
  combo_->DropDown();
  EXPECT_FALSE(combo_->IsPopupVisible());
  EXPECT_FALSE(list_->isVisible());
  EXPECT_TRUE(events_.isEmpty());
}

TEST_F(ComboBoxTest, KeysOnTheClosedFaceSetTheIndex) {
  struct Case {
    int from;
    int key;
    Qt::KeyboardModifiers modifiers;
    int to;
  };
  // Every move raises OnClick then OnChange, also when the index stays.
  for (const Case c : {Case{0, Qt::Key_Up, {}, 0}, Case{0, Qt::Key_Left, {}, 0}, Case{0, Qt::Key_Down, {}, 1},
                       Case{4, Qt::Key_Right, {}, 5}, Case{29, Qt::Key_Down, {}, 29}, Case{0, Qt::Key_PageDown, {}, 8},
                       Case{8, Qt::Key_PageUp, {}, 0}, Case{25, Qt::Key_PageDown, {}, 29},
                       Case{0, Qt::Key_E, {}, 27},     // "Easy"
                       Case{27, Qt::Key_K, {}, 0},     // "Kestra精选", wrapping, case-insensitive
                       Case{20, Qt::Key_R, {}, 18}}) {  // "R&B"
    combo_->InitItemIndex(c.from);
    combo_->setFocus();
    events_.clear();
    Key(c.key, c.modifiers);
    SCOPED_TRACE(testing::Message() << c.from << " key " << c.key);
    EXPECT_EQ(combo_->ItemIndex(), c.to);
    EXPECT_EQ(events_, (QStringList{QStringLiteral("Click %1").arg(c.to), QStringLiteral("Change %1").arg(c.to)}));
    EXPECT_FALSE(combo_->IsPopupVisible());
  }
  events_.clear();
  Key(Qt::Key_Z);  // no caption starts with it: nothing
  Key(Qt::Key_Return);
  Key(Qt::Key_Escape);
  Key(Qt::Key_Up, Qt::AltModifier);
  EXPECT_TRUE(events_.isEmpty());
}

TEST_F(ComboBoxTest, TypeAheadAccumulatesWithAutoComplete) {
  combo_->SetAutoComplete(true);
  combo_->setFocus();
  QTest::keyClicks(combo_, QStringLiteral("Ke"));
  EXPECT_EQ(combo_->ItemIndex(), 0);
  combo_->InitItemIndex(5);
  QTest::keyClicks(combo_, QStringLiteral("s"));  // "Kes" still begins "Kestra精选"
  EXPECT_EQ(combo_->ItemIndex(), 0);
  QTest::qWait(TscGPComboBox::kTypeAheadTimeout + 200);
  QTest::keyClicks(combo_, QStringLiteral("Ea"));  // the search text starts afresh
  EXPECT_EQ(combo_->ItemIndex(), 27);
}

TEST_F(ComboBoxTest, KeysWhileOpen) {
  Open();
  Key(Qt::Key_Down, Qt::AltModifier);  // already open: nothing
  EXPECT_TRUE(combo_->IsPopupVisible());
  Key(Qt::Key_Down);  // moves and raises the events at once; the list stays open
  EXPECT_EQ(events_, (QStringList{u"Click 1"_qs, u"Change 1"_qs}));
  EXPECT_TRUE(combo_->IsPopupVisible());
  Key(Qt::Key_Escape);  // the key updated the restore index: the new item stays
  EXPECT_FALSE(combo_->IsPopupVisible());
  EXPECT_EQ(combo_->ItemIndex(), 1);
  EXPECT_EQ(events_.size(), 2);

  Open();
  list_->SelectUnderPointer(5);
  Key(Qt::Key_Up, Qt::AltModifier);  // closes restoring
  EXPECT_EQ(combo_->ItemIndex(), 1);
  EXPECT_TRUE(events_.isEmpty());

  Open();
  list_->SelectUnderPointer(1);
  Key(Qt::Key_Return);  // accepts, also the item selected before opening
  EXPECT_EQ(events_, (QStringList{u"CloseUp 1"_qs, u"Click 1"_qs, u"Change 1"_qs}));
  EXPECT_FALSE(list_->isVisible());
  EXPECT_TRUE(combo_->hasFocus());
  EXPECT_EQ(QColor(Face().pixel(100, 24)), kHighlight) << "the focused look stays after a choice";
}

TEST_F(ComboBoxTest, DragFromTheFaceOntoARow) {
  QTest::mousePress(combo_, Qt::LeftButton, {}, FaceCentre());
  EXPECT_TRUE(combo_->hasFocus());
  EXPECT_EQ(events_, QStringList{u"DropDown 0"_qs});
  events_.clear();
  QTest::mouseMove(combo_, RowFromFace(3));
  EXPECT_EQ(list_->ItemIndex(), 3);  // the selection follows, silently
  EXPECT_TRUE(events_.isEmpty());
  QTest::mouseRelease(combo_, Qt::LeftButton, {}, RowFromFace(3));
  EXPECT_FALSE(combo_->IsPopupVisible());
  EXPECT_EQ(events_, (QStringList{u"CloseUp 3"_qs, u"Click 3"_qs, u"Change 3"_qs}));

  // Back onto the face before releasing: closed, the earlier item restored, no event.
  events_.clear();
  QTest::mousePress(combo_, Qt::LeftButton, {}, FaceCentre());
  QTest::mouseMove(combo_, RowFromFace(6));
  QTest::mouseMove(combo_, FaceCentre());
  QTest::mouseRelease(combo_, Qt::LeftButton, {}, FaceCentre());
  EXPECT_FALSE(combo_->IsPopupVisible());
  EXPECT_EQ(combo_->ItemIndex(), 3);
  EXPECT_EQ(events_, QStringList{u"DropDown 3"_qs});
}

TEST_F(ComboBoxTest, ClickThenPickARow) {
  QTest::mouseClick(combo_, Qt::LeftButton, {}, FaceCentre());
  EXPECT_TRUE(combo_->IsPopupVisible()) << "the release of the opening press leaves the list open";
  events_.clear();
  QTest::mouseMove(list_, Row(4));
  QTest::mouseMove(list_, Row(2));  // hovering moves the highlight without events
  EXPECT_EQ(list_->ItemIndex(), 2);
  EXPECT_TRUE(events_.isEmpty());
  QTest::mousePress(list_, Qt::RightButton, {}, Row(5));  // other buttons never reach the list
  QTest::mouseRelease(list_, Qt::RightButton, {}, Row(5));
  EXPECT_EQ(list_->ItemIndex(), 2);
  EXPECT_TRUE(combo_->IsPopupVisible());
  QTest::mouseClick(list_, Qt::LeftButton, {}, Row(0));  // the item already selected: still accepted
  EXPECT_FALSE(combo_->IsPopupVisible());
  EXPECT_EQ(events_, (QStringList{u"CloseUp 0"_qs, u"Click 0"_qs, u"Change 0"_qs}));
  EXPECT_TRUE(combo_->hasFocus());
}

TEST_F(ComboBoxTest, HoldingTheButtonBelowTheListMovesTheSelection) {
  QTest::mouseClick(combo_, Qt::LeftButton, {}, FaceCentre());
  events_.clear();
  QTest::mousePress(list_, Qt::LeftButton, {}, Row(2));
  EXPECT_EQ(list_->ItemIndex(), 2);
  QTest::mouseMove(list_, QPoint(50, list_->height() + 20));  // below the list, the button held
  EXPECT_EQ(list_->AutoScrolling(), TscGPCustomListBox::asDown);
  QSignalSpy moved(list_, &TscGPCustomListBox::OnItemClick);
  for (int i = 0; i < 60 && list_->ItemIndex() < 4; ++i) QTest::qWait(50);  // one row every 50 ms
  EXPECT_GE(list_->ItemIndex(), 4);
  QTest::mouseMove(list_, Row(list_->ItemIndex()));  // back over the list: it stops
  EXPECT_EQ(list_->AutoScrolling(), TscGPCustomListBox::asNone);
  const int reached = list_->ItemIndex();
  QTest::mouseRelease(list_, Qt::LeftButton, {}, Row(reached));
  EXPECT_EQ(combo_->ItemIndex(), reached);
  EXPECT_EQ(moved.count(), 0);
  EXPECT_EQ(events_, (QStringList{QStringLiteral("CloseUp %1").arg(reached), QStringLiteral("Click %1").arg(reached),
                                  QStringLiteral("Change %1").arg(reached)}));
}

TEST_F(ComboBoxTest, HoverThenEscapeRestores) {
  QTest::mouseClick(combo_, Qt::LeftButton, {}, FaceCentre());
  events_.clear();
  QTest::mouseMove(list_, Row(6));
  EXPECT_EQ(list_->ItemIndex(), 6);
  EXPECT_EQ(QColor(Face().pixel(100, 24)), kHighlight);
  Key(Qt::Key_Escape);
  EXPECT_EQ(combo_->ItemIndex(), 0);
  EXPECT_TRUE(events_.isEmpty());
}

TEST_F(ComboBoxTest, PressesOutsideTheListCloseItRestoring) {
  struct Case {
    const char* what;
    std::function<void()> press;
  };
  const Case cases[] = {
      {"a press on the face", [this] { QTest::mouseClick(combo_, Qt::LeftButton, {}, FaceCentre()); }},
      {"a press elsewhere in the program", [this] { QTest::mouseClick(other_, Qt::LeftButton); }},
      {"a right press elsewhere", [this] { QTest::mouseClick(&form_, Qt::RightButton, {}, QPoint(280, 70)); }},
      {"the focus leaving", [this] { other_->setFocus(); }},
      {"the window moving", [this] { form_.move(form_.pos() + QPoint(5, 5)); QTest::qWait(10); }}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QTest::mouseClick(combo_, Qt::LeftButton, {}, FaceCentre());
    ASSERT_TRUE(combo_->IsPopupVisible());
    list_->SelectUnderPointer(9);
    events_.clear();
    c.press();
    EXPECT_FALSE(combo_->IsPopupVisible());
    EXPECT_FALSE(list_->isVisible());
    EXPECT_EQ(combo_->ItemIndex(), 0);
    EXPECT_TRUE(events_.isEmpty());
  }
}

// Closing the list while its scroll bar holds the pointer (a thumb drag, a press on the track) ends
// that drag or paging: the list opens again with a bar that follows no stale press, so a move
// with no button held neither scrolls nor stops the hover selection.
TEST_F(ComboBoxTest, ClosingEndsTheScrollBarsDragOrPaging) {
  struct Case {
    const char* what;
    bool on_thumb;
    std::function<void()> close;
  };
  const Case cases[] = {
      {"thumb dragged, Escape", true, [this] { Key(Qt::Key_Escape); }},
      {"thumb dragged, Alt+Up", true, [this] { Key(Qt::Key_Up, Qt::AltModifier); }},
      {"thumb dragged, focus loss", true, [this] { other_->setFocus(); }},
      {"track paged, Escape", false, [this] { Key(Qt::Key_Escape); }},
      {"track paged, focus loss", false, [this] { other_->setFocus(); }}};
  TscGPControlScrollBar* bar = list_->VertScrollBar();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Open();
    ASSERT_TRUE(bar->Visible());
    const QRect thumb = bar->ThumbRect();
    const QPoint press = c.on_thumb ? thumb.center() : QPoint(thumb.center().x(), bar->TrackRect().bottom() - 2);
    QTest::mousePress(list_, Qt::LeftButton, {}, press);
    ASSERT_TRUE(c.on_thumb ? bar->Dragging() : bar->Paging());
    c.close();
    ASSERT_FALSE(combo_->IsPopupVisible());
    EXPECT_FALSE(bar->Dragging());
    EXPECT_FALSE(bar->Paging());
    EXPECT_FALSE(bar->PagingTimer()->isActive());
    EXPECT_EQ(bar->ThumbState(), scsNormal);

    Open();
    const int position = bar->Position();
    QTest::mouseMove(list_, Row(3));  // no button held
    EXPECT_EQ(bar->Position(), position) << "a move without a button does not scroll";
    EXPECT_EQ(list_->ItemIndex(), 3) << "hover selection follows the pointer";
    Key(Qt::Key_Escape);
    combo_->SetItemIndex(0);
  }
}

TEST_F(ComboBoxTest, WheelOverTheFace) {
  combo_->setFocus();
  Wheel(combo_, -120);  // toward the user: one item down, with the events
  Wheel(combo_, -120);
  EXPECT_EQ(combo_->ItemIndex(), 2);
  EXPECT_EQ(events_, (QStringList{u"Click 1"_qs, u"Change 1"_qs, u"Click 2"_qs, u"Change 2"_qs}));
  events_.clear();
  combo_->InitItemIndex(0);
  Wheel(combo_, 120);  // past the first item: the events still come
  EXPECT_EQ(combo_->ItemIndex(), 0);
  EXPECT_EQ(events_, (QStringList{u"Click 0"_qs, u"Change 0"_qs}));

  Open();
  Wheel(combo_, -240);  // open: only the list's selection moves
  EXPECT_EQ(list_->ItemIndex(), 2);
  EXPECT_TRUE(events_.isEmpty());
  Wheel(list_, -120);  // over the list itself: it scrolls by one item
  EXPECT_EQ(list_->ScrollOffset(), 30);
  EXPECT_EQ(list_->ItemIndex(), 2);
  Key(Qt::Key_Escape);
  EXPECT_EQ(combo_->ItemIndex(), 0);

  combo_->SetCheckedListMode(true);
  Wheel(combo_, -120);  // checked-list mode: nothing
  EXPECT_EQ(combo_->ItemIndex(), 0);
  EXPECT_TRUE(events_.isEmpty());
}

TEST_F(ComboBoxTest, SettingTheIndexAlwaysRaisesTheEvents) {
  struct Case {
    int value;
    int stored;
  };
  for (const Case c : {Case{5, 5}, Case{5, 5}, Case{21, 21}, Case{40, 40}, Case{-1, -1}}) {
    events_.clear();
    combo_->SetItemIndex(c.value);
    EXPECT_EQ(combo_->ItemIndex(), c.stored);
    EXPECT_EQ(events_, (QStringList{QStringLiteral("Click %1").arg(c.stored), QStringLiteral("Change %1").arg(c.stored)}));
  }
  list_->Items()->Item(3)->SetEnabled(false);
  combo_->InitItemIndex(2);
  events_.clear();
  combo_->SetItemIndex(3);  // refused by the list; the events still come
  EXPECT_EQ(combo_->ItemIndex(), 2);
  EXPECT_EQ(events_, (QStringList{u"Click 2"_qs, u"Change 2"_qs}));

  // While its form loads, the index is taken silently.
  TscGPComboBox loading;
  loading.Items()->Assign(*combo_->Items());
  QSignalSpy changes(&loading, &TscGPComboBox::OnChange);
  loading.BeginLoad();
  loading.SetItemIndex(4);
  loading.EndLoad();
  EXPECT_EQ(loading.ItemIndex(), 4);
  EXPECT_EQ(changes.count(), 0);
}

TEST_F(ComboBoxTest, TheEmptyChannelIsAnEmptyRow) {
  Open();
  list_->ScrollToItem(21);
  QTest::mouseClick(list_, Qt::LeftButton, {}, Row(21));
  EXPECT_EQ(combo_->ItemIndex(), 21);
  EXPECT_EQ(combo_->Items()->Item(combo_->ItemIndex())->Detail(), QString());
  other_->setFocus();
  const QImage face = Face();
  // (The chevron's 2-pixel stroke reaches a little left of its box.)
  EXPECT_FALSE(HasPixel(face, QRect(4, 0, 200, 24), [](QColor c) { return c != kFormFace; }))
      << "no caption is drawn";
}

TEST_F(ComboBoxTest, CheckedListMode) {
  combo_->SetCheckedListMode(true);
  QSignalSpy checks(combo_, &TscGPComboBox::OnItemCheckClick);
  Open();
  list_->LayoutItems();
  const QRect box = list_->Items()->Item(3)->CheckRect();
  EXPECT_EQ(box, QRect(7, 2 + 3 * 30 + 8, 13, 13));  // at the text's left, vertically centred
  QTest::mousePress(list_, Qt::LeftButton, {}, box.center());
  EXPECT_TRUE(list_->Items()->Item(3)->Checked());
  EXPECT_EQ(checks.count(), 1);
  QTest::mouseRelease(list_, Qt::LeftButton, {}, box.center());
  // Closing in checked-list mode always raises the events.
  EXPECT_EQ(events_, (QStringList{u"CloseUp 3"_qs, u"Click 3"_qs, u"Change 3"_qs}));
  list_->Items()->Item(5)->SetChecked(true);
  Open();
  Key(Qt::Key_Escape);
  EXPECT_EQ(events_, (QStringList{u"CloseUp 3"_qs, u"Click 3"_qs, u"Change 3"_qs}));
  // The face shows the checked captions joined ("欧美; 华语"): wider than the one caption "欧美".
  other_->setFocus();
  auto text_end = [this] {
    const QImage face = Face();
    int end = 0;
    for (int y = 0; y < 24; ++y) {
      for (int x = 4; x < 200; ++x) {
        if (QColor(face.pixel(x, y)) != kFormFace) end = std::max(end, x);
      }
    }
    return end;
  };
  const int joined = text_end();
  combo_->SetCheckedListMode(false);
  ASSERT_EQ(combo_->ItemIndex(), 3);
  EXPECT_GT(joined, text_end() + 20);
}

TEST_F(ComboBoxTest, ChannelCaptionsHaveRealGlyphs) {
  // Every caption is laid out with glyphs the fonts have (through font fallback for the Chinese
  // characters); a missing glyph would be glyph 0, drawn as an empty box.
  for (int i = 0; i < combo_->Items()->Count(); ++i) {
    const QString caption = combo_->Items()->Item(i)->Caption();
    QTextLayout layout(caption, combo_->GetFont()->ToQFont());
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    for (const QGlyphRun& run : layout.glyphRuns()) {
      for (quint32 glyph : run.glyphIndexes()) EXPECT_NE(glyph, 0u) << caption.toStdString();
    }
  }
  // And the face draws them: "新歌" leaves clearly more caption pixels than a blank.
  combo_->InitItemIndex(1);
  combo_->RePaintControl();
  const QImage face = Face();
  int lit = 0;
  for (int y = 0; y < 24; ++y) {
    for (int x = 4; x < 60; ++x) lit += QColor(face.pixel(x, y)).green() > 150;
  }
  EXPECT_GT(lit, 20);
}

TEST_F(ComboBoxTest, AccessibleAsAComboBoxWithItsListAndItsCaptionAsText) {
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(combo_);
  ASSERT_NE(face, nullptr);
  EXPECT_EQ(face->role(), QAccessible::ComboBox);
  EXPECT_EQ(face->text(QAccessible::Name), u"Channel"_qs);
  EXPECT_EQ(face->text(QAccessible::Value), u"Kestra精选"_qs);
  combo_->InitItemIndex(18);
  EXPECT_EQ(face->text(QAccessible::Value), u"R&B"_qs);
  // The caption is its text too (a screen reader reads a combo box's value from it).
  ASSERT_NE(face->textInterface(), nullptr);
  EXPECT_EQ(face->textInterface()->text(0, face->textInterface()->characterCount()), u"R&B"_qs);

  // The list is its child, hidden while closed; named as the drop-down.
  ASSERT_EQ(face->childCount(), 1);
  QAccessibleInterface* list = face->child(0);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->role(), QAccessible::List);
  EXPECT_TRUE(list->state().invisible);
  EXPECT_EQ(list->text(QAccessible::Name), u"Channel"_qs);
  Open();
  EXPECT_FALSE(list->state().invisible);
  ASSERT_EQ(list->childCount(), 30);
  QAccessibleInterface* item = list->child(2);
  EXPECT_EQ(item->role(), QAccessible::ListItem);
  EXPECT_EQ(item->text(QAccessible::Name), u"世界音乐"_qs);
  EXPECT_FALSE(item->state().selected);
  EXPECT_TRUE(list->child(18)->state().selected);
  Key(Qt::Key_Escape);
  EXPECT_TRUE(list->state().invisible);
}

// The chosen row has the keyboard's focus while the drop-down has it (the focus events that tell
// a screen reader are checked with the main window, where Qt reports to assistive technology).
TEST_F(ComboBoxTest, TheChosenRowHasTheFocusWhileTheDropDownHasIt) {
  combo_->InitItemIndex(0);
  combo_->setFocus();
  Key(Qt::Key_Down);
  QAccessibleInterface* list = QAccessible::queryAccessibleInterface(combo_)->child(0);
  EXPECT_TRUE(list->child(1)->state().focused);
  EXPECT_TRUE(list->child(1)->state().focusable);
  EXPECT_FALSE(list->child(2)->state().focused);
  combo_->clearFocus();
  EXPECT_FALSE(list->child(1)->state().focused);
  EXPECT_TRUE(list->child(1)->state().selected);
}

TEST_F(ComboBoxTest, ScalesItsAndTheListsPixelOptions) {
  TscGPComboBox combo;
  combo.SetContentMargin(4);
  combo.SetListBoxWidth(200);
  combo.ChangeScale(144, 96);
  EXPECT_EQ(combo.Options()->ArrowSize(), 14);  // 13.5: halves round to even
  EXPECT_EQ(combo.Options()->ShapeCornerRadius(), 15);
  EXPECT_EQ(combo.Options()->FrameWidth(), 1);  // ScaleFrameWidth is off
  EXPECT_EQ(combo.ContentMargin(), 6);
  EXPECT_EQ(combo.ListBoxWidth(), 300);
  EXPECT_EQ(combo.ListBoxHeight(), 0);
  EXPECT_EQ(combo.ListBoxItemHeight(), 45);
  EXPECT_EQ(combo.ListBoxHeaderHeight(), 30);
  EXPECT_EQ(combo.ListBoxItemMargin(), 8);
  EXPECT_EQ(combo.ListBoxScrollBarOptions()->Size(), 16);  // 16.5
  EXPECT_EQ(combo.ListBoxOptions()->FrameWidth(), 2);  // FrameScaleWidth is off
  EXPECT_EQ(combo.ListBoxHeaderOptions()->Margin(), 8);
  EXPECT_EQ(combo.ScaleFactor(), 1.5);
  EXPECT_EQ(combo.ListBox()->ScaleFactor(), 1.5);
}

// The layout names every published option of the drop-down and of its option sets; each is read
// back with the value the layout gives.
TEST_F(ComboBoxTest, LayoutLoadsEveryPublishedOptionByName) {
  const QJsonObject listed = QJsonDocument::fromJson(ReadLayout())
                                 .object()
                                 .value(u"components")
                                 .toArray()
                                 .at(0)
                                 .toObject()
                                 .value(u"properties")
                                 .toObject();
  auto expect_listed = [&](const QObject* object, const QMetaObject* stop, const QJsonObject& values,
                           const QString& where) {
    for (const QMetaObject* m = object->metaObject(); m != stop; m = m->superClass()) {
      for (int i = m->propertyOffset(); i < m->propertyCount(); ++i) {
        const QString name = QString::fromLatin1(m->property(i).name());
        EXPECT_TRUE(values.contains(name)) << where.toStdString() << "." << name.toStdString();
      }
    }
  };
  expect_listed(combo_, &TscCustomActiveControl::staticMetaObject, listed, u"cbb1"_qs);
  const QList<std::pair<const char*, QObject*>> sets{{"Options", combo_->Options()},
                                                     {"ListBoxOptions", combo_->ListBoxOptions()},
                                                     {"ListBoxScrollBarOptions", combo_->ListBoxScrollBarOptions()},
                                                     {"ListBoxHeaderOptions", combo_->ListBoxHeaderOptions()}};
  for (const auto& [name, set] : sets) {
    expect_listed(set, &QObject::staticMetaObject, listed.value(QLatin1String(name)).toObject(), QLatin1String(name));
  }
  EXPECT_EQ(combo_->Items()->Count(), 30);
  EXPECT_EQ(combo_->Items()->Item(18)->Caption(), u"R&B"_qs);
  EXPECT_EQ(combo_->Items()->Item(29)->Detail(), u"257"_qs);
  EXPECT_EQ(combo_->ItemIndex(), 0);
  EXPECT_EQ(combo_->Options()->ShapeStyle(), TscGPComboOptions::scgpcssLine);
  EXPECT_EQ(combo_->Options()->FrameNormalColor(), clAqua);
  EXPECT_EQ(combo_->Options()->FontNormalColor(), clAqua);
  EXPECT_EQ(combo_->ListBoxHeaderFont()->Style(), orvelle::Font::FontStyles(orvelle::Font::fsBold));
  EXPECT_EQ(combo_->ListBoxOptions()->FrameWidth(), 2);
  EXPECT_EQ(combo_->ListBoxScrollBarOptions()->Size(), 11);
  EXPECT_EQ(combo_->AccessibleName(), u"Channel"_qs);
}

}  // namespace
}  // namespace orvelle
