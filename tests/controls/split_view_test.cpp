// The sliding side panel: bounds from its placeholder, the slide's steps, the toggle rules and
// their events, enabling with a compact size of 0, and the grip.

#include "controls/split_view.h"
#include "toolkit/form.h"
#include "toolkit/panel.h"

#include "kit_test_support.h"

#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvelle {
namespace {

// Records the four events of a split view in order, with the width at each.
class EventLog : public QObject {
 public:
  explicit EventLog(TscCustomSplitView* view) : view_(view) {
    connect(view, &TscCustomSplitView::OnOpening, this, [this] { Add("Opening"); });
    connect(view, &TscCustomSplitView::OnOpened, this, [this] { Add("Opened"); });
    connect(view, &TscCustomSplitView::OnClosing, this, [this] { Add("Closing"); });
    connect(view, &TscCustomSplitView::OnClosed, this, [this] { Add("Closed"); });
  }
  std::vector<std::string> events;
  std::vector<int> widths;

 private:
  void Add(const char* event) {
    events.emplace_back(event);
    widths.push_back(view_->width());
  }
  TscCustomSplitView* view_;
};

// Ticks until the slide stops, returning the width after each tick.
std::vector<int> SlideToEnd(TscCustomSplitView* view) {
  std::vector<int> widths;
  while (view->AnimationTimer()->isActive() && widths.size() < 100) {
    view->SlideTick();
    widths.push_back(view->width());
  }
  return widths;
}

// The main window's lyrics panel, loaded from the family's layout: a client panel and the split
// view on the right edge, closed.
class SplitViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form_.Load(QStringLiteral(ORVELLE_CONTROL_LAYOUTS "/split_view.json"));
    view_ = form_.Component<TscSplitView>(QStringLiteral("scspltvw1"));
    form_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  }

  std::vector<int> SlideToEnd() { return ::orvelle::SlideToEnd(view_); }
  void Toggle() { view_->SetOpened(!view_->Opened()); }

  Form form_;
  TscSplitView* view_ = nullptr;
};

TEST_F(SplitViewTest, LoadsClosedAndDisabledAsAZeroWidthStripAtTheRightEdge) {
  EXPECT_FALSE(view_->Opened());
  EXPECT_EQ(view_->State(), TscCustomSplitView::scsvsClosed);
  EXPECT_EQ(view_->geometry(), QRect(649, 0, 0, 266));
  EXPECT_FALSE(view_->isEnabled());
  EXPECT_EQ(view_->BackControl()->geometry(), QRect(649, 0, 0, 266));
  EXPECT_EQ(form_.Component<Panel>(QStringLiteral("pnl1"))->geometry(), QRect(0, 0, 649, 266));
  EXPECT_EQ(view_->OpenedWidth(), 230);
  EXPECT_EQ(view_->AnimationStep(), 25);
  EXPECT_EQ(view_->Anchors(), Control::TAnchors(Control::akTop | Control::akRight | Control::akBottom));
  EXPECT_FALSE(view_->AnimationTimer()->isActive());
  EXPECT_EQ(QAccessible::queryAccessibleInterface(view_)->role(), QAccessible::Pane);
  // An open panel at the top edge, over the client panel.
  auto* top = form_.Component<TscSplitView>(QStringLiteral("scspltvw2"));
  EXPECT_TRUE(top->Opened());
  EXPECT_EQ(top->geometry(), QRect(0, 0, 649, 40));
  EXPECT_TRUE(top->isEnabled());

  TscSplitView plain;
  EXPECT_TRUE(plain.Opened());
  EXPECT_EQ(plain.Placement(), TscCustomSplitView::scsvpLeft);
  EXPECT_EQ(plain.DisplayMode(), TscCustomSplitView::scsvmOverlay);
  EXPECT_EQ(plain.OpenedWidth(), 250);
  EXPECT_EQ(plain.OpenedHeight(), 50);
  EXPECT_EQ(plain.CompactWidth(), 50);
  EXPECT_EQ(plain.CompactHeight(), 20);
  EXPECT_TRUE(plain.Animation());
  EXPECT_EQ(plain.AnimationTimer()->interval(), 15);
  EXPECT_EQ(plain.GripSize(), 0);
}

