#include "controls/gp_button.h"
#include "service/error.h"
#include "toolkit/form.h"
#include "toolkit/image_list.h"
#include "toolkit/theme.h"

#include "kit_test_support.h"

#include <QAccessible>
#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaProperty>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <vector>

namespace orvelle {
namespace {

// The Glow theme's values of the system colours the button's defaults use.
const QColor kFace(0x24, 0x29, 0x30);       // clBtnFace
const QColor kShadow(0x1B, 0x1E, 0x23);     // clBtnShadow
const QColor kHighlight(0x35, 0xBD, 0xBB);  // clHighlight
const QColor kBackground(10, 20, 30);       // the form behind the buttons
// Long enough for several repeated clicks at the 20 ms interval the repeat test uses.
constexpr int kRepeatWait = 150;

// One solid colour per image, so that a pixel tells which image is drawn.
const QColor kImageColors[] = {QColor(200, 0, 0), QColor(0, 200, 0), QColor(0, 0, 200), QColor(200, 200, 0)};

using Options = TscGPButtonOptions;

// Records what happens to a button: each repaint with the state it painted, and each click.
class Recorder : public QObject {
 public:
  explicit Recorder(TscGPButton* button) : button_(button) {
    button->installEventFilter(this);
    QObject::connect(button, &Control::OnClick, this, [this] { log.push_back("click"); });
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) log.push_back(StateName(button_->GetCtrlState()));
    return false;
  }
  static std::string StateName(TscsCtrlState state) {
    static const char* const kNames[] = {"normal", "hot", "pressed", "focused", "disabled"};
    return kNames[state];
  }
  int Count(const std::string& entry) const { return static_cast<int>(std::count(log.begin(), log.end(), entry)); }
  std::vector<std::string> log;

 private:
  TscGPButton* button_;
};

class GPButtonTest : public ::testing::Test {
 public:
  void SetUp() override {
    ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
    images_.SetWidth(24);
    images_.SetHeight(24);
    for (const QColor& color : kImageColors) {
      QImage image(24, 24, QImage::Format_ARGB32_Premultiplied);
      image.fill(color);
      images_.Add(image);
    }
    form_.SetClientWidth(300);
    form_.SetClientHeight(120);
    form_.SetColor(Color::FromRgb(kBackground.red(), kBackground.green(), kBackground.blue()));
    form_.move(0, 0);
    QCursor::setPos(1000, 1000);  // away from the buttons
    button_ = MakeButton(10, 10, 87, 35);
    // The focus rests on an invisible control, as on the main window, so no button shows focused.
    focus_sink_ = new QWidget(&form_);
    focus_sink_->setGeometry(0, -2000, 10, 10);
    focus_sink_->setFocusPolicy(Qt::StrongFocus);
    form_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
    focus_sink_->setFocus();
  }
  TscGPButton* MakeButton(int left, int top, int width, int height) {
    auto* button = new TscGPButton(&form_);
    button->SetBounds(left, top, width, height);
    button->SetShowCaption(false);
    button->SetImages(&images_);
    button->SetImageIndex(0);
    button->SetHotImageIndex(1);
    button->show();
    return button;
  }

  QImage Shown(QWidget* control) { return test::GrabAsShown(control); }
  QColor Pixel(QWidget* control, int x, int y) { return QColor(Shown(control).pixel(x, y)); }

  void Send(QEvent::Type type, QPointF p, Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, p, button_->mapToGlobal(p), type == QEvent::MouseMove ? Qt::NoButton : button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(button_, &event);
  }
  void MoveIn() { Send(QEvent::MouseMove, QPointF(40, 17)); }
  void MoveOut() { Send(QEvent::MouseMove, QPointF(120, 17)); }
  void Press(Qt::MouseButton b = Qt::LeftButton) { Send(QEvent::MouseButtonPress, QPointF(40, 17), b); }
  void Release(QPointF p = QPointF(40, 17), Qt::MouseButton b = Qt::LeftButton) {
    Send(QEvent::MouseButtonRelease, p, b);
  }
  void Key(QEvent::Type type, int key, bool autoRepeat = false) {
    QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(button_, &event);
  }

  // Runs the event loop until the condition holds or a generous time has passed.
  static bool WaitFor(const std::function<bool()>& condition) {
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return condition();
  }

