#include "service/error.h"
#include "toolkit/application.h"
#include "toolkit/class_registry.h"
#include "toolkit/focus.h"
#include "toolkit/form.h"
#include "toolkit/layout_loader.h"
#include "toolkit/message_box.h"
#include "toolkit/panel.h"
#include "toolkit/push_button.h"
#include "toolkit/timer.h"

#include "../support/modal_watcher.h"

#include <QElapsedTimer>
#include <QTest>
#include <QMouseEvent>
#include <QPointer>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace orvelle {
namespace {

// An option set with two properties.
class ProbeOptions : public QObject {
  Q_OBJECT
  Q_PROPERTY(int Size READ Size WRITE SetSize)
  Q_PROPERTY(orvelle::Color Tint READ Tint WRITE SetTint)
 public:
  using QObject::QObject;
  int Size() const { return size_; }
  void SetSize(int v) { size_ = v; }
  Color Tint() const { return tint_; }
  void SetTint(Color c) { tint_ = c; }

 private:
  int size_ = 4;
  Color tint_ = clBtnFace;
};

class ProbeItem : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString Caption MEMBER caption)
  Q_PROPERTY(QString Detail MEMBER detail)
 public:
  using QObject::QObject;
  QString caption, detail;
};

class ProbeItems : public Collection {
  Q_OBJECT
 public:
  using Collection::Collection;
  QObject* AddItem() override {
    items.append(new ProbeItem(this));
    return items.last();
  }
  QList<ProbeItem*> items;
};

// A control that records the order in which its properties are written and raises an event
// from a setter, as kit controls do.
class ProbeControl : public Control {
  Q_OBJECT
  Q_PROPERTY(int First READ First WRITE SetFirst)
  Q_PROPERTY(int Second READ Second WRITE SetSecond)
  Q_PROPERTY(QString Label READ Label WRITE SetLabel)
  Q_PROPERTY(double Ratio MEMBER ratio)
  Q_PROPERTY(orvelle::ProbeControl::Kind Mode MEMBER mode)
  Q_PROPERTY(QObject* Buddy MEMBER buddy)
  Q_PROPERTY(orvelle::Timer* Clock MEMBER clock)
  Q_PROPERTY(orvelle::ProbeOptions* Options READ Options)
  Q_PROPERTY(orvelle::ProbeItems* Items READ Items)
  Q_PROPERTY(QStringList Lines MEMBER lines)
  Q_PROPERTY(int Strict READ Strict WRITE SetStrict)

 public:
  enum Kind { pkOne, pkTwo, pkThree };
  Q_ENUM(Kind)

  explicit ProbeControl(QWidget* parent = nullptr)
      : Control(parent), options_(new ProbeOptions(this)), items_(new ProbeItems(this)) {}

  int First() const { return first_; }
  void SetFirst(int v) {
    first_ = v;
    writes << "First";
    emit OnChange(this);
  }
  int Second() const { return second_; }
  void SetSecond(int v) {
    second_ = v;
    writes << "Second";
    emit OnChange(this);
  }
  QString Label() const { return label_; }
  void SetLabel(const QString& v) {
    label_ = v;
    writes << "Label";
  }
  int Strict() const { return strict_; }
  void SetStrict(int v) {
    if (v < 0) throw Error(QStringLiteral("Strict cannot be negative"));
    strict_ = v;
  }
  ProbeOptions* Options() const { return options_; }
  ProbeItems* Items() const { return items_; }

  QStringList writes;
  double ratio = 0.5;
  Kind mode = pkOne;
  QObject* buddy = nullptr;
  Timer* clock = nullptr;
  QStringList lines;
  bool loaded_seen = false;

 signals:
  void OnChange(QObject* sender);

 protected:
  void Loaded() override { loaded_seen = true; }

 private:
  int first_ = 1;
  int second_ = 2;
  int strict_ = 0;
  QString label_ = QStringLiteral("default");
  ProbeOptions* options_;
  ProbeItems* items_;
};

