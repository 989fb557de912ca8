#include "service/picture/picture_limits.h"

#include "service/picture/picture_error.h"

#include <limits>

namespace orvelle {

void ThrowPictureTooLarge() { throw PictureError(QStringLiteral("Picture too large")); }

size_t CheckPictureSize(uint64_t width, uint64_t height) {
  // Both factors are checked first so that the product cannot wrap.
  if (width > kMaxPicturePixels || height > kMaxPicturePixels) ThrowPictureTooLarge();
  const uint64_t pixels = width * height;
  if (pixels > kMaxPicturePixels) ThrowPictureTooLarge();
  return static_cast<size_t>(pixels);
}

size_t CheckedBufferSize(uint64_t count, uint64_t element) {
  if (element != 0 && count > std::numeric_limits<size_t>::max() / element) ThrowPictureTooLarge();
  return static_cast<size_t>(count * element);
}

}  // namespace orvelle