  test::ScopedTheme theme_;  // declared first: the theme is restored after the form is gone
  ImageList images_;
  Form form_;
  TscGPButton* button_;
  QWidget* focus_sink_;
};

TEST_F(GPButtonTest, ClassDefaults) {
  TscGPButton button;
  EXPECT_EQ(button.size(), QSize(100, 35));
  EXPECT_TRUE(button.ShowCaption());
  EXPECT_EQ(button.ImageIndex(), -1);
  EXPECT_EQ(button.HotImageIndex(), -1);
  EXPECT_EQ(button.PressedImageIndex(), -1);
  EXPECT_EQ(button.FocusedImageIndex(), -1);
  EXPECT_EQ(button.Layout(), TscCustomButtonControl::blGlyphLeft);
  EXPECT_EQ(button.Margin(), -1);
  EXPECT_EQ(button.Spacing(), 1);
  EXPECT_EQ(button.ImageMargin(), 0);
  EXPECT_TRUE(button.TransparentBackground());
  EXPECT_TRUE(button.CanFocused());
  EXPECT_TRUE(button.TabStop());
  EXPECT_EQ(button.RepeatClickInterval(), 100);
  EXPECT_FALSE(button.GlowEffect()->Enabled());
  EXPECT_TRUE(button.ScaleFrameWidth());
  EXPECT_FALSE(button.ScaleMarginAndSpacing());

  const Options& o = *button.Options();
  const std::vector<std::pair<Color, Color>> colours = {
      {o.NormalColor(), clBtnFace},          {o.HotColor(), clBtnFace},
      {o.PressedColor(), clBtnShadow},       {o.FocusedColor(), clBtnFace},
      {o.DisabledColor(), clBtnFace},        {o.FrameNormalColor(), clBtnShadow},
      {o.FrameHotColor(), clHighlight},      {o.FramePressedColor(), clHighlight},
      {o.FrameFocusedColor(), clHighlight},  {o.FrameDisabledColor(), clBtnShadow},
      {o.FontNormalColor(), clBtnText},      {o.FontHotColor(), clBtnText},
      {o.FontPressedColor(), clBtnText},     {o.FontFocusedColor(), clBtnText},
      {o.FontDisabledColor(), clBtnShadow}};
  for (size_t i = 0; i < colours.size(); ++i) EXPECT_EQ(colours[i].first, colours[i].second) << "colour " << i;
  for (const int alpha : {o.NormalColorAlpha(), o.HotColorAlpha(), o.PressedColorAlpha(), o.FocusedColorAlpha(),
                          o.DisabledColorAlpha(), o.FrameNormalColorAlpha(), o.FrameHotColorAlpha(),
                          o.FramePressedColorAlpha(), o.FrameFocusedColorAlpha(), o.FrameDisabledColorAlpha()}) {
    EXPECT_EQ(alpha, 255);
  }
  EXPECT_EQ(o.FrameWidth(), 1);
  EXPECT_EQ(o.ShapeStyle(), Options::scgpRect);
  EXPECT_EQ(o.ShapeCornerRadius(), 10);
  EXPECT_EQ(o.ShapeFillStyle(), Options::scgpsfColor);
  EXPECT_EQ(o.ShapeFillGradientAngle(), 90);
  EXPECT_EQ(o.ShapeFillGradientPressedAngle(), -90);
  EXPECT_EQ(o.ArrowSize(), 9);
  EXPECT_TRUE(o.StyleColors());
}

TEST_F(GPButtonTest, OptionSettersIgnoreValuesOutOfRangeAndRepaintOnlyOnChange) {
  struct Case {
    const char* property;
    int value;
    int stored;
    bool repaints;
  };
  const Case cases[] = {
      {"FrameWidth", 0, 1, false},          {"FrameWidth", -2, 1, false},
      {"FrameWidth", 1, 1, false},          {"FrameWidth", 3, 3, true},
      {"ShapeCornerRadius", 0, 10, false},  {"ShapeCornerRadius", 4, 4, true},
      {"ArrowSize", 6, 9, false},           {"ArrowSize", 7, 7, true},
      {"NormalColorAlpha", 256, 255, false}, {"NormalColorAlpha", -1, 255, false},
      {"NormalColorAlpha", 0, 0, true},
      // The gradient angles show only with the gradient fill style, which is off here.
      {"ShapeFillGradientAngle", 361, 90, false}, {"ShapeFillGradientAngle", -360, -360, false},
      {"ShapeFillGradientPressedAngle", -361, -90, false}, {"ShapeFillGradientPressedAngle", 360, 360, false},
  };
  for (const Case& c : cases) {
    TscGPButton button;
    QSignalSpy changed(button.Options(), &TscOptions::Changed);
    button.Options()->setProperty(c.property, c.value);
    EXPECT_EQ(button.Options()->property(c.property).toInt(), c.stored) << c.property << " = " << c.value;
    EXPECT_EQ(changed.count(), c.repaints ? 1 : 0) << c.property << " = " << c.value;
  }
  TscGPButton button;
  button.Options()->SetShapeFillStyle(Options::scgpsfGradient);
  QSignalSpy changed(button.Options(), &TscOptions::Changed);
  button.Options()->SetShapeFillGradientAngle(45);
  button.Options()->SetShapeFillGradientPressedAngle(-45);
  EXPECT_EQ(changed.count(), 2);

  struct ButtonCase {
    const char* property;
    int value;
    int stored;
  };
  const ButtonCase button_cases[] = {{"Margin", -2, -1},    {"Margin", 0, 0},        {"Spacing", -1, 1},
                                     {"Spacing", 0, 0},     {"ImageMargin", -1, 0},  {"ImageMargin", 5, 5},
                                     {"RepeatClickInterval", 0, 100}, {"RepeatClickInterval", 50, 50}};
  for (const ButtonCase& c : button_cases) {
    TscGPButton b;
    b.setProperty(c.property, c.value);
    EXPECT_EQ(b.property(c.property).toInt(), c.stored) << c.property << " = " << c.value;
  }
}

TEST_F(GPButtonTest, RectangleFrameFillAndImagePlacementOfTheTransportButtons) {
  // 87 x 35, frame width 1: frame on the outermost pixels, fill inside, the 24 x 24 image with
  // its top-left corner at (31, 5).
  const QImage normal = Shown(button_);
  for (const QPoint p : {QPoint(0, 0), QPoint(86, 0), QPoint(0, 34), QPoint(86, 34), QPoint(43, 0), QPoint(0, 17)}) {
    EXPECT_EQ(QColor(normal.pixel(p)), kShadow) << p.x() << "," << p.y();
  }
  for (const QPoint p : {QPoint(1, 1), QPoint(85, 33), QPoint(30, 5), QPoint(31, 4), QPoint(55, 28), QPoint(54, 29)}) {
    EXPECT_EQ(QColor(normal.pixel(p)), kFace) << p.x() << "," << p.y();
  }
  EXPECT_EQ(QColor(normal.pixel(31, 5)), kImageColors[0]);
  EXPECT_EQ(QColor(normal.pixel(54, 28)), kImageColors[0]);

  MoveIn();
  const QImage hot = Shown(button_);
  EXPECT_EQ(QColor(hot.pixel(0, 0)), kHighlight);
  EXPECT_EQ(QColor(hot.pixel(1, 1)), kFace);
  EXPECT_EQ(QColor(hot.pixel(31, 5)), kImageColors[1]);

  Press();
  const QImage pressed = Shown(button_);
  EXPECT_EQ(QColor(pressed.pixel(0, 0)), kHighlight);
  EXPECT_EQ(QColor(pressed.pixel(1, 1)), kShadow);
  EXPECT_EQ(QColor(pressed.pixel(31, 5)), kImageColors[1]);  // pressed index -1: the hot image
}

TEST_F(GPButtonTest, RoundedCornersOfTheMuteAndNoticeButtons) {
  // btn5: 26 x 21, radius 10: a 25 x 20 frame rectangle with diameter 20 has half-round ends.
  auto* mute = MakeButton(120, 10, 26, 21);
  mute->SetImageIndex(-1);
  mute->Options()->SetShapeStyle(Options::scgpRoundedRect);
  const QImage m = Shown(mute);
  EXPECT_EQ(QColor(m.pixel(0, 0)), kBackground);  // the corners show the form
  EXPECT_EQ(QColor(m.pixel(3, 0)), kBackground);
  EXPECT_EQ(QColor(m.pixel(25, 20)), kBackground);
  EXPECT_EQ(QColor(m.pixel(13, 0)), kShadow);  // the straight part of the top edge
  EXPECT_EQ(QColor(m.pixel(13, 20)), kShadow);
  EXPECT_EQ(QColor(m.pixel(5, 10)), kFace);
  EXPECT_NE(QColor(m.pixel(0, 9)), kShadow);  // no straight left edge: the arc only touches it

  // btn9: 26 x 24: the same arcs on a 25 x 23 rectangle leave a straight left edge at rows 11-12.
  auto* notice = MakeButton(160, 10, 26, 24);
  notice->SetImageIndex(-1);
  notice->Options()->SetShapeStyle(Options::scgpRoundedRect);
  const QImage n = Shown(notice);
  EXPECT_EQ(QColor(n.pixel(0, 11)), kShadow);
  EXPECT_EQ(QColor(n.pixel(0, 12)), kShadow);
  EXPECT_EQ(QColor(n.pixel(0, 0)), kBackground);
  EXPECT_EQ(QColor(n.pixel(25, 23)), kBackground);
}

// Whether a pixel shows the normal frame colour; the outlines of the shapes that the program's
// windows do not use are anti-aliased strokes, which cover their square corners almost fully.
bool IsFrame(QRgb pixel) {
  const QColor c(pixel);
  return std::abs(c.red() - kShadow.red()) <= 6 && std::abs(c.green() - kShadow.green()) <= 6 &&
         std::abs(c.blue() - kShadow.blue()) <= 6;
}

TEST_F(GPButtonTest, EveryShapeStyleHasItsCorners) {
  // Which of the four corner pixels (top-left, top-right, bottom-right, bottom-left) the frame
  // covers, and whether the middle of the bottom and of the left edge are frame (tabs leave one
  // side open).
  struct Case {
    Options::TscGPButtonShapeStyle style;
    bool corners[4];
    bool bottom_framed;
    bool left_framed;
  };
  const Case cases[] = {
      {Options::scgpRect, {true, true, true, true}, true, true},
      {Options::scgpRoundedRect, {false, false, false, false}, true, true},
      {Options::scgpRoundedLeftRight, {false, false, false, false}, true, true},
      {Options::scgpSegmentedLeft, {false, true, true, false}, true, true},
      {Options::scgpSegmentedLeftRounded, {false, true, true, false}, true, true},
      {Options::scgpSegmentedRight, {true, false, false, true}, true, true},
      {Options::scgpSegmentedRightRounded, {true, false, false, true}, true, true},
      {Options::scgpSegmentedMiddle, {true, true, true, true}, true, true},
      {Options::scgpTabLeft, {false, true, true, false}, true, true},
      {Options::scgpTabLeftRounded, {false, true, true, false}, true, true},
      {Options::scgpTabRight, {true, false, false, true}, true, false},
      {Options::scgpTabRightRounded, {true, false, false, true}, true, false},
      {Options::scgpTabTop, {false, false, true, true}, false, true},
      {Options::scgpTabBottom, {true, true, false, false}, true, true},
      {Options::scgpEllipse, {false, false, false, false}, true, true},
  };
  button_->SetImageIndex(-1);
  button_->SetHotImageIndex(-1);
  for (const Case& c : cases) {
    button_->Options()->SetShapeStyle(c.style);
    const QImage image = Shown(button_);
    const QPoint corners[] = {QPoint(0, 0), QPoint(86, 0), QPoint(86, 34), QPoint(0, 34)};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(IsFrame(image.pixel(corners[i])), c.corners[i]) << "style " << c.style << " corner " << i;
    }
    EXPECT_EQ(IsFrame(image.pixel(43, 34)), c.bottom_framed) << "style " << c.style;
    EXPECT_EQ(IsFrame(image.pixel(0, 17)), c.left_framed) << "style " << c.style;
    EXPECT_EQ(QColor(image.pixel(43, 17)), kFace) << "style " << c.style;
  }
  // The circle keeps the button square.
  button_->Options()->SetShapeStyle(Options::scgpRounded);
  EXPECT_EQ(button_->size(), QSize(35, 35));
  button_->SetHeight(40);
  EXPECT_EQ(button_->size(), QSize(40, 40));
}

