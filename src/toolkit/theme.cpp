#include "toolkit/theme.h"

#include "service/error.h"
#include "toolkit/message_box.h"

#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include <memory>

// Resources of a static library must be initialised by name, outside any namespace.
static void InitThemeResources() { Q_INIT_RESOURCE(themes); }

namespace orvelle {
namespace {

struct ThemeState {
  std::unique_ptr<Theme> active;
  QString previous_style;  // name of the style before the theme replaced it
};

ThemeState& State() {
  static ThemeState state;
  return state;
}

Color ParseThemeColor(const QJsonValue& value, const QString& what) {
  const auto color = Color::FromName(value.toString());
  if (!value.isString() || !color) throw Error(QStringLiteral("Theme colour of %1 is not a colour").arg(what));
  return *color;
}

QPalette PaletteFor(const Theme& theme) {
  auto sys = [&](Color c) { return QColor(ColorToRGB(theme.SystemColor(c).value_or(c))); };
  QPalette p;
  p.setColor(QPalette::Window, sys(clBtnFace));
  p.setColor(QPalette::WindowText, sys(clWindowText));
  p.setColor(QPalette::Base, sys(clWindow));
  p.setColor(QPalette::AlternateBase, sys(clBtnFace));
  p.setColor(QPalette::ToolTipBase, sys(clInfoBk));
  p.setColor(QPalette::ToolTipText, sys(clInfoText));
  p.setColor(QPalette::PlaceholderText, sys(clGrayText));
  p.setColor(QPalette::Text, sys(clWindowText));
  p.setColor(QPalette::Button, sys(clBtnFace));
  p.setColor(QPalette::ButtonText, sys(clBtnText));
  p.setColor(QPalette::BrightText, QColor(Qt::white));
  p.setColor(QPalette::Light, sys(clBtnHighlight));
  p.setColor(QPalette::Midlight, sys(cl3DLight));
  p.setColor(QPalette::Dark, sys(clBtnShadow));
  p.setColor(QPalette::Mid, sys(clBtnShadow));
  p.setColor(QPalette::Shadow, sys(cl3DDkShadow));
  p.setColor(QPalette::Highlight, sys(clHighlight));
  p.setColor(QPalette::HighlightedText, sys(clHighlightText));
  p.setColor(QPalette::Link, sys(clHighlight));
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    p.setColor(QPalette::Disabled, role, sys(clGrayText));
  }
  return p;
}

}  // namespace

Theme Theme::FromJson(const QByteArray& json) {
  QJsonParseError parse_error;
  const QJsonDocument doc = QJsonDocument::fromJson(json, &parse_error);
  if (doc.isNull() || !doc.isObject()) {
    throw Error(QStringLiteral("Theme is not valid JSON: %1").arg(parse_error.errorString()));
  }
  const QJsonObject root = doc.object();
  Theme theme;
  theme.name_ = root.value(u"Name").toString();
  if (theme.name_.isEmpty()) throw Error(QStringLiteral("Theme has no name"));

  for (const QJsonValue entry : root.value(u"SystemColors").toArray()) {
    const QString name = entry[u"Color"].toString();
    const auto system = Color::FromName(name);
    if (!system || !system->IsSystem()) throw Error(QStringLiteral("Theme entry %1 is not a system colour").arg(name));
    theme.system_colors_.insert(system->Value(), ParseThemeColor(entry[u"Value"], name));
  }
  for (const QJsonValue entry : root.value(u"ElementColors").toArray()) {
    const QString element = entry[u"Element"].toString();
    if (element.isEmpty()) throw Error(QStringLiteral("Theme element colour without a name"));
    theme.element_colors_.insert(element, ParseThemeColor(entry[u"Value"], element));
  }
  for (const QJsonValue entry : root.value(u"Fonts").toArray()) {
    const QString element = entry[u"Element"].toString();
    const QJsonArray rgb = entry[u"Color"].toArray();
    if (element.isEmpty() || rgb.size() != 3) throw Error(QStringLiteral("Theme font entry %1 is malformed").arg(element));
    ThemeFont font;
    font.name = entry[u"Name"].toString();
    font.size = entry[u"Size"].toInt(9);
    font.charset = entry[u"Charset"].toInt(1);
    font.color = qRgb(rgb[0].toInt(), rgb[1].toInt(), rgb[2].toInt());
    font.bold = entry[u"Bold"].toBool(false);
    theme.fonts_.insert(element, font);
  }
  return theme;
}