class TestForm : public Form {
  Q_OBJECT
  Q_PROPERTY(orvelle::Panel* pnl1 MEMBER pnl1)
  Q_PROPERTY(orvelle::ProbeControl* probe MEMBER probe)

 public:
  Panel* pnl1 = nullptr;
  ProbeControl* probe = nullptr;
  QStringList calls;
  bool allow_close = true;
  bool members_set_at_create = false;
  int ticks = 0;
  int ticks_when_box_returned = -1;

  Q_INVOKABLE void FormCreate(QObject* sender) {
    calls << "FormCreate:" + sender->objectName();
    members_set_at_create = pnl1 != nullptr && probe != nullptr;
  }
  // Gives the focus to the sink button as the program's first show does.
  Q_INVOKABLE void FormShow(QObject* sender) {
    calls << "FormShow:" + sender->objectName();
    SetFocus(Component<PushButton>(QStringLiteral("btn6")));
  }
  Q_INVOKABLE void Changed(QObject* sender) { calls << "Changed:" + sender->objectName(); }
  Q_INVOKABLE void ButtonClick(QObject* sender) { calls << "Click:" + sender->objectName(); }
  Q_INVOKABLE void NoArguments() { calls << "NoArguments"; }
  Q_INVOKABLE void MouseDown(QObject* sender, Qt::MouseButton button) {
    calls << QStringLiteral("Down:%1:%2").arg(sender->objectName()).arg(int(button));
  }
  Q_INVOKABLE void Fails(QObject*) {
    calls << "Fails";
    throw Error(QStringLiteral("Handler failed"));
  }
  Q_INVOKABLE void FailsPlainly(QObject*) { throw std::runtime_error("out of luck"); }
  Q_INVOKABLE void WrongParameters(int) {}
  Q_INVOKABLE void CloseQuery(QObject*, bool* can_close) {
    calls << "CloseQuery";
    *can_close = allow_close;
  }
  Q_INVOKABLE void Tick(QObject*) {
    ++ticks;
    if (ticks == 1) {
      ShowMessage(QStringLiteral("tick"));
      ticks_when_box_returned = ticks;
    }
  }
};

void RegisterProbes() {
  ClassRegistry::Register<ProbeControl>();
}

std::unique_ptr<TestForm> LoadForm(const char* json) {
  RegisterProbes();
  auto form = std::make_unique<TestForm>();
  form->LoadFromJson(QByteArray(json), QStringLiteral("test.json"));
  return form;
}

const char* kWindow = R"({
  "class": "TestForm", "name": "Form1",
  "properties": { "Caption": "Orvelle", "ClientWidth": 649, "ClientHeight": 266, "Color": "clBtnFace",
                  "BorderStyle": "bsSingle", "Position": "poScreenCenter",
                  "Font": { "Name": "Tahoma", "Height": 11 } },
  "events": { "OnCreate": "FormCreate", "OnShow": "FormShow", "OnCloseQuery": "CloseQuery" },
  "components": [
    { "name": "tmr1", "class": "Timer", "properties": { "Enabled": false } },
    { "name": "pnl1", "class": "Panel", "properties": { "Align": "alClient", "ShowCaption": false, "Caption": "pnl1" },
      "components": [
        { "name": "probe", "class": "ProbeControl",
          "properties": { "Left": 10, "Top": 20, "Width": 30, "Height": 40, "Second": 22, "First": 11,
                          "Mode": "pkThree", "Ratio": 1.25, "Buddy": "btn1", "Clock": "tmr1",
                          "Options": { "Size": 9, "Tint": "#FFFBF0" },
                          "Items": [ { "Caption": "a", "Detail": "-10" }, { "Caption": "b" } ],
                          "Lines": ["x", "y"], "Anchors": ["akTop", "akRight", "akBottom"],
                          "Font": { "Height": 29, "Style": ["fsBold"] } },
          "events": { "OnChange": "Changed", "OnClick": "NoArguments", "OnMouseDown": "MouseDown" } },
        { "name": "btn1", "class": "PushButton",
          "properties": { "Left": 100, "Top": 100, "Caption": "Go", "TabOrder": 1 },
          "events": { "OnClick": "ButtonClick" } },
        { "name": "btn6", "class": "PushButton", "properties": { "Top": -2000, "TabOrder": 0 } }
      ] },
    { "name": "side", "class": "Panel", "properties": { "Left": 400, "Width": 100 },
      "components": [ { "name": "head", "class": "PushButton", "properties": { "Align": "alTop", "Height": 41 } } ] }
  ] })";