TEST_F(SplitViewTest, OpeningSlidesTwentyFivePixelsPerTickKeepingTheRightEdge) {
  EventLog log(view_);
  view_->SetOpened(true);
  EXPECT_EQ(log.events, std::vector<std::string>{"Opening"});
  EXPECT_TRUE(view_->AnimationTimer()->isActive());
  EXPECT_EQ(view_->width(), 0);
  std::vector<QRect> steps;
  std::vector<bool> enabled;
  while (view_->AnimationTimer()->isActive() && steps.size() < 100) {
    view_->SlideTick();
    steps.push_back(view_->geometry());
    enabled.push_back(view_->isEnabled());
    // OnOpened only once the panel is fully open.
    EXPECT_EQ(log.events.size() == 2, view_->width() == 230) << view_->width();
  }
  const int widths[] = {25, 50, 75, 100, 125, 150, 175, 200, 225, 230};
  ASSERT_EQ(steps.size(), std::size(widths));
  for (size_t i = 0; i < steps.size(); ++i) {
    EXPECT_EQ(steps[i], QRect(649 - widths[i], 0, widths[i], 266)) << "tick " << i + 1;
    EXPECT_TRUE(enabled[i]) << "tick " << i + 1;  // enabled from the first tick on
  }
  EXPECT_EQ(log.events, (std::vector<std::string>{"Opening", "Opened"}));
  EXPECT_EQ(log.widths.back(), 230);
  EXPECT_TRUE(view_->Opened());
  view_->SlideTick();  // a stray tick changes nothing
  EXPECT_EQ(view_->geometry(), QRect(419, 0, 230, 266));
}

TEST_F(SplitViewTest, ClosingSlidesBackAndDisablesInTheTickThatReachesZero) {
  view_->SetOpened(true);
  SlideToEnd();
  EventLog log(view_);
  view_->SetOpened(false);
  std::vector<int> widths;
  std::vector<bool> enabled;
  while (view_->AnimationTimer()->isActive() && widths.size() < 100) {
    view_->SlideTick();
    widths.push_back(view_->width());
    enabled.push_back(view_->isEnabled());
    EXPECT_EQ(view_->x() + view_->width(), 649);
  }
  EXPECT_EQ(widths, (std::vector<int>{205, 180, 155, 130, 105, 80, 55, 30, 5, 0}));
  EXPECT_EQ(enabled, (std::vector<bool>{true, true, true, true, true, true, true, true, true, false}));
  EXPECT_EQ(log.events, (std::vector<std::string>{"Closing", "Closed"}));
  EXPECT_EQ(view_->geometry(), QRect(649, 0, 0, 266));
}

