#pragma once

#include "controls/memo.h"
#include "toolkit/form.h"

namespace orvelle {

// The notice window: where the songs come from and who the program is for, in a read-only
// text view. Built from ":/layouts/Form2.json"; closing it only hides it.
class TForm2 : public Form {
  Q_OBJECT
  Q_PROPERTY(orvelle::TscGPMemo* mmo1 MEMBER mmo1)

 public:
  static constexpr char kLayout[] = ":/layouts/Form2.json";

  using Form::Form;

  TscGPMemo* mmo1 = nullptr;
};

}  // namespace orvelle