std::optional<Color> Theme::SystemColor(Color color) const {
  if (!color.IsSystem()) return std::nullopt;
  const auto it = system_colors_.constFind(color.Value());
  if (it == system_colors_.constEnd()) return std::nullopt;
  return *it;
}

std::optional<Color> Theme::ElementColor(const QString& element) const {
  const auto it = element_colors_.constFind(element);
  if (it == element_colors_.constEnd()) return std::nullopt;
  return *it;
}

const ThemeFont* Theme::Font(const QString& element) const {
  const auto it = fonts_.constFind(element);
  return it == fonts_.constEnd() ? nullptr : &*it;
}

bool TrySetStyle(const QString& name) {
  InitThemeResources();
  QFile file(QStringLiteral(":/themes/%1.json").arg(name));
  if (!file.open(QIODevice::ReadOnly)) return false;
  auto theme = std::make_unique<Theme>(Theme::FromJson(file.readAll()));

  ThemeState& state = State();
  CapturePlatformPalette();
  if (!state.active && QApplication::style()) state.previous_style = QApplication::style()->name();
  const QPalette palette = PaletteFor(*theme);
  state.active = std::move(theme);
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
    app->setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(palette);
  }
  return true;
}

void SetStyle(const QString& name, bool showErrorDialog) {
  if (TrySetStyle(name)) return;
  if (showErrorDialog) {
    MessageBox(nullptr, QMessageBox::Critical, QString(), QStringLiteral("Style '%1' not found").arg(name),
               QMessageBox::Close);
  }
}

void ClearStyle() {
  ThemeState& state = State();
  if (!state.active) return;
  state.active.reset();
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
    if (!state.previous_style.isEmpty()) {
      if (QStyle* style = QStyleFactory::create(state.previous_style)) QApplication::setStyle(style);
    }
    QApplication::setPalette(PlatformPalette());
  }
}

bool IsCustomStyleActive() { return State().active != nullptr; }

const Theme* ActiveTheme() { return State().active.get(); }

Color GetSystemColor(Color color) {
  if (const Theme* theme = ActiveTheme()) return theme->SystemColor(color).value_or(color);
  return color;
}

Color GetElementColor(const QString& element) {
  if (const Theme* theme = ActiveTheme()) return theme->ElementColor(element).value_or(clNone);
  return clNone;
}

Color GetStyleFontColor(const QString& element) {
  const Theme* theme = ActiveTheme();
  const ThemeFont* font = theme ? theme->Font(element) : nullptr;
  if (!font) return clNone;
  return Color::FromRgb(qRed(font->color), qGreen(font->color), qBlue(font->color));
}

std::optional<QFont> GetStyleFont(const QString& element) {
  const Theme* theme = ActiveTheme();
  const ThemeFont* entry = theme ? theme->Font(element) : nullptr;
  if (!entry) return std::nullopt;
  QFont font(entry->name);
  font.setPointSize(entry->size);
  font.setBold(entry->bold);
  return font;
}

QColor ResolveColor(Color color, bool themed, std::uint8_t alpha) {
  const Color drawn = themed ? GetSystemColor(color) : color;
  if (drawn.IsNone()) return QColor::fromRgba(0);
  const QRgb rgb = ColorToRGB(drawn);
  return QColor(qRed(rgb), qGreen(rgb), qBlue(rgb), alpha);
}

}  // namespace orvelle