TEST_F(GPButtonTest, TranslucentOrMissingFrameChangesTheFillRectangle) {
  button_->SetImageIndex(-1);
  // A translucent frame: the fill stops one frame width in, so the frame blends over the form.
  button_->Options()->SetFrameNormalColor(Color::FromRgb(255, 255, 255));
  button_->Options()->SetFrameNormalColorAlpha(128);
  const QColor edge = Pixel(button_, 0, 17);
  EXPECT_NEAR(edge.red(), (255 * 128 + kBackground.red() * 127) / 255, 2);
  EXPECT_NEAR(edge.blue(), (255 * 128 + kBackground.blue() * 127) / 255, 2);
  EXPECT_EQ(Pixel(button_, 1, 17), kFace);
  // No frame colour: the fill covers the whole button.
  button_->Options()->SetFrameNormalColor(clNone);
  EXPECT_EQ(Pixel(button_, 0, 17), kFace);
  EXPECT_EQ(Pixel(button_, 0, 0), kFace);
}

TEST_F(GPButtonTest, GradientFillRunsFromLighterToDarkerAtTheStateAngle) {
  button_->SetImageIndex(-1);
  button_->Options()->SetShapeFillStyle(Options::scgpsfGradient);
  const QColor top = Pixel(button_, 43, 1);
  const QColor bottom = Pixel(button_, 43, 33);
  // clBtnFace #242930 lightened by 25 % is #5B5E64, darkened #1B1E24; the fill spans the frame
  // rectangle grown by one pixel, so the first and last rows lie close to the ends.
  EXPECT_GT(top.red(), bottom.red() + 40);
  EXPECT_NEAR(top.red(), 0x5B, 8);
  EXPECT_NEAR(bottom.red(), 0x1B, 8);
  // Pressed, at -90 degrees: the darker end at the top. The pressed fill is clBtnShadow.
  MoveIn();
  Press();
  EXPECT_LT(Pixel(button_, 43, 1).red(), Pixel(button_, 43, 33).red());
}

