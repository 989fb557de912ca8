#pragma once

#include "service/error.h"

namespace orvelle {

// Every failed recognition, decode or conversion of a picture.
class PictureError : public Error {
 public:
  using Error::Error;
};

}  // namespace orvelle
