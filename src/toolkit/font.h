#pragma once

#include "toolkit/color.h"

#include <QFont>
#include <QObject>
#include <QString>

namespace orvelle {

// The font option set of a control or window: family, height in pixels (or size in points at
// 96 pixels per inch), style, colour and character set. Changed fires after every change.
class Font : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString Name READ Name WRITE SetName)
  Q_PROPERTY(int Height READ Height WRITE SetHeight)
  Q_PROPERTY(int Size READ Size WRITE SetSize)
  Q_PROPERTY(orvelle::Font::FontStyles Style READ Style WRITE SetStyle)
  Q_PROPERTY(orvelle::Color Color READ GetColor WRITE SetColor)
  Q_PROPERTY(int Charset READ Charset WRITE SetCharset)

 public:
  enum FontStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
  Q_DECLARE_FLAGS(FontStyles, FontStyle)
  Q_FLAG(FontStyles)

  explicit Font(QObject* parent = nullptr);

  QString Name() const { return name_; }
  void SetName(const QString& name);
  // Height in pixels; a negative height (a character height) counts by its magnitude.
  int Height() const { return height_; }
  void SetHeight(int height);
  int Size() const;
  void SetSize(int points);
  FontStyles Style() const { return style_; }
  void SetStyle(FontStyles style);
  orvelle::Color GetColor() const { return color_; }
  void SetColor(orvelle::Color color);
  int Charset() const { return charset_; }
  void SetCharset(int charset);

  // Copies every value of another font, firing Changed once when something differs.
  void Assign(const Font& other);
  // The Qt font for these values.
  QFont ToQFont() const;

 signals:
  void Changed();

 private:
  QString name_ = QStringLiteral("Tahoma");
  int height_ = 11;
  FontStyles style_;
  orvelle::Color color_ = clWindowText;
  int charset_ = 1;
};

}  // namespace orvelle

Q_DECLARE_OPERATORS_FOR_FLAGS(orvelle::Font::FontStyles)