TEST_F(GPButtonTest, ImageIndexPerStateFallsBack) {
  struct Case {
    int hot, pressed, focused;
    int expected[5];  // normal, hot, pressed, focused, disabled
  };
  const Case cases[] = {
      {1, -1, -1, {0, 1, 1, 1, 0}},
      {-1, -1, -1, {0, 0, 0, 0, 0}},
      {1, 2, 3, {0, 1, 2, 3, 0}},
      {-1, 2, -1, {0, 0, 2, 0, 0}},
  };
  for (const Case& c : cases) {
    button_->SetHotImageIndex(c.hot);
    button_->SetPressedImageIndex(c.pressed);
    button_->SetFocusedImageIndex(c.focused);
    for (int s = scsNormal; s <= scsDisabled; ++s) {
      EXPECT_EQ(button_->StateImageIndex(static_cast<TscsCtrlState>(s)), c.expected[s])
          << "hot " << c.hot << " pressed " << c.pressed << " focused " << c.focused << " state " << s;
    }
  }
  // An index at or past the count draws the shape without an image.
  button_->SetImageIndex(4);
  EXPECT_EQ(Pixel(button_, 31, 5), kFace);
}

TEST_F(GPButtonTest, ImageIndexRepaintsWhileHotImageIndexOnlyStores) {
  Recorder recorder(button_);
  MoveIn();
  recorder.log.clear();
  // The play/pause pattern: the click handler writes ImageIndex, then HotImageIndex.
  button_->SetImageIndex(2);
  EXPECT_EQ(recorder.log, std::vector<std::string>{"hot"});
  button_->SetImageIndex(2);
  button_->SetHotImageIndex(3);
  EXPECT_EQ(recorder.log.size(), 1u);
  // The old hot image is still on screen until something repaints.
  button_->RePaintControl();
  EXPECT_EQ(Pixel(button_, 31, 5), kImageColors[3]);
}

TEST_F(GPButtonTest, ClickComesAfterTheHotRepaintAndOnlyForAReleaseInside) {
  struct Case {
    const char* name;
    std::function<void(GPButtonTest&)> actions;
    int clicks;
    TscsCtrlState after;
  };
  const Case cases[] = {
      {"press and release inside", [](GPButtonTest& t) { t.MoveIn(); t.Press(); t.Release(); }, 1, scsHot},
      {"drag out and release outside",
       [](GPButtonTest& t) { t.MoveIn(); t.Press(); t.MoveOut(); t.Release(QPointF(120, 17)); }, 0, scsFocused},
      {"drag out and back in",
       [](GPButtonTest& t) { t.MoveIn(); t.Press(); t.MoveOut(); t.MoveIn(); t.Release(); }, 1, scsHot},
      {"right button",
       [](GPButtonTest& t) { t.MoveIn(); t.Press(Qt::RightButton); t.Release(QPointF(40, 17), Qt::RightButton); },
       0, scsHot},
      {"double click",
       [](GPButtonTest& t) {
         t.MoveIn();
         t.Press();
         t.Release();
         t.Send(QEvent::MouseButtonDblClick, QPointF(40, 17));
         t.Release();
       },
       2, scsHot},
  };
  for (const Case& c : cases) {
    auto* fresh = MakeButton(150, 60, 87, 35);
    std::swap(fresh, button_);
    Recorder recorder(button_);
    QSignalSpy downs(button_, &Control::OnMouseDown);
    QSignalSpy ups(button_, &Control::OnMouseUp);
    c.actions(*this);
    EXPECT_EQ(recorder.Count("click"), c.clicks) << c.name;
    EXPECT_EQ(button_->GetCtrlState(), c.after) << c.name;
    EXPECT_EQ(downs.count(), ups.count()) << c.name;
    EXPECT_GE(downs.count(), 1) << c.name;
    if (c.clicks > 0) {
      // The last repaint before the click shows the hot look.
      const auto click = std::find(recorder.log.begin(), recorder.log.end(), "click");
      ASSERT_NE(click, recorder.log.begin()) << c.name;
      EXPECT_EQ(*(click - 1), "hot") << c.name;
    }
    std::swap(fresh, button_);
    delete fresh;
  }
}

TEST_F(GPButtonTest, PressedLookFollowsThePointerWhileHeld) {
  Recorder recorder(button_);
  MoveIn();
  Press();
  EXPECT_TRUE(button_->hasFocus());  // the press takes the focus first
  EXPECT_EQ(button_->GetCtrlState(), scsPressed);
  MoveOut();
  EXPECT_EQ(button_->GetCtrlState(), scsFocused);
  MoveIn();
  EXPECT_EQ(button_->GetCtrlState(), scsPressed);
  EXPECT_EQ(recorder.Count("click"), 0);
}

TEST_F(GPButtonTest, OnlyALeftPressTakesTheFocus) {
  // Presses as the window system delivers them: another button only raises the mouse events, so
  // a right-clicked button does not keep a focused look once the pointer has left. The rule holds
  // however the tab stop came about, also when the program writes TabStop after construction.
  form_.activateWindow();
  const struct {
    const char* what;
    std::function<void(TscGPButton*)> setUp;
    bool leftFocuses;
  } cases[] = {
      {"as constructed", [](TscGPButton*) {}, true},
      {"TabStop written again", [](TscGPButton* b) { b->SetTabStop(true); }, true},
      {"TabStop off and on", [](TscGPButton* b) { b->SetTabStop(false); b->SetTabStop(true); }, true},
      {"TabStop written without CanFocused", [](TscGPButton* b) { b->SetCanFocused(false); b->SetTabStop(true); },
       false},
  };
  for (const auto& c : cases) {
    TscGPButton* button = MakeButton(150, 10, 87, 35);
    c.setUp(button);
    focus_sink_->setFocus();
    for (const Qt::MouseButton other : {Qt::RightButton, Qt::MiddleButton}) {
      QTest::mouseClick(button, other, {}, QPoint(40, 17));
      EXPECT_FALSE(button->hasFocus()) << c.what << " " << other;
    }
    EXPECT_TRUE(focus_sink_->hasFocus()) << c.what;
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(40, 17));
    EXPECT_EQ(button->hasFocus(), c.leftFocuses) << c.what;
    delete button;
  }
}

