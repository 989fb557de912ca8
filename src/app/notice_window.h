#pragma once

#include "controls/memo.h"
#include "toolkit/form.h"

#include <QKeyEvent>

namespace orvelle {

// The notice window: where the songs come from and who the program is for, in a read-only
// text view. Built from ":/layouts/notice_window.json"; closing it only hides it, and Escape closes
// it as the caption-bar button does.
class NoticeWindow : public Form {
  Q_OBJECT
  Q_PROPERTY(orvelle::TscGPMemo* noticeText MEMBER noticeText)

 public:
  static constexpr char kLayout[] = ":/layouts/notice_window.json";

  using Form::Form;

  TscGPMemo* noticeText = nullptr;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
      close();
      return;
    }
    Form::keyPressEvent(event);
  }
};

}  // namespace orvelle
