#include "controls/caption_text.h"
#include "controls/label.h"
#include "controls/track_bar.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/theme.h"

#include "kit_test_support.h"

#include <QAccessible>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QRawFont>
#include <QTest>
#include <QTextLayout>
#include <gtest/gtest.h>

namespace orvelle {
namespace {

constexpr QRgb kFormFace = qRgb(10, 20, 30);

class LabelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Application::RegisterFonts(); }
  void SetUp() override {
    form_.SetClientWidth(300);
    form_.SetClientHeight(80);
    form_.SetColor(Color::FromRgb(10, 20, 30));
    label_ = new TscLabel();
    label_->setParent(&form_);
    label_->SetBounds(37, 10, 65, 17);
    form_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  }
  QImage Shown() { return test::GrabAsShown(label_); }
  // The brightest pixel of the label as shown: the colour of its glyphs over the dark form.
  static QRgb Brightest(const QImage& image) {
    QRgb best = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QRgb p = image.pixel(x, y);
        if (qRed(p) + qGreen(p) + qBlue(p) > qRed(best) + qGreen(best) + qBlue(best)) best = p;
      }
    }
    return best;
  }

  test::ScopedTheme theme_;
  Form form_;
  TscLabel* label_;
};

TEST_F(LabelTest, Defaults) {
  TscLabel label;
  EXPECT_TRUE(label.AutoSize());
  EXPECT_EQ(label.Alignment(), TscLabel::taLeftJustify);
  EXPECT_EQ(label.VertAlignment(), TscLabel::scvtaTop);
  EXPECT_FALSE(label.WordWrap());
  EXPECT_TRUE(label.ShowAccelChar());
  EXPECT_FALSE(label.UseFontColorToStyleColor());
  EXPECT_EQ(label.Layout(), TscLabel::tlTop);
  EXPECT_FALSE(label.GlowEffect()->Enabled());
  EXPECT_EQ(label.GlowEffect()->GetColor(), clBtnShadow);
  EXPECT_FALSE(label.DragForm());
  EXPECT_EQ(label.FocusControl(), nullptr);
  EXPECT_TRUE(label.TransparentBackground());
  EXPECT_EQ(label.size(), QSize(65, 17));
  label.setObjectName(QStringLiteral("sclbl9"));
  EXPECT_EQ(label.Caption(), QStringLiteral("sclbl9"));  // the component name until a caption is written
}

TEST_F(LabelTest, SizesItselfToItsCaptionKeepingTheLeftEdge) {
  // Tahoma of 11 pixels (the window's font) sets its lines 13 pixels apart.
  label_->SetCaption(QStringLiteral("A title"));
  EXPECT_EQ(label_->geometry().topLeft(), QPoint(37, 10));
  EXPECT_EQ(label_->Height(), 13);
  const int short_width = label_->Width();
  label_->SetCaption(QStringLiteral("A much, much longer title that does not wrap at all"));
  EXPECT_EQ(label_->geometry().topLeft(), QPoint(37, 10));
  EXPECT_GT(label_->Width(), 4 * short_width);
  EXPECT_EQ(label_->Height(), 13);  // one line: word wrap is off
  label_->SetCaption(QStringLiteral("two\nlines"));
  EXPECT_EQ(label_->Height(), 26);
  label_->SetCaption(QStringLiteral(" "));
  const QSize space = label_->size();
  EXPECT_GT(space.width(), 0);
  for (const char* empty : {"", "&"}) {
    label_->SetCaption(QString::fromUtf8(empty));
    EXPECT_EQ(label_->geometry(), QRect(QPoint(37, 10), space)) << "'" << empty << "' measures as one space";
  }
  label_->SetAlignment(TscLabel::taRightJustify);
  const int right = label_->Left() + label_->Width();
  label_->SetCaption(QStringLiteral("Right"));
  EXPECT_EQ(label_->Left() + label_->Width(), right);
  label_->SetAutoSize(false);
  const QRect fixed = label_->geometry();
  label_->SetCaption(QStringLiteral("Not sized any more"));
  EXPECT_EQ(label_->geometry(), fixed);
}

