#pragma once

#include "controls/memo.h"
#include "toolkit/form.h"

namespace orvelle {

// The notice window: where the songs come from and who the program is for, in a read-only
// text view. Built from ":/layouts/notice_window.json"; closing it only hides it.
class NoticeWindow : public Form {
  Q_OBJECT
  Q_PROPERTY(orvelle::TscGPMemo* noticeText MEMBER noticeText)

 public:
  static constexpr char kLayout[] = ":/layouts/notice_window.json";

  using Form::Form;

  TscGPMemo* noticeText = nullptr;
};

}  // namespace orvelle