// The program toggles by negating Opened: a second toggle while opening asks to open again and
// is ignored; a toggle while closing reverses the slide from the current width.
TEST(SplitViewToggle, EventOrderTable) {
  const struct {
    const char* name;
    std::vector<std::string> script;  // "toggle", "close" (Opened := false), "tick", "end" (tick until it stops)
    std::vector<std::string> events;
    int width;
  } cases[] = {
      {"open", {"toggle", "end"}, {"Opening", "Opened"}, 230},
      {"second toggle while opening", {"toggle", "tick", "toggle", "tick", "toggle", "end"}, {"Opening", "Opened"}, 230},
      {"toggle while closing reverses",
       {"toggle", "end", "toggle", "tick", "tick", "tick", "toggle", "end"},
       {"Opening", "Opened", "Closing", "Opening", "Opened"}, 230},
      {"close while opening reverses", {"toggle", "tick", "tick", "close", "end"}, {"Opening", "Closing", "Closed"}, 0},
      {"close when closed", {"close", "tick"}, {}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Form form;
    form.Load(QStringLiteral(ORVELLE_CONTROL_LAYOUTS "/split_view.json"));
    auto* view = form.Component<TscSplitView>(QStringLiteral("scspltvw1"));
    EventLog log(view);
    for (const std::string& step : c.script) {
      if (step == "toggle") view->SetOpened(!view->Opened());
      if (step == "close") view->SetOpened(false);
      if (step == "tick") view->SlideTick();
      if (step == "end") SlideToEnd(view);
    }
    EXPECT_EQ(log.events, c.events);
    EXPECT_EQ(view->width(), c.width);
    EXPECT_EQ(view->isEnabled(), c.width > 0);
    EXPECT_FALSE(view->AnimationTimer()->isActive());
  }
}

TEST_F(SplitViewTest, ReversedSlidesPassTheRightWidths) {
  Toggle();
  SlideToEnd();
  Toggle();
  for (int i = 0; i < 3; ++i) view_->SlideTick();
  EXPECT_EQ(view_->width(), 155);
  Toggle();  // reopens from 155
  EXPECT_EQ(SlideToEnd(), (std::vector<int>{180, 205, 230}));
  Toggle();
  view_->SlideTick();
  Toggle();  // reopening from 205
  EXPECT_EQ(view_->State(), TscCustomSplitView::scsvsOpening);
  view_->SetOpened(false);  // closing again from 205
  EXPECT_EQ(view_->State(), TscCustomSplitView::scsvsClosing);
  EXPECT_EQ(SlideToEnd().front(), 180);
}

TEST_F(SplitViewTest, WithoutAnimationOpenedFiresInsideTheSetter) {
  view_->SetAnimation(false);
  EventLog log(view_);
  int width_in_handler = -1;
  bool enabled_in_handler = false;
  QObject::connect(view_, &TscCustomSplitView::OnOpened, &log, [&] {
    width_in_handler = view_->width();
    enabled_in_handler = view_->isEnabled();
  });
  view_->SetOpened(true);
  EXPECT_EQ(width_in_handler, 230);
  EXPECT_TRUE(enabled_in_handler);
  EXPECT_EQ(view_->geometry(), QRect(419, 0, 230, 266));
  EXPECT_FALSE(view_->AnimationTimer()->isActive());
  view_->SetOpened(false);
  EXPECT_EQ(log.events, (std::vector<std::string>{"Opened", "Closed"}));
  EXPECT_EQ(view_->geometry(), QRect(649, 0, 0, 266));
  EXPECT_FALSE(view_->isEnabled());
}

// Open and Close skip the setter's checks: opening restarts from the current width, and while
// the window loads they reach the end state at once instead of a slide that no timer would run.
TEST_F(SplitViewTest, OpenAndCloseSkipTheChecksAndNeverLeaveASlideWhileLoading) {
  EventLog log(view_);
  view_->SetOpened(true);
  view_->SlideTick();
  view_->Open();
  EXPECT_EQ(log.events, (std::vector<std::string>{"Opening", "Opening"}));
  EXPECT_EQ(SlideToEnd().front(), 50);

  view_->BeginLoad();
  view_->Close();
  EXPECT_EQ(view_->State(), TscCustomSplitView::scsvsClosed);
  view_->Open();
  view_->EndLoad();
  EXPECT_EQ(view_->State(), TscCustomSplitView::scsvsOpened);
  EXPECT_EQ(view_->geometry(), QRect(419, 0, 230, 266));
  EXPECT_FALSE(view_->AnimationTimer()->isActive());
  EXPECT_EQ(log.events.size(), 3u);  // no events while loading
}

TEST_F(SplitViewTest, ResizingTheWindowKeepsTheOpenPanelOnTheRightEdgeAtFullHeight) {
  view_->SetAnimation(false);
  view_->SetOpened(true);
  form_.SetClientWidth(800);
  form_.SetClientHeight(300);
  EXPECT_EQ(view_->geometry(), QRect(570, 0, 230, 300));
  view_->SetOpened(false);
  EXPECT_EQ(view_->geometry(), QRect(800, 0, 0, 300));
}

TEST_F(SplitViewTest, OpenPanelIsDrawnOverTheWindowInItsColour) {
  view_->SetOpened(true);
  SlideToEnd();
  view_->SetColor(Color::FromRgb(200, 10, 10));
  view_->findChild<Control*>(QStringLiteral("sv_content"))->SetVisible(false);
  const QImage window = form_.grab().toImage();
  EXPECT_EQ(window.pixelColor(500, 200), QColor(200, 10, 10));
  EXPECT_NE(window.pixelColor(400, 200), QColor(200, 10, 10));
}

// Bounds snap to the placeholder for every placement, opened and closed.
TEST(SplitViewPlacement, BoundsSnappingTable) {
  const struct {
    TscCustomSplitView::TscSplitViewPlacement placement;
    QRect opened;
    QRect closed;
  } cases[] = {
      {TscCustomSplitView::scsvpLeft, {0, 0, 120, 300}, {0, 0, 30, 300}},
      {TscCustomSplitView::scsvpRight, {280, 0, 120, 300}, {370, 0, 30, 300}},
      {TscCustomSplitView::scsvpTop, {0, 0, 400, 60}, {0, 0, 400, 10}},
      {TscCustomSplitView::scsvpBottom, {0, 240, 400, 60}, {0, 290, 400, 10}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.placement);
    Form form;
    form.SetClientWidth(400);
    form.SetClientHeight(300);
    auto* view = new TscSplitView(&form);
    view->SetAnimation(false);
    view->SetOpenedWidth(120);
    view->SetCompactWidth(30);
    view->SetOpenedHeight(60);
    view->SetCompactHeight(10);
    view->SetPlacement(c.placement);
    view->SetBounds(50, 50, 7, 7);  // ignored: the placeholder decides
    EXPECT_EQ(view->geometry(), c.opened);
    view->SetOpened(false);
    EXPECT_EQ(view->geometry(), c.closed);
    EXPECT_TRUE(view->isEnabled());  // a non-zero compact size never disables
    EXPECT_EQ(view->BackControl()->geometry(), c.closed);
  }
}

TEST(SplitViewPlacement, DockedPlaceholderPushesTheClientPanelAside) {
  Form form;
  form.SetClientWidth(400);
  form.SetClientHeight(300);
  auto* client = new Panel(&form);
  client->SetAlign(Control::alClient);
  auto* view = new TscSplitView(&form);
  view->SetOpenedWidth(120);
  view->SetCompactWidth(30);
  view->SetDisplayMode(TscCustomSplitView::scsvmDocked);
  EXPECT_EQ(client->geometry(), QRect(120, 0, 280, 300));
  view->SetOpened(false);
  view->SlideTick();
  EXPECT_EQ(view->width(), 95);
  EXPECT_EQ(client->geometry(), QRect(95, 0, 305, 300));
  while (view->AnimationTimer()->isActive()) view->SlideTick();
  EXPECT_EQ(client->geometry(), QRect(30, 0, 370, 300));
  view->SetDisplayMode(TscCustomSplitView::scsvmOverlay);
  view->SetOpened(true);
  while (view->AnimationTimer()->isActive()) view->SlideTick();
  EXPECT_EQ(client->geometry(), QRect(30, 0, 370, 300));  // overlay: over the client panel
  EXPECT_EQ(view->geometry(), QRect(0, 0, 120, 300));
}

TEST(SplitViewPlacement, OpenedSizeSettersReapplyTheBounds) {
  Form form;
  form.SetClientWidth(400);
  form.SetClientHeight(300);
  auto* view = new TscSplitView(&form);
  view->SetPlacement(TscCustomSplitView::scsvpRight);
  view->SetOpenedWidth(200);
  EXPECT_EQ(view->geometry(), QRect(200, 0, 200, 300));
  view->SetOpenedWidth(260);
  EXPECT_EQ(view->geometry(), QRect(140, 0, 260, 300));
  view->SetAnimation(false);
  view->SetOpened(false);
  view->SetCompactWidth(40);
  EXPECT_EQ(view->geometry(), QRect(360, 0, 40, 300));
  EXPECT_EQ(view->BackControl()->geometry(), QRect(360, 0, 40, 300));
}

TEST(SplitViewPlacement, ThePlaceholderFollowsTheParentAndTheVisibility) {
  Form first;
  first.SetClientWidth(400);
  first.SetClientHeight(300);
  Form second;
  second.SetClientWidth(300);
  second.SetClientHeight(200);
  auto* sibling = new Panel(&first);
  auto* view = new TscSplitView(&first);
  view->SetPlacement(TscCustomSplitView::scsvpRight);
  first.show();
  const QObjectList& order = first.children();
  EXPECT_LT(order.indexOf(const_cast<TscSplitViewBackControl*>(view->BackControl())), order.indexOf(sibling));
  view->SetVisible(false);
  EXPECT_FALSE(view->BackControl()->isVisible());
  view->SetVisible(true);
  EXPECT_TRUE(view->BackControl()->isVisible());

  view->setParent(&second);
  EXPECT_EQ(view->BackControl()->parentWidget(), &second);
  EXPECT_EQ(view->BackControl()->geometry(), QRect(250, 0, 50, 200));
  EXPECT_EQ(view->geometry(), QRect(50, 0, 250, 200));
  delete view;
  EXPECT_TRUE(second.findChildren<TscSplitViewBackControl*>().isEmpty());
}

TEST(SplitViewGrip, DraggingTheInnerEdgeResizesWithinTheLimits) {
  Form form;
  form.SetClientWidth(600);
  form.SetClientHeight(300);
  auto* view = new TscSplitView(&form);
  view->SetPlacement(TscCustomSplitView::scsvpRight);
  view->SetCompactWidth(0);
  view->SetOpenedWidth(200);
  view->SetGripSize(6);
  view->SetOpenedMinWidth(150);
  view->SetOpenedMaxWidth(300);
  int clicks = 0;
  QObject::connect(view, &Control::OnClick, view, [&] { ++clicks; });
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

  QTest::mouseMove(view, QPoint(3, 100));
  EXPECT_EQ(view->cursor().shape(), Qt::SizeHorCursor);
  QTest::mouseMove(view, QPoint(50, 100));
  EXPECT_EQ(view->cursor().shape(), Qt::ArrowCursor);

  const struct {
    int pointer_x;  // in the window
    int width;
  } drags[] = {{382, 220}, {302, 300}, {252, 300}, {502, 150}, {402, 250}};
  QTest::mousePress(view, Qt::LeftButton, {}, QPoint(2, 100));  // at 402 in the window
  for (const auto& d : drags) {
    const QPointF in_window(d.pointer_x, 100);
    QMouseEvent move(QEvent::MouseMove, view->mapFromParent(in_window), form.mapToGlobal(in_window), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    EXPECT_EQ(view->OpenedWidth(), d.width) << "pointer at " << d.pointer_x;
    EXPECT_EQ(view->geometry(), QRect(600 - d.width, 0, d.width, 300));
  }
  QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(2, 100));
  EXPECT_EQ(clicks, 0);  // a grip drag is not a click
  QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(60, 100));
  EXPECT_EQ(clicks, 1);
}

