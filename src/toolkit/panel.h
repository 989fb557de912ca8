#pragma once

#include "toolkit/control.h"

#include <QString>

namespace orvelle {

// The toolkit's plain panel: a container filled with its colour, a raised one-pixel bevel by
// default, and its caption centred when ShowCaption is on.
class Panel : public Control {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(bool ShowCaption READ ShowCaption WRITE SetShowCaption)
  Q_PROPERTY(orvelle::Panel::TBevelCut BevelOuter READ BevelOuter WRITE SetBevelOuter)
  Q_PROPERTY(orvelle::Panel::TBevelCut BevelInner READ BevelInner WRITE SetBevelInner)

 public:
  enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
  Q_ENUM(TBevelCut)

  explicit Panel(QWidget* parent = nullptr);

  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  bool ShowCaption() const { return show_caption_; }
  void SetShowCaption(bool value);
  TBevelCut BevelOuter() const { return bevel_outer_; }
  void SetBevelOuter(TBevelCut value);
  TBevelCut BevelInner() const { return bevel_inner_; }
  void SetBevelInner(TBevelCut value);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void UpdateMargins();

  QString caption_;
  bool show_caption_ = true;
  TBevelCut bevel_outer_ = bvRaised;
  TBevelCut bevel_inner_ = bvNone;
};

}  // namespace orvelle
