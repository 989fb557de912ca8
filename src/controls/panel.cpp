#include "controls/panel.h"

#include "controls/caption_text.h"
#include "controls/glow_text.h"
#include "toolkit/theme.h"

#include <QLinearGradient>
#include <QPainter>

namespace orvelle {
namespace {

}  // namespace

TscPanel::TscPanel(QWidget* parent) : TscCustomControl(parent), caption_glow_(new TscGlowEffect(this)) {
  SetTransparentBackground(false);
  resize(185, 41);
  connect(caption_glow_, &TscGlowEffect::Changed, this, [this] {
    if (show_caption_) RePaintControl();
  });
}

void TscPanel::SetStyleKind(TscPanelStyleKind kind) {
  if (kind == style_kind_) return;
  const bool was_transparent = style_kind_ == scpsTransparent;
  style_kind_ = kind;
  if (was_transparent && kind != scpsTransparent) {
    SetTransparentBackground(false);
  } else if (kind == scpsTransparent) {
    SetTransparentBackground(true);
    CaptureParentBackground();
  }
  RePaintControl();
  NotifyChildrenBackground();
}

void TscPanel::SetBorderStyle(TscPanelBorderStyle style) {
  if (style == border_style_) return;
  border_style_ = style;
  UpdateClientMargins();
  RePaintControl();
}

void TscPanel::UpdateClientMargins() {
  int m = 0;
  switch (border_style_) {
    case scpbsFlat:
    case scpbsRaised:
    case scpbsLowered:
      m = 1;
      break;
    case scpbsLoweredBevel:
    case scpbsRaisedBevel:
      m = 2;
      break;
    default:
      break;
  }
  setContentsMargins(m, m, m, m);
  Realign();
}

void TscPanel::SetLightBorderColor(orvelle::Color color) {
  if (color == light_border_color_) return;
  light_border_color_ = color;
  RePaintControl();
}

void TscPanel::SetShadowBorderColor(orvelle::Color color) {
  if (color == shadow_border_color_) return;
  shadow_border_color_ = color;
  RePaintControl();
}

void TscPanel::SetCaption(const QString& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  if (show_caption_) RePaintControl();
}

void TscPanel::SetShowCaption(bool value) { StoreAndRepaint(show_caption_, value); }

void TscPanel::SetAlignment(TAlignment alignment) {
  if (alignment == alignment_) return;
  alignment_ = alignment;
  if (show_caption_) RePaintControl();
}

QRect TscPanel::ContentRect() const {
  const QRect r = rect();
  return border_style_ == scpbsNone ? r : r.adjusted(2, 2, -2, -2);
}

QColor TscPanel::ElementColorOr(const QString& element, Color fallback) const {
  const bool themed = UsesStyle(seClient);
  const Color color = themed ? GetElementColor(element) : clNone;
  return ResolveColor(color.IsNone() ? fallback : color, themed);
}

Color TscPanel::GetCaptionFontColor() const {
  if (UsesStyle(seFont)) {
    const Color color = GetStyleFontColor(isEnabled() ? QStringLiteral("PanelTextNormal") : QStringLiteral("PanelTextDisabled"));
    if (!color.IsNone()) return color;
  }
  return isEnabled() ? GetFont()->GetColor() : clGrayText;
}

void TscPanel::DrawClientArea(QPainter&, const QRect&, TscsCtrlState) {}

void TscPanel::DrawControl(QPainter& painter, TscsCtrlState state) {
  if (style_kind_ == scpsEmpty && can_empty_) return;
  const QRect r = rect();
  DrawBackground(painter, r);
  DrawBorder(painter, r);
  const QRect content = ContentRect();
  DrawClientArea(painter, content, state);
  emit OnPanelPaint(this, &painter, content);
  if (show_caption_ && !GetCaptionText().isEmpty()) DrawCaption(painter, r);
}

void TscPanel::DrawBackground(QPainter& painter, const QRect& r) {
  const bool themed = UsesStyle(seClient);
  const QColor face = ResolveColor(GetColor(), themed);
  // A theme gradient from its two element colours; the panel's colour without them.
  auto gradient = [&](const QString& base, const QString& end) {
    const QColor top = ElementColorOr(base, clNone);
    const QColor bottom = ElementColorOr(end, clNone);
    if (top.alpha() == 0 || bottom.alpha() == 0) {
      painter.fillRect(r, face);
      return;
    }
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    painter.fillRect(r, fill);
  };
  switch (style_kind_) {
    case scpsPanel:
      painter.fillRect(r, face);
      break;
    case scpsTransparent:
    case scpsEmpty:
      break;
    case scpsToolBar:
      gradient(QStringLiteral("ToolBarGradientBase"), QStringLiteral("ToolBarGradientEnd"));
      break;
    case scpsHeader:
      gradient(QStringLiteral("GenericGradientBase"), QStringLiteral("GenericGradientEnd"));
      break;
    case scpsFormBackground:
      painter.fillRect(r, ElementColorOr(QStringLiteral("Window"), clBtnFace));
      break;
    case scpsTabSheet:
      painter.fillRect(r, ElementColorOr(QStringLiteral("Panel"), clBtnFace));
      break;
    case scpsEdit:
      painter.fillRect(r, ElementColorOr(QStringLiteral("Border"), clBtnShadow));
      painter.fillRect(r.adjusted(2, 2, -2, -2), ElementColorOr(QStringLiteral("Edit"), clWindow));
      break;
  }
}

void TscPanel::DrawBorder(QPainter& painter, const QRect& r) {
  if (border_style_ == scpbsNone || r.isEmpty()) return;
  const QColor light = ResolveColor(light_border_color_, UsesStyle(seClient));
  const QColor shadow = ResolveColor(shadow_border_color_, UsesStyle(seClient));
  auto top = [&](const QRect& b, const QColor& c) { painter.fillRect(QRect(b.left(), b.top(), b.width(), 1), c); };
  auto bottom = [&](const QRect& b, const QColor& c) { painter.fillRect(QRect(b.left(), b.bottom(), b.width(), 1), c); };
  auto left = [&](const QRect& b, const QColor& c) { painter.fillRect(QRect(b.left(), b.top(), 1, b.height()), c); };
  auto right = [&](const QRect& b, const QColor& c) { painter.fillRect(QRect(b.right(), b.top(), 1, b.height()), c); };
  auto frame = [&](const QRect& b, const QColor& top_left, const QColor& bottom_right) {
    top(b, top_left);
    left(b, top_left);
    bottom(b, bottom_right);
    right(b, bottom_right);
  };
  const QRect inner = r.adjusted(1, 1, -1, -1);
  switch (border_style_) {
    case scpbsNone:
      break;
    case scpbsFlat:
      frame(r, shadow, shadow);
      break;
    case scpbsRaised:
      frame(r, light, shadow);
      break;
    case scpbsLowered:
      frame(r, shadow, light);
      break;
    case scpbsLoweredBevel:
      frame(r, shadow, light);
      frame(inner, light, shadow);
      break;
    case scpbsRaisedBevel:
      frame(r, light, shadow);
      frame(inner, shadow, light);
      break;
    case scpbsTopBevel:
      top(r, shadow);
      top(inner, light);
      break;
    case scpbsBottomBevel:
      bottom(r.adjusted(0, 0, 0, -1), shadow);
      bottom(r, light);
      break;
    case scpbsTopLightLine:
      top(r, light);
      break;
    case scpbsBottomLightLine:
      bottom(r, light);
      break;
    case scpbsTopShadowLine:
      top(r, shadow);
      break;
    case scpbsBottomShadowLine:
      bottom(r, shadow);
      break;
    case scpbsLeftBevel:
      left(r, shadow);
      left(inner, light);
      break;
    case scpbsRightBevel:
      right(r.adjusted(0, 0, -1, 0), shadow);
      right(r, light);
      break;
    case scpbsLeftLightLine:
      left(r, light);
      break;
    case scpbsRightLightLine:
      right(r, light);
      break;
    case scpbsLeftShadowLine:
      left(r, shadow);
      break;
    case scpbsRightShadowLine:
      right(r, shadow);
      break;
    case scpbsHorzCenterBevel: {
      const int y = r.top() + r.height() / 2;
      painter.fillRect(QRect(r.left(), y - 1, r.width(), 1), shadow);
      painter.fillRect(QRect(r.left(), y, r.width(), 1), light);
      break;
    }
    case scpbsVertCenterBevel: {
      const int x = r.left() + r.width() / 2;
      painter.fillRect(QRect(x - 1, r.top(), 1, r.height()), shadow);
      painter.fillRect(QRect(x, r.top(), 1, r.height()), light);
      break;
    }
  }
}

void TscPanel::DrawCaption(QPainter& painter, const QRect& r) {
  const QRect area = r.adjusted(3, 3, -3, -3);
  CaptionFormat format;
  format.access_markers = !LiteralCaption();
  format.alignment = Qt::AlignVCenter |
                     (alignment_ == taLeftJustify ? Qt::AlignLeft : alignment_ == taRightJustify ? Qt::AlignRight : Qt::AlignHCenter);
  const QString text = GetCaptionText();
  auto draw_text = [&](QPainter& p, const QRect& at) { orvelle::DrawCaption(p, at, text, font(), format); };
  painter.save();
  if (caption_glow_->Enabled()) DrawGlowText(painter, area, *caption_glow_, draw_text);
  painter.setPen(ResolveColor(GetCaptionFontColor(), UsesStyle(seFont)));
  draw_text(painter, area);
  painter.restore();
}

void TscPanel::resizeEvent(QResizeEvent* event) {
  TscCustomControl::resizeEvent(event);
  if (!TransparentBackground() && !StorePaintBuffer()) {
    RePaintControl();
    PanelResized();
  }
}

}  // namespace orvelle