TEST_F(LabelTest, AccessCharacterIsUnderlinedAndDoubleAmpersandShowsOne) {
  auto width_of = [this](const char* caption, bool markers) {
    label_->SetShowAccelChar(markers);
    label_->SetCaption(QString::fromUtf8(caption));
    return label_->Width();
  };
  EXPECT_EQ(width_of("Rock && Roll", true), width_of("Rock & Roll", false));
  EXPECT_EQ(width_of("&Wq", true), width_of("Wq", false));
  EXPECT_GT(width_of("&Wq", false), width_of("Wq", false));  // without markers the ampersand shows
  label_->SetShowAccelChar(true);
  label_->SetCaption(QStringLiteral("&Wq"));
  const QImage underlined = Shown();
  label_->SetCaption(QStringLiteral("Wq"));
  const QImage plain = Shown();
  ASSERT_EQ(plain.size(), underlined.size());
  // The same glyphs; only an underline below the baseline, under the W alone, differs.
  const int baseline = FontTextCell(label_->font()).ascent;
  const int w_advance = QFontMetrics(label_->font()).horizontalAdvance(QLatin1Char('W'));
  int differing = 0;
  for (int y = 0; y < plain.height(); ++y) {
    for (int x = 0; x < plain.width(); ++x) {
      if (plain.pixel(x, y) == underlined.pixel(x, y)) continue;
      ++differing;
      EXPECT_GE(y, baseline - 1);
      EXPECT_LE(x, w_advance);
    }
  }
  EXPECT_GE(differing, w_advance / 2);
}

TEST_F(LabelTest, TextColoursFollowTheTheme) {
  struct Case {
    const char* what;
    bool use_font_colour;
    bool enabled;
    TscCustomControl::TStyleElements elements;
    QRgb colour;
  };
  const TscCustomControl::TStyleElements all(TscCustomControl::seFont | TscCustomControl::seClient);
  const Case cases[] = {
      {"the font's colour through the theme", true, true, all, qRgb(0x35, 0xBD, 0xBB)},
      {"the theme's label colour", false, true, all, qRgb(255, 255, 255)},
      {"disabled: the label colour of the disabled state", true, false, all, qRgb(128, 128, 128)},
      {"without seFont the font's own colour", false, true, TscCustomControl::seClient, qRgb(0x12, 0x34, 0x56)},
  };
  ASSERT_TRUE(TrySetStyle(QStringLiteral("Glow")));
  label_->GetFont()->SetHeight(21);
  label_->SetCaption(QStringLiteral("HHHH"));
  for (const Case& c : cases) {
    label_->GetFont()->SetColor(c.elements == all ? clHighlight : Color::FromRgb(0x12, 0x34, 0x56));
    label_->SetUseFontColorToStyleColor(c.use_font_colour);
    label_->SetStyleElements(c.elements);
    label_->setEnabled(c.enabled);
    label_->RePaintControl();
    EXPECT_EQ(Brightest(Shown()), c.colour) << c.what;
    EXPECT_EQ(Shown().pixel(0, 0), kFormFace) << "no background: " << c.what;
  }
}

TEST_F(LabelTest, VerticalAlignmentMovesTheText) {
  label_->SetAutoSize(false);
  label_->SetBounds(37, 10, 60, 60);
  label_->SetCaption(QStringLiteral("H"));
  auto ink_top = [this] {
    const QImage image = Shown();
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (image.pixel(x, y) != kFormFace) return y;
      }
    }
    return -1;
  };
  const int top = ink_top();
  const int line = FontTextCell(label_->font()).Height();
  label_->SetVertAlignment(TscLabel::scvtaCenter);
  EXPECT_EQ(ink_top(), top + (60 - line) / 2);
  label_->SetVertAlignment(TscLabel::scvtaBottom);
  EXPECT_EQ(ink_top(), top + 60 - line);
}

// Right-to-left reading mirrors the horizontal alignment: a left-justified caption starts at the
// right edge, a right-justified one at the left; centred stays centred.
TEST_F(LabelTest, RightToLeftMirrorsTheAlignment) {
  label_->SetAutoSize(false);
  label_->SetBounds(37, 10, 120, 20);
  label_->SetCaption(QStringLiteral("HH"));
  auto ink_columns = [this] {
    const QImage image = Shown();
    int first = -1, last = -1;
    for (int x = 0; x < image.width(); ++x) {
      for (int y = 0; y < image.height(); ++y) {
        if (image.pixel(x, y) == kFormFace) continue;
        if (first < 0) first = x;
        last = x;
        break;
      }
    }
    return std::pair{first, last};
  };
  const struct {
    TscLabel::TAlignment alignment;
    Qt::LayoutDirection direction;
    bool at_left;
  } cases[] = {{TscLabel::taLeftJustify, Qt::LeftToRight, true},
               {TscLabel::taLeftJustify, Qt::RightToLeft, false},
               {TscLabel::taRightJustify, Qt::RightToLeft, true},
               {TscLabel::taRightJustify, Qt::LeftToRight, false}};
  for (const auto& c : cases) {
    label_->SetAlignment(c.alignment);
    label_->setLayoutDirection(c.direction);
    const auto [first, last] = ink_columns();
    ASSERT_GE(first, 0);
    if (c.at_left) {
      EXPECT_LT(first, 4) << c.alignment << " " << c.direction;
    } else {
      EXPECT_GT(last, 120 - 4) << c.alignment << " " << c.direction;
    }
  }
}