TEST(Layout, BuildsTheTreeWithOnlyTheListedProperties) {
  auto form = LoadForm(kWindow);
  EXPECT_EQ(form->objectName(), "Form1");
  EXPECT_EQ(form->Caption(), "Orvelle");
  EXPECT_EQ(form->ClientWidth(), 649);
  EXPECT_EQ(form->ClientHeight(), 266);
  EXPECT_EQ(form->minimumSize(), form->maximumSize());  // single border: fixed size
  EXPECT_EQ(form->Position(), Form::poScreenCenter);

  // Creation order and parents.
  ASSERT_TRUE(form->pnl1);
  EXPECT_EQ(form->pnl1->parent(), form.get());
  const QList<Control*> panel_children = form->pnl1->ChildControls();
  ASSERT_EQ(panel_children.size(), 3);
  EXPECT_EQ(panel_children[0]->objectName(), "probe");
  EXPECT_EQ(panel_children[1]->objectName(), "btn1");
  EXPECT_EQ(panel_children[2]->objectName(), "btn6");
  EXPECT_EQ(form->Component<Timer>(QStringLiteral("tmr1"))->parent(), form.get());

  // Listed values are written; unlisted ones keep the class defaults.
  ProbeControl* probe = form->probe;
  ASSERT_TRUE(probe);
  EXPECT_EQ(probe->First(), 11);
  EXPECT_EQ(probe->Second(), 22);
  EXPECT_EQ(probe->Label(), "default");
  EXPECT_EQ(probe->mode, ProbeControl::pkThree);
  EXPECT_EQ(probe->ratio, 1.25);
  EXPECT_EQ(probe->geometry(), QRect(10, 20, 30, 40));
  EXPECT_EQ(probe->Options()->Size(), 9);
  EXPECT_EQ(probe->Options()->Tint(), clCream);
  ASSERT_EQ(probe->Items()->items.size(), 2);
  EXPECT_EQ(probe->Items()->items[0]->detail, "-10");
  EXPECT_EQ(probe->Items()->items[1]->caption, "b");
  EXPECT_EQ(probe->lines, QStringList({"x", "y"}));
  EXPECT_EQ(probe->Anchors(), Control::TAnchors(Control::akTop | Control::akRight | Control::akBottom));
  EXPECT_TRUE(probe->loaded_seen);

  auto* button = form->Component<PushButton>(QStringLiteral("btn1"));
  EXPECT_EQ(button->Caption(), "Go");
  EXPECT_EQ(button->ImageIndex(), -1);
  EXPECT_EQ(button->size(), QSize(75, 25));
  EXPECT_EQ(form->Component<PushButton>(QStringLiteral("btn6"))->Top(), -2000);
  EXPECT_EQ(form->Component<Timer>(QStringLiteral("tmr1"))->Interval(), 1000);
  EXPECT_FALSE(form->Component<Timer>(QStringLiteral("tmr1"))->Enabled());
  EXPECT_FALSE(form->pnl1->ShowCaption());
  EXPECT_EQ(form->pnl1->Caption(), "pnl1");
  EXPECT_EQ(form->pnl1->BevelOuter(), Panel::bvRaised);

  // References to other components, resolved after the whole tree exists.
  EXPECT_EQ(probe->buddy, button);
  EXPECT_EQ(probe->clock, form->Component<Timer>(QStringLiteral("tmr1")));
  EXPECT_THROW(form->Component<PushButton>(QStringLiteral("tmr1")), Error);
}