TEST_F(GPButtonTest, SpaceClicksOnceOnReleaseAndEnterOnEveryKeyDown) {
  button_->setFocus();
  Recorder recorder(button_);
  Key(QEvent::KeyPress, Qt::Key_Space);
  EXPECT_EQ(button_->GetCtrlState(), scsPressed);
  for (int i = 0; i < 3; ++i) {
    Key(QEvent::KeyRelease, Qt::Key_Space, true);
    Key(QEvent::KeyPress, Qt::Key_Space, true);
  }
  EXPECT_EQ(recorder.Count("click"), 0);
  Key(QEvent::KeyRelease, Qt::Key_Space);
  EXPECT_EQ(recorder.Count("click"), 1);
  EXPECT_EQ(recorder.log.back(), "click");
  EXPECT_EQ(*(recorder.log.end() - 2), "focused");

  recorder.log.clear();
  Key(QEvent::KeyPress, Qt::Key_Return);
  Key(QEvent::KeyPress, Qt::Key_Return, true);
  Key(QEvent::KeyPress, Qt::Key_Enter, true);
  EXPECT_EQ(recorder.Count("click"), 3);
  EXPECT_EQ(recorder.Count("pressed"), 0);  // Enter shows no pressed look

  // Without CanFocused keys are ignored and the button is no tab stop.
  button_->SetCanFocused(false);
  EXPECT_FALSE(button_->TabStop());
  EXPECT_FALSE(button_->hasFocus());
  recorder.log.clear();
  Key(QEvent::KeyPress, Qt::Key_Return);
  Key(QEvent::KeyPress, Qt::Key_Space);
  Key(QEvent::KeyRelease, Qt::Key_Space);
  EXPECT_EQ(recorder.Count("click"), 0);
}

TEST_F(GPButtonTest, SpaceHeldWhileTheFocusLeavesDoesNotStayPressed) {
  button_->setFocus();
  int clicks = 0;
  QObject::connect(button_, &Control::OnClick, [&] { ++clicks; });
  Key(QEvent::KeyPress, Qt::Key_Space);
  ASSERT_EQ(button_->GetCtrlState(), scsPressed);
  focus_sink_->setFocus();  // the key-up now goes to another control
  EXPECT_EQ(button_->GetCtrlState(), scsNormal);
  EXPECT_EQ(Pixel(button_, 1, 1), kFace);
  button_->setFocus();
  Key(QEvent::KeyRelease, Qt::Key_Space);
  EXPECT_EQ(clicks, 0);
}

TEST_F(GPButtonTest, FocusedLookIsTheHighlightFrameAndTheHotImageWithoutAFocusRectangle) {
  MoveIn();
  Press();
  Release();
  MoveOut();
  ASSERT_EQ(button_->GetCtrlState(), scsFocused);
  const QImage focused = Shown(button_);
  EXPECT_EQ(QColor(focused.pixel(0, 0)), kHighlight);
  EXPECT_EQ(QColor(focused.pixel(31, 5)), kImageColors[1]);
  for (int x = 1; x < 86; ++x) {
    EXPECT_EQ(QColor(focused.pixel(x, 2)), kFace) << x;  // no dotted rectangle inside the frame
  }
  // Losing the focus repaints normal.
  focus_sink_->setFocus();
  EXPECT_EQ(Pixel(button_, 0, 0), kShadow);
  EXPECT_EQ(Pixel(button_, 31, 5), kImageColors[0]);
}

TEST_F(GPButtonTest, DisabledButtonIsNeverHot) {
  MoveIn();
  button_->SetEnabled(false);
  EXPECT_EQ(button_->GetCtrlState(), scsDisabled);
  EXPECT_FALSE(button_->MouseIn());
  EXPECT_EQ(Pixel(button_, 0, 0), kShadow);
  button_->SetEnabled(true);
  EXPECT_EQ(button_->GetCtrlState(), scsNormal);
}

TEST_F(GPButtonTest, RepeatClickWhileHeldStopsOutsideAndEndsWithTheReleaseClick) {
  // Keep the pointer poll seeing the pointer over the button.
  QCursor::setPos(button_->mapToGlobal(QPoint(40, 17)));
  button_->SetRepeatClick(true);
  button_->SetRepeatClickInterval(20);
  int clicks = 0;
  QObject::connect(button_, &Control::OnClick, [&] { ++clicks; });
  MoveIn();
  Press();
  ASSERT_TRUE(WaitFor([&] { return clicks >= 3; }));
  MoveOut();
  const int after_leaving = clicks;
  QTest::qWait(kRepeatWait);
  EXPECT_EQ(clicks, after_leaving);
  MoveIn();
  ASSERT_TRUE(WaitFor([&] { return clicks > after_leaving; }));
  const int before_release = clicks;
  Release();
  EXPECT_EQ(clicks, before_release + 1);
  QTest::qWait(kRepeatWait);
  EXPECT_EQ(clicks, before_release + 1);
}

TEST_F(GPButtonTest, GroupButtonsStayDownOneAtATime) {
  auto* second = MakeButton(150, 60, 87, 35);
  for (TscGPButton* b : {button_, second}) b->SetGroupIndex(1);
  int first_clicks = 0, second_clicks = 0;
  QObject::connect(button_, &Control::OnClick, [&] { ++first_clicks; });
  QObject::connect(second, &Control::OnClick, [&] { ++second_clicks; });

  MoveIn();
  Press();
  EXPECT_TRUE(button_->Down());
  EXPECT_EQ(first_clicks, 1);  // setting Down clicks
  Release();
  EXPECT_EQ(first_clicks, 1);  // a down button does not click again on release
  MoveOut();
  EXPECT_EQ(button_->GetCtrlState(), scsPressed);  // the sticky pressed look

  second->SetDown(true);
  EXPECT_EQ(second_clicks, 1);
  EXPECT_FALSE(button_->Down());

  // Without AllowAllUp a press on a down button keeps it down; with it, the release lets it up.
  MoveIn();
  Press();
  Release();
  EXPECT_TRUE(button_->Down());
  EXPECT_EQ(first_clicks, 2);
  button_->SetAllowAllUp(true);
  Press();
  EXPECT_TRUE(button_->Down());
  Release();
  EXPECT_FALSE(button_->Down());
  EXPECT_EQ(first_clicks, 3);
}

