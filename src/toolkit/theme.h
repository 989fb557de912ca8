#pragma once

#include "toolkit/color.h"

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QString>

#include <cstdint>
#include <optional>

namespace orvelle {

// Text colour and font of one element of a theme ("CheckBoxTextHot", "ButtonTextNormal", ...).
struct ThemeFont {
  QString name;
  int size = 9;     // points
  int charset = 1;
  QRgb color = 0;   // opaque RGB
  bool bold = false;
};

// The three tables of a visual theme: the system colours it replaces, the background colours of
// its elements, and the text colours and fonts of its elements.
class Theme {
 public:
  // Reads a theme from its JSON form; throws Error when the text is not a well-formed theme.
  static Theme FromJson(const QByteArray& json);

  const QString& Name() const { return name_; }
  // The theme's value for a system colour, nothing for colours the theme does not replace.
  std::optional<Color> SystemColor(Color color) const;
  std::optional<Color> ElementColor(const QString& element) const;
  const ThemeFont* Font(const QString& element) const;

  int SystemColorCount() const { return static_cast<int>(system_colors_.size()); }
  int ElementColorCount() const { return static_cast<int>(element_colors_.size()); }
  int FontCount() const { return static_cast<int>(fonts_.size()); }

 private:
  QString name_;
  QHash<quint32, Color> system_colors_;
  QHash<QString, Color> element_colors_;
  QHash<QString, ThemeFont> fonts_;
};

// The process-wide theme service. A theme named N is the resource ":/themes/N.json".

// Activates the named theme and applies it to the whole application (a palette over the Fusion
// style for Qt's own widgets). Returns false, changing nothing, when no theme of that name exists.
// Throws Error when the theme exists but cannot be read.
bool TrySetStyle(const QString& name);
// As TrySetStyle; a missing theme shows the modal error box "Style '<name>' not found" with a
// Close button when showErrorDialog is set, and the default look stays.
void SetStyle(const QString& name, bool showErrorDialog = true);
// Back to the default look: no custom theme, the platform palette and the previous style.
void ClearStyle();

bool IsCustomStyleActive();
// The active theme, or nullptr.
const Theme* ActiveTheme();
// System colours replaced by the active theme; every other colour, and every colour while no
// theme is active, passes unchanged.
Color GetSystemColor(Color color);
// Background colour of a theme element; clNone without a theme or an entry.
Color GetElementColor(const QString& element);
// Text colour of a theme font element; clNone without a theme or an entry.
Color GetStyleFontColor(const QString& element);
// Font of a theme font element; nothing without a theme or an entry.
std::optional<QFont> GetStyleFont(const QString& element);

// The colour as drawn, the one way every control turns a colour value into pixels: when `themed`
// and a custom theme is active, the theme's value (system colours replaced, RGB values
// unchanged); system colours then through the platform palette; clNone fully transparent; then
// the alpha byte. Kit controls pass UsesStyle(seClient) (or seFont for text) as `themed`, option
// sets their StyleColors switch, the toolkit's own controls true (they always follow the theme).
QColor ResolveColor(Color color, bool themed, std::uint8_t alpha = 255);

}  // namespace orvelle