TEST_F(LabelTest, ChineseJapaneseAndKoreanDrawRealGlyphs) {
  label_->GetFont()->SetHeight(21);
  label_->GetFont()->SetColor(clWhite);
  const QString text = QStringLiteral("无歌词日本語한국어");
  label_->SetCaption(text);
  // Every character resolves to a glyph of some installed font (glyph 0 is the missing-glyph box).
  QTextLayout layout(text, label_->font());
  layout.beginLayout();
  layout.createLine();
  layout.endLayout();
  int glyphs = 0;
  for (const QGlyphRun& run : layout.glyphRuns()) {
    for (quint32 index : run.glyphIndexes()) {
      EXPECT_NE(index, 0u) << run.rawFont().familyName().toStdString();
      ++glyphs;
    }
  }
  EXPECT_EQ(glyphs, text.size());
  // And they draw as different shapes, not as one repeated box.
  auto glyph_image = [this](const QString& character) {
    label_->SetCaption(character);
    return Shown();
  };
  const QImage a = glyph_image(QStringLiteral("歌")), b = glyph_image(QStringLiteral("語")),
               c = glyph_image(QStringLiteral("한"));
  EXPECT_NE(a, b);
  EXPECT_NE(b, c);
  EXPECT_NE(Brightest(a), kFormFace);
}

TEST_F(LabelTest, ACaptionIsSetIntoLinesOncePerChangeNotPerPaint) {
  label_->SetCaption(QStringLiteral("Song title 歌名"));
  const int laid_out = label_->CaptionLayoutCount();
  const QImage before = Shown();
  for (int i = 0; i < 5; ++i) label_->RePaintControl();
  EXPECT_EQ(label_->CaptionLayoutCount(), laid_out);

  // Each change shows at once: a new caption, a new font, a wrapping width.
  label_->SetCaption(QStringLiteral("Another song"));
  EXPECT_NE(Shown(), before);
  EXPECT_EQ(label_->CaptionLayoutCount(), laid_out + 1);
  label_->SetCaption(QStringLiteral("Song title 歌名"));
  EXPECT_EQ(Shown(), before);
  label_->GetFont()->SetHeight(20);
  EXPECT_GT(label_->CaptionLayoutCount(), laid_out + 2);
  EXPECT_NE(Shown().size(), before.size());
}

TEST_F(LabelTest, AccessKeyFocusesTheFocusControl) {
  auto* target = new TscTrackBar();
  target->setParent(&form_);
  target->SetBounds(150, 10, 90, 20);
  target->SetTabStop(true);
  target->show();
  label_->SetCaption(QStringLiteral("&Volume"));
  label_->SetFocusControl(target);
  form_.activateWindow();
  QApplication::setActiveWindow(&form_);
  QTest::keyClick(&form_, Qt::Key_V, Qt::AltModifier);
  EXPECT_TRUE(target->hasFocus());
}

