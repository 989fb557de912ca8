#include "toolkit/color.h"

#include <QGuiApplication>
#include <QPalette>

#include <array>
#include <optional>
#include <utility>

namespace orvelle {
namespace {

struct NamedColor {
  const char* name;
  Color color;
};

constexpr std::array kNamedColors = {
    NamedColor{"clScrollBar", clScrollBar},
    NamedColor{"clBackground", clBackground},
    NamedColor{"clActiveCaption", clActiveCaption},
    NamedColor{"clInactiveCaption", clInactiveCaption},
    NamedColor{"clMenu", clMenu},
    NamedColor{"clWindow", clWindow},
    NamedColor{"clWindowFrame", clWindowFrame},
    NamedColor{"clMenuText", clMenuText},
    NamedColor{"clWindowText", clWindowText},
    NamedColor{"clCaptionText", clCaptionText},
    NamedColor{"clActiveBorder", clActiveBorder},
    NamedColor{"clInactiveBorder", clInactiveBorder},
    NamedColor{"clAppWorkSpace", clAppWorkSpace},
    NamedColor{"clHighlight", clHighlight},
    NamedColor{"clHighlightText", clHighlightText},
    NamedColor{"clBtnFace", clBtnFace},
    NamedColor{"clBtnShadow", clBtnShadow},
    NamedColor{"clGrayText", clGrayText},
    NamedColor{"clBtnText", clBtnText},
    NamedColor{"clInactiveCaptionText", clInactiveCaptionText},
    NamedColor{"clBtnHighlight", clBtnHighlight},
    NamedColor{"cl3DDkShadow", cl3DDkShadow},
    NamedColor{"cl3DLight", cl3DLight},
    NamedColor{"clInfoText", clInfoText},
    NamedColor{"clInfoBk", clInfoBk},
    NamedColor{"clHotLight", clHotLight},
    NamedColor{"clGradientActiveCaption", clGradientActiveCaption},
    NamedColor{"clGradientInactiveCaption", clGradientInactiveCaption},
    NamedColor{"clMenuHighlight", clMenuHighlight},
    NamedColor{"clMenuBar", clMenuBar},
    NamedColor{"clBlack", clBlack},
    NamedColor{"clMaroon", clMaroon},
    NamedColor{"clGreen", clGreen},
    NamedColor{"clOlive", clOlive},
    NamedColor{"clNavy", clNavy},
    NamedColor{"clPurple", clPurple},
    NamedColor{"clTeal", clTeal},
    NamedColor{"clGray", clGray},
    NamedColor{"clSilver", clSilver},
    NamedColor{"clRed", clRed},
    NamedColor{"clLime", clLime},
    NamedColor{"clYellow", clYellow},
    NamedColor{"clBlue", clBlue},
    NamedColor{"clFuchsia", clFuchsia},
    NamedColor{"clAqua", clAqua},
    NamedColor{"clWhite", clWhite},
    NamedColor{"clMoneyGreen", clMoneyGreen},
    NamedColor{"clSkyBlue", clSkyBlue},
    NamedColor{"clCream", clCream},
    NamedColor{"clMedGray", clMedGray},
    NamedColor{"clNone", clNone},
    NamedColor{"clDefault", clDefault},
    // Aliases that come after their canonical names so Name() prefers the latter.
    NamedColor{"clLtGray", clLtGray},
    NamedColor{"clDkGray", clDkGray},
};

std::optional<QPalette>& StoredPlatformPalette() {
  static std::optional<QPalette> palette;
  return palette;
}

// Where each system colour index is found in a Qt palette.
QColor SystemColorFromPalette(const QPalette& p, int index) {
  using R = QPalette::ColorRole;
  switch (index) {
    case 0: return p.color(R::Window);                                 // scroll bar
    case 1: return p.color(R::Window);                                 // desktop
    case 2: return p.color(QPalette::Active, R::Highlight);            // active caption
    case 3: return p.color(R::Mid);                                    // inactive caption
    case 4: return p.color(R::Window);                                 // menu
    case 5: return p.color(R::Base);                                   // window
    case 6: return p.color(R::Shadow);                                 // window frame
    case 7: return p.color(R::WindowText);                             // menu text
    case 8: return p.color(R::Text);                                   // window text
    case 9: return p.color(R::HighlightedText);                        // caption text
    case 10: return p.color(R::Window);                                // active border
    case 11: return p.color(R::Window);                                // inactive border
    case 12: return p.color(R::Dark);                                  // application work space
    case 13: return p.color(QPalette::Active, R::Highlight);           // highlight
    case 14: return p.color(QPalette::Active, R::HighlightedText);     // highlight text
    case 15: return p.color(R::Button);                                // button face
    case 16: return p.color(R::Dark);                                  // button shadow
    case 17: return p.color(QPalette::Disabled, R::Text);              // grey text
    case 18: return p.color(R::ButtonText);                            // button text
    case 19: return p.color(QPalette::Disabled, R::WindowText);        // inactive caption text
    case 20: return p.color(R::Light);                                 // button highlight
    case 21: return p.color(R::Shadow);                                // 3D dark shadow
    case 22: return p.color(R::Midlight);                              // 3D light
    case 23: return p.color(R::ToolTipText);                           // info text
    case 24: return p.color(R::ToolTipBase);                           // info background
    case 26: return p.color(R::Link);                                  // hot light
    case 27: return p.color(QPalette::Active, R::Highlight);           // gradient active caption
    case 28: return p.color(R::Mid);                                   // gradient inactive caption
    case 29: return p.color(QPalette::Active, R::Highlight);           // menu highlight
    case 30: return p.color(R::Window);                                // menu bar
    default: return QColor(Qt::black);
  }
}

}  // namespace

std::optional<Color> Color::FromName(const QString& text) {
  for (const NamedColor& named : kNamedColors) {
    if (text == QLatin1String(named.name)) return named.color;
  }
  bool ok = false;
  if (text.size() == 7 && text.startsWith(u'#')) {
    const uint rgb = text.mid(1).toUInt(&ok, 16);
    if (!ok) return std::nullopt;
    return FromRgb(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF), static_cast<int>(rgb & 0xFF));
  }
  if (text.size() == 9 && text.startsWith(u'$')) {
    const uint value = text.mid(1).toUInt(&ok, 16);
    if (!ok) return std::nullopt;
    return Color(value);
  }
  return std::nullopt;
}