TEST(SplitViewChildren, HideControlsHidesChildrenWhileClosed) {
  Form form;
  form.SetClientWidth(400);
  form.SetClientHeight(300);
  auto* view = new TscSplitView(&form);
  auto* child = new Panel(view);
  auto* hidden = new Panel(view);
  hidden->SetVisible(false);
  view->SetHideControls(true);
  form.show();
  view->SetOpened(false);
  EXPECT_FALSE(child->isVisible());
  while (view->AnimationTimer()->isActive()) view->SlideTick();
  view->SetOpened(true);
  EXPECT_FALSE(child->isVisible());  // shown again only when fully open
  while (view->AnimationTimer()->isActive()) view->SlideTick();
  EXPECT_TRUE(child->isVisible());
  EXPECT_FALSE(hidden->isVisible());
}

// Sizes a widget cannot take and a step of 0 still end the slide, at the nearest size a widget
// can take, with the end event fired and the timer stopped.
TEST(SplitViewSlide, EverySlideEndsWhateverTheSizesAndTheStep) {
  const struct {
    const char* name;
    int opened_width;
    int compact_width;
    ushort step;
    bool open;  // slide to open, else to close
    int end_width;
  } cases[] = {
      {"step 0 opens", 40, 0, 0, true, 40},
      {"step 0 closes", 40, 0, 0, false, 0},
      {"negative compact width", 120, -50, 25, false, 0},
      {"opened width beyond a widget's limit", 100000000, 0, 65535, true, QWIDGETSIZE_MAX},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Form form;
    auto* view = new TscSplitView(&form);
    view->SetAnimation(false);
    view->SetOpenedWidth(c.opened_width);
    view->SetCompactWidth(c.compact_width);
    view->SetOpened(!c.open);
    view->SetAnimation(true);
    view->SetAnimationStep(c.step);
    EventLog log(view);
    view->SetOpened(c.open);
    int ticks = 0;
    while (view->AnimationTimer()->isActive() && ticks < 1000) {
      view->SlideTick();
      ++ticks;
    }
    EXPECT_FALSE(view->AnimationTimer()->isActive());
    EXPECT_EQ(view->width(), c.end_width);
    EXPECT_EQ(view->Opened(), c.open);
    EXPECT_EQ(log.events.back(), c.open ? "Opened" : "Closed");
  }
}

