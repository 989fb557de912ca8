#include "controls/accessible.h"
#include "controls/label.h"
#include "controls/panel.h"
#include "toolkit/form.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QTest>
#include <gtest/gtest.h>

#include <optional>

namespace orvelle {
namespace {

// A control with a value and a caption, as a progress bar or a labelled button states them.
class ValueProbe : public TscCustomControl {
 public:
  using TscCustomControl::TscCustomControl;
  using TscCustomControl::SetLiteralCaption;
  QString caption = QStringLiteral("&Volume && balance");
  std::optional<KitAccessibleValue> value = KitAccessibleValue{40, 0, 200};

 protected:
  QAccessible::Role AccessibleRole() const override { return QAccessible::Slider; }
  QString AccessibleCaption() const override { return caption; }
  std::optional<KitAccessibleValue> AccessibleValue() const override { return value; }
};

class AccessibleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form_.SetClientWidth(100);
    form_.SetClientHeight(100);
    form_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  }
  Form form_;
};

TEST(AccessKeyMarkers, AreRemovedFromTheCaption) {
  const struct {
    const char* caption;
    const char* name;
  } cases[] = {{"&Play", "Play"}, {"Rock && Roll", "Rock & Roll"}, {"a&&&b", "a&b"}, {"end&", "end"}, {"", ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(StripAccessKeyMarkers(QString::fromUtf8(c.caption)), QString::fromUtf8(c.name)) << c.caption;
  }
}

TEST_F(AccessibleTest, AControlStatesRoleNameAndValue) {
  auto* probe = new ValueProbe(&form_);
  probe->show();
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(probe);
  ASSERT_NE(iface, nullptr);
  EXPECT_EQ(iface->role(), QAccessible::Slider);
  EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Volume & balance"));
  QAccessibleValueInterface* value = iface->valueInterface();
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->currentValue().toDouble(), 40);
  EXPECT_EQ(value->minimumValue().toDouble(), 0);
  EXPECT_EQ(value->maximumValue().toDouble(), 200);
  value->setCurrentValue(90);  // read-only
  EXPECT_EQ(value->currentValue().toDouble(), 40);

  // A name set in the layout wins over the caption (an icon-only button names itself this way).
  probe->SetAccessibleName(QStringLiteral("Loudness"));
  EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Loudness"));
  probe->value.reset();
  EXPECT_EQ(iface->valueInterface(), nullptr);
}

// A control that shows its caption as written is announced as written: "R&D" stays "R&D".
TEST_F(AccessibleTest, ALiteralCaptionIsAnnouncedAsWritten) {
  auto* probe = new ValueProbe(&form_);
  probe->caption = QStringLiteral("R&D");
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(probe);
  ASSERT_NE(iface, nullptr);
  EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("RD"));  // "&D" marks an access key
  probe->SetLiteralCaption(true);
  EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("R&D"));

  // A label without access keys shows, and so announces, its "&".
  auto* label = new TscLabel(&form_);
  label->SetCaption(QStringLiteral("R&D"));
  QAccessibleInterface* label_iface = QAccessible::queryAccessibleInterface(label);
  ASSERT_NE(label_iface, nullptr);
  EXPECT_EQ(label_iface->text(QAccessible::Name), QStringLiteral("RD"));
  label->SetShowAccelChar(false);
  EXPECT_EQ(label_iface->text(QAccessible::Name), QStringLiteral("R&D"));
  label->SetShowAccelChar(true);
  EXPECT_EQ(label_iface->text(QAccessible::Name), QStringLiteral("RD"));
}

TEST_F(AccessibleTest, ThePanelIsAPaneNamedByItsCaption) {
  form_.LoadFromJson(R"({"components": [{"name": "pane", "class": "TscPanel",
      "properties": {"Caption": "&Lyrics", "AccessibleName": ""}}]})", QStringLiteral("a11y.json"));
  auto* panel = form_.Component<TscPanel>(QStringLiteral("pane"));
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(panel);
  ASSERT_NE(iface, nullptr);
  EXPECT_EQ(iface->role(), QAccessible::Pane);
  EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Lyrics"));
  EXPECT_EQ(iface->valueInterface(), nullptr);
}

}  // namespace
}  // namespace orvelle