TEST_F(LabelTest, DragFormMovesTheWindowWithThePointer) {
  label_->SetCaption(QStringLiteral("Drag here"));
  const QPoint start = form_.pos();
  QTest::mousePress(label_, Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseMove(label_, QPoint(25, 15));
  QTest::mouseRelease(label_, Qt::LeftButton, {}, QPoint(25, 15));
  EXPECT_EQ(form_.pos(), start);  // DragForm is off
  label_->SetDragForm(true);
  QTest::mousePress(label_, Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseMove(label_, QPoint(25, 15));
  QTest::mouseRelease(label_, Qt::LeftButton, {}, QPoint(25, 15));
  EXPECT_EQ(form_.pos(), start + QPoint(20, 10));
}

TEST_F(LabelTest, AccessibleNameIsTheCaptionWithoutMarkers) {
  label_->SetCaption(QStringLiteral("&Rock && Roll"));
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(label_);
  ASSERT_NE(accessible, nullptr);
  EXPECT_EQ(accessible->role(), QAccessible::StaticText);
  EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Rock & Roll"));
}

// A caption wider than ElideWidth is cut with "…" at that width; the tooltip and assistive
// technology have the whole caption. A caption that fits shows whole, without a tooltip.
TEST_F(LabelTest, ACaptionWiderThanTheElideWidthIsCutAndWholeInTheTooltipAndName) {
  const QString whole = QStringLiteral("A much, much longer title that runs on and on");
  label_->SetElideWidth(100);
  label_->SetCaption(whole);
  EXPECT_EQ(label_->Width(), 100);
  EXPECT_TRUE(label_->CaptionCut());
  EXPECT_EQ(label_->toolTip(), whole);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(label_)->text(QAccessible::Name), whole);

  // Drawn as the text cut by Qt's own elision, "…" included.
  const QString cut = QFontMetrics(label_->font()).elidedText(whole, Qt::ElideRight, 100);
  ASSERT_TRUE(cut.endsWith(QChar(0x2026))) << cut.toStdString();
  TscLabel reference;
  reference.setParent(&form_);
  reference.SetAutoSize(false);
  reference.SetBounds(37, 40, label_->Width(), label_->Height());
  reference.SetCaption(cut);
  reference.show();
  EXPECT_EQ(Shown(), test::GrabAsShown(&reference));

  label_->SetCaption(QStringLiteral("Short"));
  EXPECT_LT(label_->Width(), 100);
  EXPECT_FALSE(label_->CaptionCut());
  EXPECT_TRUE(label_->toolTip().isEmpty());

  // Wider than the elide width only with its access-key marker: not cut; cut, the tooltip shows
  // the caption as drawn.
  label_->SetElideWidth(label_->Width());
  label_->SetCaption(QStringLiteral("Shor&t"));
  EXPECT_FALSE(label_->CaptionCut());
  label_->SetCaption(QStringLiteral("&Rock && Roll forever and ever"));
  EXPECT_EQ(label_->toolTip(), QStringLiteral("Rock & Roll forever and ever"));
  label_->SetElideWidth(0);
  EXPECT_FALSE(label_->CaptionCut());
  EXPECT_GT(label_->Width(), 100);
}

TEST(LabelLayout, LoadsEveryPublishedOptionAndTheMainWindowSizes) {
  Application::RegisterFonts();
  Form form;
  form.Load(QStringLiteral(ORVELLE_CONTROL_LAYOUTS "/labels.json"));
  // The labels size themselves to their stored captions once the window is loaded; in Tahoma these
  // are the sizes the main window was designed with.
  EXPECT_EQ(form.Component<TscLabel>(QStringLiteral("sclbl1"))->size(), QSize(84, 35));
  EXPECT_EQ(form.Component<TscLabel>(QStringLiteral("sclbl2"))->size(), QSize(52, 25));
  // At 11 pixels the rasteriser's glyph advances put "sclbl3" one pixel wider than the 26 designed.
  EXPECT_NEAR(form.Component<TscLabel>(QStringLiteral("sclbl3"))->Width(), 26, 1);
  EXPECT_EQ(form.Component<TscLabel>(QStringLiteral("sclbl3"))->Height(), 13);
  auto* first = form.Component<TscLabel>(QStringLiteral("sclbl1"));
  EXPECT_TRUE(first->UseFontColorToStyleColor());
  EXPECT_TRUE(first->GetFont()->Style().testFlag(Font::fsBold));
  EXPECT_EQ(first->GlowEffect()->GlowSize(), 7);
  auto* accel = form.Component<TscLabel>(QStringLiteral("accel"));
  EXPECT_EQ(accel->FocusControl(), form.Component<TscTrackBar>(QStringLiteral("target")));
  auto* boxed = form.Component<TscLabel>(QStringLiteral("boxed"));
  EXPECT_EQ(boxed->size(), QSize(80, 60));
  EXPECT_EQ(boxed->VertAlignment(), TscLabel::scvtaCenter);
  EXPECT_TRUE(form.Component<TscLabel>(QStringLiteral("glowing"))->GlowEffect()->Enabled());
}

}  // namespace
}  // namespace orvelle