TEST_F(GPButtonTest, ScalingMultipliesThePixelOptions) {
  struct Case {
    bool scale_frame, scale_margin;
    int frame, radius, arrow, margin, spacing, image_margin;
  };
  const Case cases[] = {
      {true, false, 2, 15, 14, 4, 2, 9},
      {false, true, 1, 15, 14, 6, 3, 9},
  };
  for (const Case& c : cases) {
    TscGPButton b;
    b.SetScaleFrameWidth(c.scale_frame);
    b.SetScaleMarginAndSpacing(c.scale_margin);
    b.SetMargin(4);
    b.SetSpacing(2);
    b.SetImageMargin(6);
    b.ChangeScale(144, 96);
    EXPECT_EQ(b.Options()->FrameWidth(), c.frame);
    EXPECT_EQ(b.Options()->ShapeCornerRadius(), c.radius);
    EXPECT_EQ(b.Options()->ArrowSize(), c.arrow);
    EXPECT_EQ(b.Margin(), c.margin);
    EXPECT_EQ(b.Spacing(), c.spacing);
    EXPECT_EQ(b.ImageMargin(), c.image_margin);
    EXPECT_EQ(b.ScalePercent(), 150);
  }
}

TEST_F(GPButtonTest, CaptionFollowsTheImageAndItsAccessKeyClicks) {
  button_->SetCaption(QStringLiteral("&Go"));
  button_->SetShowCaption(true);
  button_->Options()->SetFontNormalColor(clWhite);
  const QImage image = Shown(button_);
  // Image and caption are centred as a group: the image moves left of its place alone.
  int image_left = -1;
  for (int x = 0; x < 87 && image_left < 0; ++x) {
    if (QColor(image.pixel(x, 17)) == kImageColors[0]) image_left = x;
  }
  EXPECT_GT(image_left, 4);
  EXPECT_LT(image_left, 31);
  int text_pixels = 0;
  for (int x = image_left + 25; x < 83; ++x) {
    for (int y = 4; y < 31; ++y) text_pixels += QColor(image.pixel(x, y)).red() > 150 ? 1 : 0;
  }
  EXPECT_GT(text_pixels, 10);

  int clicks = 0;
  QObject::connect(button_, &Control::OnClick, [&] { ++clicks; });
  form_.activateWindow();
  QTest::keyClick(&form_, Qt::Key_G, Qt::AltModifier);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(button_->hasFocus());
}

TEST_F(GPButtonTest, DefaultAndCancelTakeTheKeysTheFocusedControlLeaves) {
  auto* other = MakeButton(150, 60, 87, 35);
  button_->SetDefault(true);
  other->SetCancel(true);
  int default_clicks = 0, cancel_clicks = 0;
  QObject::connect(button_, &Control::OnClick, [&] { ++default_clicks; });
  QObject::connect(other, &Control::OnClick, [&] { ++cancel_clicks; });
  auto key = [&](QWidget* target, int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent event(QEvent::KeyPress, code, modifiers);
    QApplication::sendEvent(target, &event);
  };

  // The focus on a control that is no kit button: the default button is active and draws hot.
  ASSERT_TRUE(focus_sink_->hasFocus());
  EXPECT_EQ(button_->GetCtrlState(), scsHot);
  EXPECT_EQ(Pixel(button_, 0, 0), kHighlight);
  key(focus_sink_, Qt::Key_Return);
  key(focus_sink_, Qt::Key_Return, Qt::ShiftModifier);
  key(focus_sink_, Qt::Key_Escape);
  EXPECT_EQ(default_clicks, 1);
  EXPECT_EQ(cancel_clicks, 1);

  // Another kit button has the focus: Enter clicks that one, and the default button is inactive.
  other->setFocus();
  EXPECT_EQ(button_->GetCtrlState(), scsNormal);
  EXPECT_EQ(Pixel(button_, 0, 0), kShadow);
  key(other, Qt::Key_Return);
  EXPECT_EQ(default_clicks, 1);
  EXPECT_EQ(cancel_clicks, 2);
}

TEST_F(GPButtonTest, PaintContentReplacesImageAndCaptionAndADropDownTakesThePress) {
  QRect content;
  QObject::connect(button_, &TscCustomButtonControl::OnPaintContent,
                   [&](QObject*, QPainter*, QRect rect, int) { content = rect; });
  button_->RePaintControl();
  EXPECT_EQ(content, QRect(QPoint(4, 4), QPoint(82, 30)));  // (4, 4)-(83, 31), right and bottom exclusive
  EXPECT_EQ(Pixel(button_, 31, 5), kFace);                   // no image drawn

  // A custom drop-down: the arrow (9 x 9 box at x = 87 - 18, vertically centred) takes 18 pixels
  // of the content, and a press raises OnDropDown instead of clicking.
  int clicks = 0;
  QObject::connect(button_, &Control::OnClick, [&] { ++clicks; });
  QSignalSpy dropped(button_, &TscCustomButtonControl::OnDropDown);
  QSignalSpy closed(button_, &TscCustomButtonControl::OnCloseUp);
  button_->SetCustomDropDown(true);
  EXPECT_EQ(content.right(), 82 - 18);
  button_->Options()->SetFontNormalColor(clWhite);
  const QColor arrow = Pixel(button_, 87 - 18 + 4, 13 + 6);
  EXPECT_NEAR(arrow.red(), (255 * 200 + kFace.red() * 55) / 255, 2);
  MoveIn();
  Press();
  Release();
  EXPECT_EQ(dropped.count(), 1);
  EXPECT_EQ(closed.count(), 1);
  EXPECT_EQ(clicks, 0);
}

TEST_F(GPButtonTest, ImagePlacementByLayoutMarginAndImageMargin) {
  // The 87 x 35 button's content rectangle is (4, 4)-(83, 31); the image is 24 x 24.
  struct Case {
    TscCustomButtonControl::TButtonLayout layout;
    int margin, image_margin;
    QPoint top_left;
  };
  const Case cases[] = {
      {TscCustomButtonControl::blGlyphLeft, -1, 0, {31, 5}},   // centred
      {TscCustomButtonControl::blGlyphTop, -1, 0, {31, 5}},
      {TscCustomButtonControl::blGlyphLeft, 2, 0, {6, 5}},     // 2 from the content's left
      {TscCustomButtonControl::blGlyphRight, 2, 0, {57, 5}},   // 2 from the content's right
      {TscCustomButtonControl::blGlyphLeft, 2, 30, {4, 5}},    // centred in a 30 band after the frame
      {TscCustomButtonControl::blGlyphRight, -1, 30, {59, 5}},
  };
  for (const Case& c : cases) {
    button_->SetLayout(c.layout);
    button_->SetMargin(c.margin);
    button_->SetImageMargin(c.image_margin);
    const QImage image = Shown(button_);
    const QPoint p = c.top_left;
    EXPECT_EQ(QColor(image.pixel(p)), kImageColors[0]) << c.layout << " " << c.margin << " " << c.image_margin;
    EXPECT_EQ(QColor(image.pixel(p - QPoint(1, 0))), kFace) << c.layout << " " << c.margin << " " << c.image_margin;
    EXPECT_EQ(QColor(image.pixel(p + QPoint(23, 23))), kImageColors[0]);
    EXPECT_EQ(QColor(image.pixel(p + QPoint(24, 23))), kFace);
  }
}