TEST(Layout, WritesPropertiesInTheClassDeclarationOrder) {
  auto form = LoadForm(kWindow);
  // The layout lists Second before First; the class declares First first.
  EXPECT_EQ(form->probe->writes, QStringList({"First", "Second"}));
}

TEST(Layout, AlignmentAnchorsAndFonts) {
  auto form = LoadForm(kWindow);
  EXPECT_EQ(form->pnl1->geometry(), QRect(0, 0, 649, 266));
  // The raised bevel takes one pixel on every side of an aligned child's area.
  auto* head = form->Component<PushButton>(QStringLiteral("head"));
  EXPECT_EQ(head->geometry(), QRect(1, 1, 98, 41));

  // The probe keeps its distances to the right and bottom edges of the panel.
  const QRect before = form->probe->geometry();
  form->SetClientWidth(749);
  form->SetClientHeight(300);
  EXPECT_EQ(form->maximumSize(), QSize(749, 300));  // still a fixed border, at the new size
  EXPECT_EQ(form->pnl1->geometry(), QRect(0, 0, 749, 300));
  EXPECT_EQ(form->probe->geometry(), QRect(before.left() + 100, before.top(), before.width(), before.height() + 34));

  // Fonts: the window's font goes to children that keep their parent's font.
  EXPECT_EQ(form->GetFont()->Name(), "Tahoma");
  EXPECT_EQ(form->pnl1->GetFont()->Height(), 11);
  EXPECT_TRUE(form->pnl1->ParentFont());
  EXPECT_EQ(form->probe->GetFont()->Height(), 29);
  EXPECT_EQ(form->probe->GetFont()->Style(), Font::FontStyles(Font::fsBold));
  EXPECT_FALSE(form->probe->ParentFont());
  EXPECT_TRUE(form->probe->font().bold());
  form->GetFont()->SetHeight(13);
  EXPECT_EQ(form->pnl1->GetFont()->Height(), 13);
  EXPECT_EQ(form->Component<PushButton>(QStringLiteral("btn1"))->font().pixelSize(), 13);
  EXPECT_EQ(form->probe->GetFont()->Height(), 29);
}

TEST(Layout, NoHandlerRunsWhileLoadingAndBoundHandlersRunAfter) {
  auto form = LoadForm(kWindow);
  // The probe's setters raised OnChange while loading; only the window's creation handler ran,
  // once, after the whole tree was built and its members filled.
  EXPECT_EQ(form->calls, QStringList({"FormCreate:Form1"}));
  EXPECT_TRUE(form->members_set_at_create);

  form->calls.clear();
  form->probe->SetFirst(5);
  EXPECT_EQ(form->calls, QStringList({"Changed:probe"}));

  // Handlers bound by name get the event's arguments, or the leading part they take.
  form->calls.clear();
  form->show();
  EXPECT_EQ(form->calls, QStringList({"FormShow:Form1"}));
  EXPECT_TRUE(Focused(form->Component<PushButton>(QStringLiteral("btn6"))));
  form->calls.clear();
  auto* button = form->Component<PushButton>(QStringLiteral("btn1"));
  QTest::mouseClick(button, Qt::LeftButton);
  QTest::mouseClick(form->probe, Qt::LeftButton);
  EXPECT_EQ(form->calls,
            QStringList({"Click:btn1", QStringLiteral("Down:probe:%1").arg(int(Qt::LeftButton)), "NoArguments"}));

  // A close the handler refuses keeps the window open.
  form->calls.clear();
  form->allow_close = false;
  EXPECT_FALSE(form->close());
  EXPECT_TRUE(form->isVisible());
  form->allow_close = true;
  EXPECT_TRUE(form->close());
  EXPECT_EQ(form->calls, QStringList({"CloseQuery", "CloseQuery"}));
}

