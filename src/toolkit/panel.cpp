#include "toolkit/panel.h"

#include "toolkit/theme.h"

#include <QPainter>

namespace orvelle {
namespace {

void DrawBevel(QPainter& painter, QRect& r, Panel::TBevelCut cut) {
  if (cut == Panel::bvNone) return;
  if (cut != Panel::bvSpace) {
    const QColor light = ResolveColor(clBtnHighlight, true);
    const QColor shadow = ResolveColor(clBtnShadow, true);
    const QColor top_left = cut == Panel::bvRaised ? light : shadow;
    const QColor bottom_right = cut == Panel::bvRaised ? shadow : light;
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), top_left);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), top_left);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottom_right);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottom_right);
  }
  r.adjust(1, 1, -1, -1);
}

}  // namespace

Panel::Panel(QWidget* parent) : Control(parent) {
  resize(185, 41);
  UpdateMargins();
}

void Panel::SetCaption(const QString& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  update();
}

void Panel::SetShowCaption(bool value) {
  if (value == show_caption_) return;
  show_caption_ = value;
  update();
}

void Panel::SetBevelOuter(TBevelCut value) {
  if (value == bevel_outer_) return;
  bevel_outer_ = value;
  UpdateMargins();
  update();
}

void Panel::SetBevelInner(TBevelCut value) {
  if (value == bevel_inner_) return;
  bevel_inner_ = value;
  UpdateMargins();
  update();
}

void Panel::UpdateMargins() {
  const int m = (bevel_outer_ != bvNone ? 1 : 0) + (bevel_inner_ != bvNone ? 1 : 0);
  setContentsMargins(m, m, m, m);
  Realign();
}

void Panel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QRect r = rect();
  painter.fillRect(r, ResolveColor(GetColor(), true));
  DrawBevel(painter, r, bevel_outer_);
  DrawBevel(painter, r, bevel_inner_);
  if (show_caption_ && !caption_.isEmpty()) {
    Color text = IsCustomStyleActive() ? GetStyleFontColor(isEnabled() ? u"PanelTextNormal"_qs : u"PanelTextDisabled"_qs)
                                       : clNone;
    if (text.IsNone()) text = isEnabled() ? GetFont()->GetColor() : clGrayText;
    painter.setPen(ResolveColor(text, true));
    painter.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, caption_);
  }
}

}  // namespace orvelle
