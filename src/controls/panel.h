#pragma once

#include "controls/custom_control.h"
#include "controls/glow_effect.h"

#include <QString>

namespace orvelle {

// The kit's container panel: a background by StyleKind, a border by BorderStyle, a caption, and
// DrawClientArea / OnPanelPaint for what descendants and windows draw inside. It has no wallpaper
// or custom-image collections (no window uses them), so it publishes no indexes into them.
class TscPanel : public TscCustomControl {
  Q_OBJECT
  Q_PROPERTY(orvelle::TscPanel::TscPanelStyleKind StyleKind READ StyleKind WRITE SetStyleKind)
  Q_PROPERTY(orvelle::TscPanel::TscPanelBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
  Q_PROPERTY(orvelle::Color LightBorderColor READ LightBorderColor WRITE SetLightBorderColor)
  Q_PROPERTY(orvelle::Color ShadowBorderColor READ ShadowBorderColor WRITE SetShadowBorderColor)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(bool ShowCaption READ ShowCaption WRITE SetShowCaption)
  Q_PROPERTY(orvelle::TscPanel::TAlignment Alignment READ Alignment WRITE SetAlignment)
  Q_PROPERTY(orvelle::TscGlowEffect* CaptionGlowEffect READ CaptionGlowEffect)

 public:
  enum TscPanelStyleKind { scpsPanel, scpsToolBar, scpsHeader, scpsFormBackground, scpsTransparent, scpsEmpty,
                           scpsEdit, scpsTabSheet };
  Q_ENUM(TscPanelStyleKind)
  enum TscPanelBorderStyle { scpbsNone, scpbsFlat, scpbsRaised, scpbsLowered, scpbsLoweredBevel, scpbsRaisedBevel,
                             scpbsTopBevel, scpbsBottomBevel, scpbsTopLightLine, scpbsBottomLightLine,
                             scpbsTopShadowLine, scpbsBottomShadowLine, scpbsLeftBevel, scpbsRightBevel,
                             scpbsLeftLightLine, scpbsRightLightLine, scpbsLeftShadowLine, scpbsRightShadowLine,
                             scpbsHorzCenterBevel, scpbsVertCenterBevel };
  Q_ENUM(TscPanelBorderStyle)
  enum TAlignment { taLeftJustify, taRightJustify, taCenter };
  Q_ENUM(TAlignment)

  explicit TscPanel(QWidget* parent = nullptr);

  TscPanelStyleKind StyleKind() const { return style_kind_; }
  void SetStyleKind(TscPanelStyleKind kind);
  TscPanelBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TscPanelBorderStyle style);
  orvelle::Color LightBorderColor() const { return light_border_color_; }
  void SetLightBorderColor(orvelle::Color color);
  orvelle::Color ShadowBorderColor() const { return shadow_border_color_; }
  void SetShadowBorderColor(orvelle::Color color);
  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  bool ShowCaption() const { return show_caption_; }
  void SetShowCaption(bool value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
  TscGlowEffect* CaptionGlowEffect() const { return caption_glow_; }

  // Content rectangle: the whole panel, 2 pixels in on every side when it has a border.
  QRect ContentRect() const;

 signals:
  void OnPanelPaint(QObject* sender, QPainter* canvas, QRect rect);

 protected:
  void DrawControl(QPainter& painter, TscsCtrlState state) override;
  // After a size change of an opaque panel that does not keep its face.
  virtual void PanelResized() {}
  virtual QString GetCaptionText() const { return caption_; }
  virtual Color GetCaptionFontColor() const;
  // What descendants draw inside the content rectangle; empty here.
  virtual void DrawClientArea(QPainter& painter, const QRect& rect, TscsCtrlState state);

  QAccessible::Role AccessibleRole() const override { return QAccessible::Pane; }
  QString AccessibleCaption() const override { return GetCaptionText(); }

  // Whether an scpsEmpty panel skips painting altogether (true); descendants that always paint
  // clear it.
  bool CanEmpty() const { return can_empty_; }
  void SetCanEmpty(bool value) { can_empty_ = value; }

  void resizeEvent(QResizeEvent* event) override;

 private:
  void DrawBackground(QPainter& painter, const QRect& r);
  void DrawBorder(QPainter& painter, const QRect& r);
  void DrawCaption(QPainter& painter, const QRect& r);
  // A theme element's background colour as drawn; `fallback` without a theme or the element.
  QColor ElementColorOr(const QString& element, Color fallback) const;
  void UpdateClientMargins();

  TscPanelStyleKind style_kind_ = scpsPanel;
  TscPanelBorderStyle border_style_ = scpbsNone;
  orvelle::Color light_border_color_ = clBtnHighlight;
  orvelle::Color shadow_border_color_ = clBtnShadow;
  QString caption_;
  bool show_caption_ = false;
  TAlignment alignment_ = taCenter;
  TscGlowEffect* caption_glow_;
  bool can_empty_ = true;
};

}  // namespace orvelle