TEST(Layout, ErrorsNameTheLayoutAndThePlace) {
  struct Case {
    const char* json;
    const char* message;
  };
  const Case cases[] = {
      {R"({"components": [{"name": "x", "class": "TNope"}]})", "unknown class 'TNope' of component 'x'"},
      {R"({"components": [{"name": "p", "class": "Panel", "properties": {"Colour": "clRed"}}]})",
       "unknown property 'Colour' of p (Panel)"},
      {R"({"components": [{"name": "p", "class": "Panel", "properties": {"Font": {"Hieght": 3}}}]})",
       "unknown property 'Hieght' of p.Font (Font)"},
      {R"({"components": [{"name": "b", "class": "PushButton", "events": {"OnClick": "Clik"}}]})",
       "unknown handler 'Clik' for b.OnClick"},
      {R"({"components": [{"name": "b", "class": "PushButton", "events": {"OnClack": "ButtonClick"}}]})",
       "unknown event 'OnClack' of b (PushButton)"},
      {R"({"components": [{"name": "b", "class": "PushButton", "events": {"OnClick": "WrongParameters"}}]})",
       "the handler 'WrongParameters' does not take the parameters of b.OnClick"},
      {R"({"components": [{"name": "b", "class": "PushButton", "events": {"OnClick": "close"}}]})",
       "unknown handler 'close'"},
      {R"({"components": [{"name": "p", "class": "ProbeControl", "properties": {"Buddy": "ghost"}}]})",
       "p.Buddy names the unknown component 'ghost'"},
      {R"({"components": [{"name": "p", "class": "ProbeControl", "properties": {"Clock": "p"}}]})",
       "p.Clock: 'p' is not a Timer"},
      {R"({"components": [{"name": "p", "class": "Panel", "properties": {"Width": "wide"}}]})",
       "p.Width expects a whole number"},
      {R"({"components": [{"name": "p", "class": "Panel", "properties": {"Width": 1.5}}]})",
       "p.Width expects a whole number"},
      {R"({"components": [{"name": "p", "class": "Panel", "properties": {"Width": 3000000000}}]})",
       "p.Width is out of range"},
      {R"({"components": [{"name": "p", "class": "Panel", "properties": {"Align": "alMiddle"}}]})",
       "p.Align has no value"},
      {R"({"components": [{"name": "p", "class": "Panel", "properties": {"Color": "clReddish"}}]})",
       "p.Color expects a colour"},
      {R"({"components": [{"name": "p", "class": "Panel", "properties": {"ShowCaption": 1}}]})",
       "p.ShowCaption expects true or false"},
      {R"({"components": [{"name": "p", "class": "Panel"}, {"name": "p", "class": "Panel"}]})",
       "the name 'p' is used twice"},
      {R"({"components": [{"name": "t", "class": "Timer", "components": [{"name": "b", "class": "PushButton"}]}]})",
       "the control 'b' lies in 't', which is not a control"},
      {R"({"class": "TForm9"})", "the layout is for class 'TForm9', not 'TestForm'"},
      {R"({"components": [{"class": "Panel"}]})", "a component of TestForm has no name"},
      {R"({"components": [{"name": "p", "class": "Panel", "colour": 1}]})", "unknown entry 'colour' in p"},
      {"{ not json", "is not a JSON object"},
      {R"({"components": [{"name": "p", "class": "ProbeControl", "properties": {"Strict": -1}}]})",
       "p.Strict: Strict cannot be negative"},
  };
  for (const Case& c : cases) {
    RegisterProbes();
    TestForm form;
    try {
      form.LoadFromJson(QByteArray(c.json), QStringLiteral("bad.json"));
      ADD_FAILURE() << "no error for " << c.json;
    } catch (const Error& e) {
      EXPECT_TRUE(e.Message().contains(QLatin1String(c.message))) << e.Message().toStdString();
      EXPECT_TRUE(e.Message().contains(QLatin1String("bad.json"))) << e.Message().toStdString();
    }
    EXPECT_TRUE(form.calls.isEmpty()) << c.json;
  }
  TestForm form;
  EXPECT_THROW(form.Load(QStringLiteral(":/layouts/missing.json")), Error);
}