QString Color::Name() const {
  for (const NamedColor& named : kNamedColors) {
    if (named.color == *this) return QLatin1String(named.name);
  }
  if ((value_ & 0xFF000000u) == 0) {
    return QStringLiteral("#%1%2%3")
        .arg(Red(), 2, 16, QChar(u'0'))
        .arg(Green(), 2, 16, QChar(u'0'))
        .arg(Blue(), 2, 16, QChar(u'0'))
        .toUpper();
  }
  return QStringLiteral("$%1").arg(value_, 8, 16, QChar(u'0')).toUpper();
}

const QPalette& PlatformPalette() {
  auto& stored = StoredPlatformPalette();
  if (!stored) {
    // Nothing captured yet: no theme has replaced the application palette.
    static QPalette current;
    current = QGuiApplication::palette();
    return current;
  }
  return *stored;
}

void CapturePlatformPalette() {
  auto& stored = StoredPlatformPalette();
  if (!stored) stored = QGuiApplication::palette();
}

QRgb ColorToRGB(Color color) {
  if (color.IsSystem()) return SystemColorFromPalette(PlatformPalette(), color.SystemIndex()).rgb();
  if ((color.Value() & 0xFF000000u) != 0) return qRgb(0, 0, 0);
  return qRgb(color.Red(), color.Green(), color.Blue());
}

}  // namespace orvelle
