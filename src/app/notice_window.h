#pragma once

#include "controls/memo.h"
#include "toolkit/form.h"

#include <QKeyEvent>

namespace orvelle {

// The notice window: where the songs come from and who the program is for, in a read-only
// text view. Built from ":/layouts/notice_window.json"; closing it only hides it, and Escape closes
// it as the caption-bar button does.
//
// The notice's text begins with an empty line. Shown as that line, the caret would start on it and
// a screen reader would read nothing when the text takes the focus; so before the window is first
// shown, leading empty lines become as much room above the text, which looks the same.
class NoticeWindow : public Form {
  Q_OBJECT
  Q_PROPERTY(orvelle::TscGPMemo* noticeText MEMBER noticeText)

 public:
  static constexpr char kLayout[] = ":/layouts/notice_window.json";

  using Form::Form;

  TscGPMemo* noticeText = nullptr;

 private:
  bool text_starts_at_first_line_ = false;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
      close();
      return;
    }
    Form::keyPressEvent(event);
  }
};

}  // namespace orvelle
