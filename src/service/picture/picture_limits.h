#pragma once

#include <cstddef>
#include <cstdint>

namespace orvelle {

// The largest picture any decoder will make: 64 megapixels. Above it a decode fails with
// "Picture too large" before a pixel buffer is allocated. Fuzz targets are built with a
// smaller limit (ORVELLE_MAX_PICTURE_PIXELS), never the program.
#ifndef ORVELLE_MAX_PICTURE_PIXELS
#define ORVELLE_MAX_PICTURE_PIXELS 64'000'000
#endif
inline constexpr uint64_t kMaxPicturePixels = ORVELLE_MAX_PICTURE_PIXELS;

// Checks a declared picture size against kMaxPicturePixels and returns the pixel count.
// Throws PictureError "Picture too large" when the size is above the limit.
size_t CheckPictureSize(uint64_t width, uint64_t height);

// Multiplies sizes for a buffer of count * element bytes, failing with "Picture too large"
// instead of wrapping around.
size_t CheckedBufferSize(uint64_t count, uint64_t element);

// Throws the "Picture too large" PictureError; used where an allocation itself fails.
[[noreturn]] void ThrowPictureTooLarge();

}  // namespace orvelle