TEST(Layout, AnExceptionFromABoundHandlerIsShownAndTheProgramGoesOn) {
  auto form = LoadForm(R"({"components": [
      {"name": "b1", "class": "PushButton", "events": {"OnClick": "Fails"}},
      {"name": "b2", "class": "PushButton", "properties": {"Left": 80}, "events": {"OnClick": "FailsPlainly"}},
      {"name": "b3", "class": "PushButton", "properties": {"Left": 160}, "events": {"OnClick": "ButtonClick"}}]})");
  form->show();
  test::ModalWatcher watcher;
  for (const char* name : {"b1", "b1", "b2", "b3"}) {
    QTest::mouseClick(form->Component<PushButton>(QString::fromLatin1(name)), Qt::LeftButton);
    ASSERT_TRUE(watcher.Settle());
  }
  ASSERT_EQ(watcher.Seen().size(), 3);
  for (const auto& box : watcher.Seen()) {
    EXPECT_EQ(box.title, Application::Title());
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
  }
  EXPECT_EQ(watcher.Seen()[0].text, "Handler failed.");
  EXPECT_EQ(watcher.Seen()[2].text, "out of luck.");
  EXPECT_EQ(form->calls, QStringList({"Fails", "Fails", "Click:b3"}));
}

TEST(Layout, TimerTicksOnlyAfterLoadingAndGoOnWhileABoxIsOpen) {
  auto form = LoadForm(R"({"components": [
      {"name": "tmr1", "class": "Timer", "properties": {"Interval": 10}, "events": {"OnTimer": "Tick"}},
      {"name": "tmr2", "class": "Timer", "properties": {"Interval": 10, "Enabled": false}, "events": {"OnTimer": "Fails"}}]})");
  auto* timer = form->Component<Timer>(QStringLiteral("tmr1"));
  EXPECT_TRUE(timer->Running());
  EXPECT_FALSE(form->Component<Timer>(QStringLiteral("tmr2"))->Running());
  EXPECT_EQ(form->ticks, 0);
  // The first tick opens a box, which returns at once; further ticks run while it is open.
  test::ModalWatcher watcher([&] { return form->ticks >= 3; });
  EXPECT_TRUE(QTest::qWaitFor([&] { return form->ticks_when_box_returned == 1; }, 10000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return form->ticks >= 3; }, 10000));
  ASSERT_TRUE(watcher.Settle());
  EXPECT_EQ(watcher.Seen().size(), 1);
  EXPECT_FALSE(form->calls.contains("Fails"));
  timer->SetEnabled(false);
  EXPECT_FALSE(timer->Running());
}

TEST(Timer, RunsOnlyWithAHandlerAnIntervalAndEnabled) {
  Timer timer;
  EXPECT_EQ(timer.Interval(), 1000);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_FALSE(timer.Running());  // nothing bound
  int ticks = 0;
  QObject::connect(&timer, &Timer::OnTimer, [&](QObject* sender) {
    EXPECT_EQ(sender, &timer);
    ++ticks;
  });
  EXPECT_TRUE(timer.Running());
  timer.SetInterval(0);
  EXPECT_FALSE(timer.Running());
  timer.SetInterval(5);
  EXPECT_TRUE(timer.Running());
  QElapsedTimer clock;
  clock.start();
  while (ticks < 2 && clock.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  EXPECT_GE(ticks, 2);
  timer.SetEnabled(false);
  EXPECT_FALSE(timer.Running());
}

}  // namespace
}  // namespace orvelle

#include "layout_test.moc"
