#pragma once

#include "toolkit/mul_div.h"

#include <QColor>
#include <QMetaType>
#include <QPalette>
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <optional>

namespace orvelle {

// The toolkit's 32-bit colour value: an RGB value 0x00BBGGRR, a reference to a system colour
// 0xFF0000nn (nn being the system colour index), or clNone (0x1FFFFFFF, no colour).
class Color {
 public:
  constexpr Color() = default;
  constexpr explicit Color(std::uint32_t value) : value_(value) {}

  static constexpr Color FromRgb(int red, int green, int blue) {
    return Color(static_cast<std::uint32_t>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16)));
  }
  static constexpr Color System(int index) { return Color(0xFF000000u | static_cast<std::uint32_t>(index & 0xFF)); }

  constexpr std::uint32_t Value() const { return value_; }
  constexpr bool IsSystem() const { return (value_ & 0xFF000000u) == 0xFF000000u; }
  constexpr bool IsNone() const { return value_ == 0x1FFFFFFFu; }
  constexpr int SystemIndex() const { return static_cast<int>(value_ & 0xFF); }
  // Channels of an RGB value (meaningless for system colours and clNone).
  constexpr int Red() const { return static_cast<int>(value_ & 0xFF); }
  constexpr int Green() const { return static_cast<int>((value_ >> 8) & 0xFF); }
  constexpr int Blue() const { return static_cast<int>((value_ >> 16) & 0xFF); }

  constexpr bool operator==(const Color&) const = default;

  // Parses "clBtnFace", "clWhite", "#RRGGBB", "$00BBGGRR" or "clNone"; nothing for other text.
  static std::optional<Color> FromName(const QString& text);
  // The name of a named colour ("clBtnFace"), else "#RRGGBB" for RGB values, else "$XXXXXXXX".
  QString Name() const;

 private:
  std::uint32_t value_ = 0;
};

// System colours by their index.
inline constexpr Color clScrollBar = Color::System(0);
inline constexpr Color clBackground = Color::System(1);
inline constexpr Color clActiveCaption = Color::System(2);
inline constexpr Color clInactiveCaption = Color::System(3);
inline constexpr Color clMenu = Color::System(4);
inline constexpr Color clWindow = Color::System(5);
inline constexpr Color clWindowFrame = Color::System(6);
inline constexpr Color clMenuText = Color::System(7);
inline constexpr Color clWindowText = Color::System(8);
inline constexpr Color clCaptionText = Color::System(9);
inline constexpr Color clActiveBorder = Color::System(10);
inline constexpr Color clInactiveBorder = Color::System(11);
inline constexpr Color clAppWorkSpace = Color::System(12);
inline constexpr Color clHighlight = Color::System(13);
inline constexpr Color clHighlightText = Color::System(14);
inline constexpr Color clBtnFace = Color::System(15);
inline constexpr Color clBtnShadow = Color::System(16);
inline constexpr Color clGrayText = Color::System(17);
inline constexpr Color clBtnText = Color::System(18);
inline constexpr Color clInactiveCaptionText = Color::System(19);
inline constexpr Color clBtnHighlight = Color::System(20);
inline constexpr Color cl3DDkShadow = Color::System(21);
inline constexpr Color cl3DLight = Color::System(22);
inline constexpr Color clInfoText = Color::System(23);
inline constexpr Color clInfoBk = Color::System(24);
inline constexpr Color clHotLight = Color::System(26);
inline constexpr Color clGradientActiveCaption = Color::System(27);
inline constexpr Color clGradientInactiveCaption = Color::System(28);
inline constexpr Color clMenuHighlight = Color::System(29);
inline constexpr Color clMenuBar = Color::System(30);

// Named RGB colours.
inline constexpr Color clBlack = Color(0x000000);
inline constexpr Color clMaroon = Color(0x000080);
inline constexpr Color clGreen = Color(0x008000);
inline constexpr Color clOlive = Color(0x008080);
inline constexpr Color clNavy = Color(0x800000);
inline constexpr Color clPurple = Color(0x800080);
inline constexpr Color clTeal = Color(0x808000);
inline constexpr Color clGray = Color(0x808080);
inline constexpr Color clSilver = Color(0xC0C0C0);
inline constexpr Color clRed = Color(0x0000FF);
inline constexpr Color clLime = Color(0x00FF00);
inline constexpr Color clYellow = Color(0x00FFFF);
inline constexpr Color clBlue = Color(0xFF0000);
inline constexpr Color clFuchsia = Color(0xFF00FF);
inline constexpr Color clAqua = Color(0xFFFF00);
inline constexpr Color clWhite = Color(0xFFFFFF);
inline constexpr Color clLtGray = Color(0xC0C0C0);
inline constexpr Color clDkGray = Color(0x808080);
inline constexpr Color clMoneyGreen = Color(0xC0DCC0);
inline constexpr Color clSkyBlue = Color(0xF0CAA6);
inline constexpr Color clCream = Color(0xF0FBFF);
inline constexpr Color clMedGray = Color(0xA4A0A0);

inline constexpr Color clNone = Color(0x1FFFFFFF);
inline constexpr Color clDefault = Color(0x20000000);

// The platform's current value of a colour, ignoring any theme: system colours are read from the
// platform palette, RGB values pass unchanged. clNone and clDefault give black.
QRgb ColorToRGB(Color color);

// The platform palette as it was before a theme replaced the application palette.
const QPalette& PlatformPalette();
// Records the current application palette as the platform palette (done before a theme is applied).
void CapturePlatformPalette();

}  // namespace orvelle

Q_DECLARE_METATYPE(orvelle::Color)
