#pragma once

#include "controls/active_control.h"
#include "controls/custom_control.h"

#include <QPainter>

namespace orvelle::test {

// A transparent kit control that draws an anti-aliased white disc inscribed in its bounds.
class DiscControl : public TscCustomControl {
  Q_OBJECT
 public:
  using TscCustomControl::TscCustomControl;
  int draws = 0;
  int background_notices = 0;
  TscsCtrlState last_state = scsNormal;
  int ring_width = 10;  // a pixel option of the control's own

 protected:
  void ScalePixelOptions(int m, int d) override { ring_width = MulDiv(ring_width, m, d); }
  void DrawControl(QPainter& painter, TscsCtrlState state) override {
    ++draws;
    last_state = state;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(Qt::white));
    painter.drawEllipse(QRectF(0, 0, width(), height()));
  }
  bool event(QEvent* event) override {
    if (event->type() == ParentBackgroundChanged) ++background_notices;
    return TscCustomControl::event(event);
  }
};

// An active control that fills itself with a colour per state.
class HotControl : public TscCustomActiveControl {
  Q_OBJECT
 public:
  using TscCustomActiveControl::TscCustomActiveControl;
  int enters = 0;
  int leaves = 0;

 protected:
  void DrawControl(QPainter& painter, TscsCtrlState state) override {
    painter.fillRect(rect(), state == scsHot ? QColor(0, 255, 0) : QColor(0, 0, 255));
  }
  void DoMouseEnter() override {
    ++enters;
    TscCustomActiveControl::DoMouseEnter();
  }
  void DoMouseLeave() override {
    ++leaves;
    TscCustomActiveControl::DoMouseLeave();
  }
};

}  // namespace orvelle::test