TEST_F(GPButtonTest, HugeMarginsPlaceTheCaptionFarOutsideInsteadOfWrappingRoundIntoView) {
  // Image margin and spacing together put the caption 2^32 pixels into the button: nothing of
  // it may show, the way a caption placed past the right edge shows nothing.
  button_->SetImageIndex(-1);
  button_->SetHotImageIndex(-1);
  button_->SetCaption(QStringLiteral("Go"));
  button_->SetShowCaption(true);
  button_->Options()->SetFontNormalColor(clWhite);
  struct Case {
    int margin, spacing, image_margin;
  };
  const Case cases[] = {{-1, INT_MAX, INT_MAX}, {INT_MAX, INT_MAX, 0}, {-1, INT_MAX, 0}};
  for (const Case& c : cases) {
    button_->SetMargin(c.margin);
    button_->SetSpacing(c.spacing);
    button_->SetImageMargin(c.image_margin);
    button_->SetImageIndex(c.image_margin > 0 ? -1 : 0);
    const QImage image = Shown(button_);
    int text_pixels = 0;
    for (int x = 1; x < 86; ++x) {
      for (int y = 1; y < 34; ++y) text_pixels += QColor(image.pixel(x, y)).red() > 150 ? 1 : 0;
    }
    EXPECT_EQ(text_pixels, 0) << c.margin << " " << c.spacing << " " << c.image_margin;
  }
}

TEST_F(GPButtonTest, HugeFrameOrArrowLeavesNoContentRectangle) {
  QRect content;
  QObject::connect(button_, &TscCustomButtonControl::OnPaintContent,
                   [&](QObject*, QPainter*, QRect rect, int) { content = rect; });
  button_->Options()->SetFrameWidth(INT_MAX);
  button_->RePaintControl();
  EXPECT_TRUE(content.isEmpty()) << content.left() << "," << content.top() << " " << content.width();
  button_->Options()->SetFrameWidth(1);
  button_->SetCustomDropDown(true);
  button_->Options()->SetArrowSize(INT_MAX);
  button_->RePaintControl();
  EXPECT_TRUE(content.isEmpty()) << content.left() << " " << content.width();
}

TEST_F(GPButtonTest, ShowCaptionSwitchesTheWidth) {
  button_->SetWidthWithCaption(120);
  button_->SetWidthWithoutCaption(40);
  button_->SetShowCaption(true);
  EXPECT_EQ(button_->width(), 120);
  button_->SetShowCaption(false);
  EXPECT_EQ(button_->width(), 40);
}

TEST_F(GPButtonTest, AccessibleAsAButtonNamedByItsCaptionOrByAccessibleName) {
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(button_);
  ASSERT_NE(face, nullptr);
  EXPECT_EQ(face->role(), QAccessible::Button);
  // An icon-only button: the hidden caption ("btn2" on the main window) is no name.
  button_->SetCaption(QStringLiteral("btn2"));
  EXPECT_EQ(face->text(QAccessible::Name), QString());
  button_->SetAccessibleName(QStringLiteral("Next song"));
  EXPECT_EQ(face->text(QAccessible::Name), QStringLiteral("Next song"));
  // A shown caption names the button, without its access-key markers.
  button_->SetAccessibleName(QString());
  button_->SetCaption(QStringLiteral("&Rock && roll"));
  button_->SetShowCaption(true);
  EXPECT_EQ(face->text(QAccessible::Name), QStringLiteral("Rock & roll"));
}

// Checks that every property a layout lists for an object reads back as written: option sets
// property by property, enumerations and sets by their names, colours by name, components by name.
void ExpectWritten(QObject* object, const QJsonObject& properties, const QString& where) {
  const QMetaObject* meta = object->metaObject();
  for (auto it = properties.begin(); it != properties.end(); ++it) {
    const QString place = where + u'.' + it.key();
    const int index = meta->indexOfProperty(it.key().toLatin1().constData());
    ASSERT_GE(index, 0) << place.toStdString();
    const QMetaProperty property = meta->property(index);
    const QVariant value = property.read(object);
    if (it->isObject()) {
      ExpectWritten(value.value<QObject*>(), it->toObject(), place);
    } else if (property.metaType().flags().testFlag(QMetaType::PointerToQObject)) {
      auto* target = value.value<QObject*>();
      EXPECT_EQ(target ? target->objectName() : QString(), it->toString()) << place.toStdString();
    } else if (property.isEnumType()) {
      const QMetaEnum e = property.enumerator();
      QStringList names;
      if (it->isArray()) {
        for (const QJsonValue name : it->toArray()) names.append(name.toString());
      } else {
        names.append(it->toString());
      }
      const QString shown = QString::fromLatin1(e.isFlag() ? e.valueToKeys(value.toInt()) : QByteArray(e.valueToKey(value.toInt())));
      EXPECT_EQ(shown.split(u'|'), names) << place.toStdString();
    } else if (property.metaType() == QMetaType::fromType<Color>()) {
      EXPECT_EQ(value.value<Color>(), Color::FromName(it->toString()).value_or(clDefault)) << place.toStdString();
    } else {
      EXPECT_EQ(value, it->toVariant()) << place.toStdString();
    }
  }
}