// Without a slide the end sizes are clamped the same way: a negative compact size closes the
// panel to nothing at its edge instead of pushing it past the edge.
TEST(SplitViewSlide, WithoutAnimationANegativeCompactSizeClosesAtTheEdge) {
  Form form;
  form.SetClientWidth(400);
  form.SetClientHeight(300);
  auto* view = new TscSplitView(&form);
  view->SetAnimation(false);
  view->SetPlacement(TscCustomSplitView::scsvpRight);
  view->SetOpenedWidth(120);
  view->SetCompactWidth(-50);
  view->SetOpened(false);
  EXPECT_EQ(view->geometry(), QRect(400, 0, 0, 300));
  view->SetOpened(true);
  EXPECT_EQ(view->geometry(), QRect(280, 0, 120, 300));
  view->SetOpenedWidth(-30);  // snapped to the placeholder: nothing of it shows, at the edge
  EXPECT_EQ(view->geometry(), QRect(400, 0, 0, 300));
}

TEST(SplitViewScale, ScalesItsSizes) {
  TscSplitView view;
  view.SetOpenedMaxWidth(400);
  view.ChangeScale(144, 96);
  EXPECT_EQ(view.OpenedWidth(), 375);
  EXPECT_EQ(view.CompactWidth(), 75);
  EXPECT_EQ(view.OpenedHeight(), 75);
  EXPECT_EQ(view.CompactHeight(), 30);
  EXPECT_EQ(view.OpenedMaxWidth(), 600);
}

}  // namespace
}  // namespace orvelle
