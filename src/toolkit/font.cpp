#include "toolkit/font.h"

#include <cstdlib>

namespace orvelle {

Font::Font(QObject* parent) : QObject(parent) {}

void Font::SetName(const QString& name) {
  if (name == name_) return;
  name_ = name;
  emit Changed();
}

void Font::SetHeight(int height) {
  height = std::abs(height);
  if (height == height_) return;
  height_ = height;
  emit Changed();
}

int Font::Size() const { return MulDiv(height_, 72, 96); }

void Font::SetSize(int points) { SetHeight(MulDiv(std::abs(points), 96, 72)); }

void Font::SetStyle(FontStyles style) {
  if (style == style_) return;
  style_ = style;
  emit Changed();
}

void Font::SetColor(orvelle::Color color) {
  if (color == color_) return;
  color_ = color;
  emit Changed();
}

void Font::SetCharset(int charset) {
  if (charset == charset_) return;
  charset_ = charset;
  emit Changed();
}

void Font::Assign(const Font& other) {
  if (name_ == other.name_ && height_ == other.height_ && style_ == other.style_ && color_ == other.color_ &&
      charset_ == other.charset_) {
    return;
  }
  name_ = other.name_;
  height_ = other.height_;
  style_ = other.style_;
  color_ = other.color_;
  charset_ = other.charset_;
  emit Changed();
}

QFont Font::ToQFont() const {
  QFont font(name_);
  font.setPixelSize(height_ > 0 ? height_ : 1);
  font.setBold(style_.testFlag(fsBold));
  font.setItalic(style_.testFlag(fsItalic));
  font.setUnderline(style_.testFlag(fsUnderline));
  font.setStrikeOut(style_.testFlag(fsStrikeOut));
  return font;
}

}  // namespace orvelle
