#include "service/error.h"
#include "toolkit/color.h"
#include "toolkit/theme.h"

#include "../support/modal_watcher.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <gtest/gtest.h>

#include <optional>

namespace orvelle {
namespace {

Color Rgb(const char* hex) { return *Color::FromName(QString::fromLatin1(hex)); }

TEST(Color, ParsesNamesAndNotations) {
  struct Case {
    const char* text;
    std::optional<std::uint32_t> value;
  };
  const Case cases[] = {
      {"clBtnFace", 0xFF00000Fu},
      {"clHighlight", 0xFF00000Du},
      {"clWindow", 0xFF000005u},
      {"clWhite", 0x00FFFFFFu},
      {"clCream", 0x00F0FBFFu},  // #FFFBF0
      {"clOlive", 0x00008080u},  // #808000
      {"clAqua", 0x00FFFF00u},   // #00FFFF
      {"clNone", 0x1FFFFFFFu},
      {"#242930", 0x00302924u},
      {"$00302924", 0x00302924u},
      {"", std::nullopt},
      {"clBogus", std::nullopt},
      {"#24293", std::nullopt},
      {"#GG2930", std::nullopt},
      {"$0030292", std::nullopt},
      {"242930", std::nullopt},
  };
  for (const Case& c : cases) {
    const auto parsed = Color::FromName(QString::fromLatin1(c.text));
    ASSERT_EQ(parsed.has_value(), c.value.has_value()) << c.text;
    if (parsed) {
      EXPECT_EQ(parsed->Value(), *c.value) << c.text;
    }
  }
}

TEST(Color, NamesRoundTrip) {
  for (Color color : {clBtnFace, clNone, clWhite, clCream, Color::FromRgb(1, 2, 3), Color(0x12345678)}) {
    EXPECT_EQ(Color::FromName(color.Name()), color) << color.Name().toStdString();
  }
  EXPECT_EQ(Color::FromRgb(0x24, 0x29, 0x30).Name(), "#242930");
}

TEST(Color, KindsAndChannels) {
  EXPECT_TRUE(clBtnFace.IsSystem());
  EXPECT_EQ(clBtnFace.SystemIndex(), 15);
  EXPECT_FALSE(clWhite.IsSystem());
  EXPECT_TRUE(clNone.IsNone());
  EXPECT_FALSE(clNone.IsSystem());
  const Color c = Color::FromRgb(1, 2, 3);
  EXPECT_EQ(c.Value(), 0x030201u);
  EXPECT_EQ(c.Red(), 1);
  EXPECT_EQ(c.Green(), 2);
  EXPECT_EQ(c.Blue(), 3);
}

// Fractions round to the nearest integer and halves to the even one, with either sign; MulDiv
// answers -1 for a zero divisor, MulDivRoundEven (lengths of range controls) 0.
TEST(MulDiv, RoundsToNearestWithHalvesToEven) {
  struct Case {
    int a, b, c, expected;
  };
  const Case cases[] = {
      {100, 144, 96, 150}, {150, 96, 144, 100}, {100, 72, 96, 75},  {5, 1, 2, 2},    {7, 1, 2, 4},
      {-5, 1, 2, -2},      {5, -1, 2, -2},      {-7, 1, -2, 4},     {255, 25, 100, 64}, {10, 25, 100, 2},
      {100, 108, 96, 112}, {6, 72, 96, 4},      {7, 0, 3, 0},       {230, 144, 96, 345}, {1, 1, 0, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << "*" << c.b << "/" << c.c;
    if (c.c != 0) {
      EXPECT_EQ(MulDivRoundEven(c.a, c.b, c.c), c.expected) << c.a << "*" << c.b << "/" << c.c;
    }
  }
  EXPECT_EQ(MulDivRoundEven(1, 1, 0), 0);
  EXPECT_EQ(MulDivRoundEven(2'000'000'000, 3, 2), 3'000'000'000);
}

TEST(Color, ToRgbUsesThePlatformPaletteForSystemColours) {
  ClearStyle();
  const QPalette palette = QGuiApplication::palette();
  EXPECT_EQ(ColorToRGB(clBtnFace), palette.color(QPalette::Button).rgb());
  EXPECT_EQ(ColorToRGB(clWindow), palette.color(QPalette::Base).rgb());
  EXPECT_EQ(ColorToRGB(clHighlight), palette.color(QPalette::Active, QPalette::Highlight).rgb());
  EXPECT_EQ(ColorToRGB(Color::FromRgb(1, 2, 3)), qRgb(1, 2, 3));
}

// Every test leaves the application with the default look.
class ThemeTest : public ::testing::Test {
 protected:
  void TearDown() override { ClearStyle(); }
};

TEST_F(ThemeTest, GlowReplacesTheSystemColoursOfItsTable) {
  const QRgb platform_face = ColorToRGB(clBtnFace);
  ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
  ASSERT_TRUE(IsCustomStyleActive());
  EXPECT_EQ(ActiveTheme()->Name(), "Glow");
  EXPECT_EQ(ActiveTheme()->SystemColorCount(), 23);
  struct Case {
    Color system;
    const char* value;
  };
  const Case cases[] = {
      {clActiveBorder, "#000000"},   {clActiveCaption, "#2F2F2F"},   {clBtnFace, "#242930"},
      {clBtnHighlight, "#37404A"},   {clBtnShadow, "#1B1E23"},       {clBtnText, "#FFFFFF"},
      {clCaptionText, "#FFFFFF"},    {clGrayText, "#808080"},        {clHighlight, "#35BDBB"},
      {clHighlightText, "#000000"},  {clInactiveBorder, "#000000"},  {clInactiveCaption, "#1A1822"},
      {clInactiveCaptionText, "#808080"}, {clInfoBk, "#121212"},     {clInfoText, "#FFFFFF"},
      {clMenu, "#111111"},           {clMenuText, "#FFFFFF"},        {clScrollBar, "#111111"},
      {cl3DDkShadow, "#000000"},     {cl3DLight, "#3F4854"},         {clWindow, "#191D22"},
      {clWindowFrame, "#000000"},    {clWindowText, "#FFFFFF"},
  };
  for (const Case& c : cases) EXPECT_EQ(GetSystemColor(c.system), Rgb(c.value)) << c.system.Name().toStdString();
  // Colours outside the table pass unchanged, and the platform conversion ignores the theme.
  EXPECT_EQ(GetSystemColor(clMenuHighlight), clMenuHighlight);
  EXPECT_EQ(GetSystemColor(clWhite), clWhite);
  EXPECT_EQ(ColorToRGB(clBtnFace), platform_face);
}

TEST_F(ThemeTest, ElementColoursAndFonts) {
  ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
  EXPECT_EQ(GetElementColor(QStringLiteral("Panel")), Rgb("#242930"));
  EXPECT_EQ(GetElementColor(QStringLiteral("Edit")), Rgb("#191D22"));
  EXPECT_EQ(GetElementColor(QStringLiteral("ButtonHot")), Rgb("#000000"));
  EXPECT_EQ(GetElementColor(QStringLiteral("ToolBarGradientBase")), Rgb("#363E47"));
  EXPECT_EQ(GetElementColor(QStringLiteral("FocusEffect")), Rgb("#35BDBB"));
  EXPECT_EQ(GetElementColor(QStringLiteral("NoSuchElement")), clNone);

  struct Case {
    const char* element;
    Color color;
  };
  const Color teal = Color::FromRgb(55, 191, 189), grey = Color::FromRgb(128, 128, 128);
  const Case cases[] = {
      {"CheckBoxTextNormal", clWhite},   {"CheckBoxTextHot", teal},       {"CheckBoxTextPressed", teal},
      {"CheckBoxTextFocused", teal},     {"CheckBoxTextDisabled", grey},  {"EditBoxTextNormal", clWhite},
      {"EditBoxTextDisabled", grey},     {"ButtonTextNormal", clWhite},   {"ButtonTextHot", teal},
      {"ButtonTextPressed", teal},       {"ButtonTextFocused", teal},     {"CaptionTextNormal", clWhite},
      {"CaptionTextInactive", grey},     {"NoSuchElement", clNone},
  };
  for (const Case& c : cases) EXPECT_EQ(GetStyleFontColor(QLatin1String(c.element)), c.color) << c.element;

  const auto body = GetStyleFont(QStringLiteral("CheckBoxTextNormal"));
  ASSERT_TRUE(body);
  EXPECT_EQ(body->family(), "Tahoma");
  EXPECT_EQ(body->pointSize(), 9);
  EXPECT_FALSE(body->bold());
  const auto caption = GetStyleFont(QStringLiteral("CaptionTextNormal"));
  ASSERT_TRUE(caption);
  EXPECT_EQ(caption->pointSize(), 8);
  EXPECT_TRUE(caption->bold());
}

TEST_F(ThemeTest, WithoutAThemeNothingIsMapped) {
  EXPECT_FALSE(IsCustomStyleActive());
  EXPECT_EQ(GetSystemColor(clBtnFace), clBtnFace);
  EXPECT_EQ(GetElementColor(QStringLiteral("Panel")), clNone);
  EXPECT_EQ(GetStyleFontColor(QStringLiteral("CheckBoxTextHot")), clNone);
  EXPECT_FALSE(GetStyleFont(QStringLiteral("CheckBoxTextHot")));
}

TEST_F(ThemeTest, ApplyingTheThemeSetsAPaletteOverFusionAndClearingRestores) {
  const QColor before = QApplication::palette().color(QPalette::Window);
  const QString style_before = QApplication::style()->name();
  SetStyle(QStringLiteral("Glow"));
  EXPECT_EQ(QApplication::style()->name().toLower(), "fusion");
  const QPalette themed = QApplication::palette();
  EXPECT_EQ(themed.color(QPalette::Window), QColor(0x24, 0x29, 0x30));
  EXPECT_EQ(themed.color(QPalette::WindowText), QColor(Qt::white));
  EXPECT_EQ(themed.color(QPalette::Base), QColor(0x19, 0x1D, 0x22));
  EXPECT_EQ(themed.color(QPalette::Highlight), QColor(0x35, 0xBD, 0xBB));
  EXPECT_EQ(themed.color(QPalette::Disabled, QPalette::Text), QColor(0x80, 0x80, 0x80));
  EXPECT_EQ(ResolveColor(clBtnFace, true), QColor(0x24, 0x29, 0x30));

  ClearStyle();
  EXPECT_FALSE(IsCustomStyleActive());
  EXPECT_EQ(QApplication::palette().color(QPalette::Window), before);
  EXPECT_EQ(QApplication::style()->name(), style_before);
}

TEST_F(ThemeTest, AMissingThemeShowsTheBoxAndKeepsTheDefaultLook) {
  const QColor before = QApplication::palette().color(QPalette::Window);
  EXPECT_FALSE(TrySetStyle(QStringLiteral("Nowhere")));
  test::ModalWatcher watcher;
  SetStyle(QStringLiteral("Nowhere"));
  ASSERT_TRUE(watcher.Settle());
  ASSERT_EQ(watcher.Seen().size(), 1);
  const auto& box = watcher.Seen().first();
  EXPECT_EQ(box.text, "Style 'Nowhere' not found");
  EXPECT_EQ(box.icon, QMessageBox::Critical);
  EXPECT_EQ(box.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Close});
  EXPECT_FALSE(IsCustomStyleActive());
  EXPECT_EQ(QApplication::palette().color(QPalette::Window), before);
  // Without the error dialog nothing is shown.
  test::ModalWatcher quiet;
  SetStyle(QStringLiteral("Nowhere"), false);
  EXPECT_TRUE(quiet.Seen().isEmpty());
}

TEST(ThemeJson, MalformedThemesFail) {
  const char* cases[] = {
      "not json",
      "[]",
      R"({"SystemColors": []})",
      R"({"Name": "T", "SystemColors": [{"Color": "clWhite", "Value": "clBlack"}]})",
      R"({"Name": "T", "SystemColors": [{"Color": "clBtnFace", "Value": "teal"}]})",
      R"({"Name": "T", "ElementColors": [{"Element": "", "Value": "clBlack"}]})",
      R"({"Name": "T", "Fonts": [{"Element": "X", "Color": [1, 2]}]})",
  };
  for (const char* json : cases) EXPECT_THROW(Theme::FromJson(QByteArray(json)), Error) << json;
  const Theme ok = Theme::FromJson(R"({"Name": "T", "SystemColors": [{"Color": "clBtnFace", "Value": "$00302924"}]})");
  EXPECT_EQ(ok.SystemColor(clBtnFace), Rgb("#242930"));
  EXPECT_FALSE(ok.SystemColor(clWindow));
}

}  // namespace
}  // namespace orvelle