// A modal window with an OK button: with ModalSetting a click gives the window the button's
// ModalResult, which closes it; OnClick comes after and may keep the window open by setting the
// result back; OnCloseQuery may refuse; without ModalSetting the click leaves the window alone.
TEST(GPButtonModalTest, ModalResultClosesAModalWindowWithThatResult) {
  struct Case {
    const char* what;
    bool modal_setting;
    bool click_keeps_open;   // OnClick sets the window's ModalResult back to mrNone
    bool close_query_keeps;  // OnCloseQuery refuses the first time
    int result;              // what ShowModal returns
    int clicks_to_close;
  } const cases[] = {
      {"closes with the button's result", true, false, false, Form::mrOk, 1},
      {"OnClick keeps it open once", true, true, false, Form::mrOk, 2},
      {"OnCloseQuery keeps it open once", true, false, true, Form::mrOk, 2},
      {"without ModalSetting: closed by the window manager", false, false, false, Form::mrCancel, 0},
  };
  for (const Case& c : cases) {
    Form dialog;
    dialog.SetClientWidth(200);
    dialog.SetClientHeight(80);
    auto* ok = new TscGPButton(&dialog);
    ok->SetBounds(10, 10, 80, 30);
    ok->SetModalSetting(c.modal_setting);
    ok->SetModalResult(Form::mrOk);
    int clicks = 0, queries = 0;
    QObject::connect(ok, &Control::OnClick, [&] {
      EXPECT_EQ(dialog.ModalResult(), c.modal_setting ? Form::mrOk : Form::mrNone) << c.what << ": set before OnClick";
      if (++clicks == 1 && c.click_keeps_open) dialog.SetModalResult(Form::mrNone);
    });
    QObject::connect(&dialog, &Form::OnCloseQuery, [&](QObject*, bool* can_close) {
      if (++queries == 1 && c.close_query_keeps) *can_close = false;
    });
    // Clicks the button every few milliseconds while the window is open; without ModalSetting
    // the window manager closes it after three.
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
      if (!dialog.isVisible()) return;
      if (!c.modal_setting && clicks == 3) {
        dialog.close();
        return;
      }
      QTest::mouseMove(ok, QPoint(40, 15));
      QTest::mouseClick(ok, Qt::LeftButton, {}, QPoint(40, 15));
    });
    clicker.start(5);
    QTimer::singleShot(3000, &dialog, [&] { dialog.hide(); });  // a test that fails ends all the same
    EXPECT_EQ(dialog.ShowModal(), c.result) << c.what;
    EXPECT_FALSE(dialog.isVisible()) << c.what;
    if (c.modal_setting) {
      EXPECT_EQ(clicks, c.clicks_to_close) << c.what;
    }
    EXPECT_FALSE(dialog.IsModal()) << c.what;
  }
}

// Outside a modal loop the result is only stored: the window stays.
TEST(GPButtonModalTest, ModalResultOnAModelessWindowIsOnlyStored) {
  Form window;
  auto* ok = new TscGPButton(&window);
  ok->SetBounds(10, 10, 80, 30);
  ok->SetModalSetting(true);
  ok->SetModalResult(Form::mrYes);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QTest::mouseMove(ok, QPoint(40, 15));
  QTest::mouseClick(ok, Qt::LeftButton, {}, QPoint(40, 15));
  QCoreApplication::processEvents();
  EXPECT_EQ(window.ModalResult(), Form::mrYes);
  EXPECT_TRUE(window.isVisible());
  EXPECT_THROW(window.ShowModal(), Error);  // already shown
}

// The gallery menu opens like the drop-down menu (press, Up and Down) when there is no drop-down
// menu, shows the arrow, and is forgotten when it is destroyed.
TEST_F(GPButtonTest, GalleryMenuOpensWhenThereIsNoDropDownMenu) {
  int clicks = 0;
  QObject::connect(button_, &Control::OnClick, [&] { ++clicks; });
  auto* gallery = new QMenu(&form_);
  gallery->addAction(QStringLiteral("first"));
  button_->Options()->SetFontNormalColor(clWhite);
  const QColor no_arrow = Pixel(button_, 87 - 18 + 4, 13 + 6);
  button_->SetGalleryMenu(gallery);
  EXPECT_NE(Pixel(button_, 87 - 18 + 4, 13 + 6), no_arrow);  // the arrow shows
  MoveIn();
  Press();
  EXPECT_TRUE(WaitFor([&] { return gallery->isVisible(); }));
  gallery->hide();
  Release();
  EXPECT_EQ(clicks, 0);

  button_->setFocus();
  Key(QEvent::KeyPress, Qt::Key_Down);
  EXPECT_TRUE(WaitFor([&] { return gallery->isVisible(); }));
  gallery->hide();

  auto* menu = new QMenu(&form_);
  menu->addAction(QStringLiteral("menu"));
  button_->SetDropDownMenu(menu);  // the drop-down menu comes first
  Key(QEvent::KeyPress, Qt::Key_Up);
  EXPECT_TRUE(WaitFor([&] { return menu->isVisible(); }));
  EXPECT_FALSE(gallery->isVisible());
  menu->hide();

  delete gallery;
  EXPECT_EQ(button_->GalleryMenu(), nullptr);
}

TEST(GPButtonLayoutTest, LoadsEveryPublishedOptionByName) {
  QFile file(QStringLiteral(ORVELLE_CONTROL_LAYOUTS "/gp_button.json"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray json = file.readAll();
  Form form;
  form.LoadFromJson(json, file.fileName());
  const QJsonArray components = QJsonDocument::fromJson(json).object().value(u"components").toArray();
  for (const QJsonValue component : components) {
    const QString name = component.toObject().value(u"name").toString();
    ExpectWritten(form.FindComponent(name), component.toObject().value(u"properties").toObject(), name);
  }
  // Every option of the button family is named in the layout at least once.
  auto* all = form.Component<TscGPButton>(QStringLiteral("btnAll"));
  QJsonObject listed;
  for (const QJsonValue component : components) {
    if (component.toObject().value(u"name").toString() == u"btnAll") listed = component.toObject().value(u"properties").toObject();
  }
  for (const QMetaObject* m = all->metaObject(); m != &TscCustomActiveControl::staticMetaObject; m = m->superClass()) {
    for (int i = m->propertyOffset(); i < m->propertyCount(); ++i) {
      EXPECT_TRUE(listed.contains(QString::fromLatin1(m->property(i).name()))) << m->property(i).name();
    }
  }
  for (QObject* set : {static_cast<QObject*>(all->Options()), static_cast<QObject*>(all->GlowEffect())}) {
    const QString key = set == all->Options() ? QStringLiteral("Options") : QStringLiteral("GlowEffect");
    const QJsonObject set_listed = listed.value(key).toObject();
    for (int i = QObject::staticMetaObject.propertyCount(); i < set->metaObject()->propertyCount(); ++i) {
      EXPECT_TRUE(set_listed.contains(QString::fromLatin1(set->metaObject()->property(i).name())))
          << key.toStdString() << "." << set->metaObject()->property(i).name();
    }
  }
}

}  // namespace
}  // namespace orvelle
