#include "service/picture/png_codec.h"

#include "service/log.h"
#include "service/picture/byte_reader.h"
#include "service/picture/picture_error.h"
#include "service/picture/picture_limits.h"

#include <libdeflate.h>
#include <zlib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace orvelle {

using picture_bytes::Be32;
using picture_bytes::PutBe32;

namespace {

constexpr uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint32_t kMaxDimension = 65535;
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;
// Above deflate's largest possible expansion (258 bytes from a 2-bit code, about 1032:1).
constexpr uint64_t kMaxDeflateRatio = 1100;
// Pictures up to this many bytes of 32-bit output are inflated in one go (about 2000 x 2000).
constexpr uint64_t kWholeInflateLimit = 16 * 1024 * 1024;

#define PNG_NAME "\"Portable Network Graphics\""

[[noreturn]] void Fail(const char* text) { throw PictureError(QString::fromUtf8(text)); }

[[noreturn]] void FailSignature() {
  Fail("The file being read is not a valid " PNG_NAME
       " image because it contains an invalid header. This file may be corrupted, try obtaining it again");
}
[[noreturn]] void FailUnexpectedEnd() {
  Fail("This " PNG_NAME " image is invalid because the decoder found an unexpected end of the file.");
}
[[noreturn]] void FailCrc() {
  Fail("This " PNG_NAME " image is not valid because it contains invalid pieces of data (crc error)");
}
[[noreturn]] void FailHeaderNotFirst() {
  Fail("This " PNG_NAME " image is not supported or it might be invalid.\r\n(IHDR chunk is not the first)");
}
[[noreturn]] void FailUnknownCritical() {
  Fail("This " PNG_NAME " image contains an unknown critical part which could not be decoded.");
}
[[noreturn]] void FailNoData() { Fail("This " PNG_NAME " image contains no data."); }
[[noreturn]] void FailTooWide() {
  Fail("This " PNG_NAME
       " image is not supported because either its width or height exceeds the maximum size of 65535 pixels.");
}
[[noreturn]] void FailInflate(const char* description) {
  throw PictureError(QStringLiteral("Could not decompress the image because it contains invalid compressed data.\r\n"
                                    " Description: ") +
                     QString::fromUtf8(description));
}
[[noreturn]] void FailColorType() {
  Fail("This " PNG_NAME " image uses an unknown color type which could not be decoded.");
}
[[noreturn]] void FailBitDepth() {
  Fail("This " PNG_NAME " image uses an unknown bit depth which could not be decoded.");
}
[[noreturn]] void FailInterlace() {
  Fail("This " PNG_NAME " image uses an unknown interlace scheme which could not be decoded.");
}
[[noreturn]] void FailCompression() {
  Fail("This " PNG_NAME " image is encoded with an unknown compression scheme which could not be decoded.");
}
[[noreturn]] void FailFilterMethod() {
  Fail("This " PNG_NAME " image uses an unknown filter method which could not be decoded.");
}
[[noreturn]] void FailFilterType() {
  Fail("This " PNG_NAME " image contains an unknown filter type which could not be decoded.");
}
[[noreturn]] void FailPalette() { Fail("This " PNG_NAME " image contains an invalid palette."); }
[[noreturn]] void FailMissingPalette() { Fail("This " PNG_NAME " image has no palette."); }
[[noreturn]] void FailHeader() {
  Fail("This " PNG_NAME " image is not supported or it might be invalid.");
}
[[noreturn]] void FailSize() { Fail("This " PNG_NAME " image has an invalid size."); }

bool TypeIs(const uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

int FileChannels(uint8_t colorType) {
  switch (colorType) {
    case kPngGray: return 1;
    case kPngRgb: return 3;
    case kPngPalette: return 1;
    case kPngGrayAlpha: return 2;
    case kPngRgba: return 4;
  }
  return 0;
}

bool ValidDepth(uint8_t colorType, uint8_t depth) {
  switch (colorType) {
    case kPngGray: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case kPngPalette: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case kPngRgb:
    case kPngGrayAlpha:
    case kPngRgba: return depth == 8 || depth == 16;
  }
  return false;
}

struct Span {
  const uint8_t* data;
  uint32_t size;
};

// Inflates the whole image data in one call with libdeflate, several times faster than
// zlib's streaming inflate. Succeeds only for one complete zlib stream of exactly `size`
// bytes with the right checksum; otherwise it returns false and the caller inflates the
// same data with zlib, which then accepts it or fails with zlib's own description.
bool InflateWhole(const std::vector<Span>& spans, uint8_t* out, size_t size) {
  std::vector<uint8_t> joined;
  const uint8_t* in = spans.empty() ? nullptr : spans[0].data;
  size_t inSize = spans.empty() ? 0 : spans[0].size;
  libdeflate_decompressor* decompressor = nullptr;
  try {
    if (spans.size() > 1) {
      size_t total = 0;
      for (const Span& span : spans) total += span.size;
      joined.reserve(total);
      for (const Span& span : spans) joined.insert(joined.end(), span.data, span.data + span.size);
      in = joined.data();
      inSize = joined.size();
    }
    decompressor = libdeflate_alloc_decompressor();
  } catch (const std::bad_alloc&) {
  }
  if (!decompressor) {
    qCDebug(lcPicture) << "PNG image data: no memory to inflate it whole, streaming it instead";
    return false;
  }
  size_t consumed = 0;  // asked for, so that bytes after the stream's end are allowed
  const libdeflate_result result = libdeflate_zlib_decompress_ex(decompressor, in, inSize, out, size, &consumed, nullptr);
  libdeflate_free_decompressor(decompressor);
  if (result != LIBDEFLATE_SUCCESS)
    qCDebug(lcPicture) << "PNG image data refused by libdeflate (result" << result << "), handed to zlib";
  return result == LIBDEFLATE_SUCCESS;
}

// Inflates the image data on demand, an exact number of bytes at a time.
class Inflater {
 public:
  explicit Inflater(const std::vector<Span>& spans) : spans_(spans) {
    std::memset(&z_, 0, sizeof z_);
    if (inflateInit(&z_) != Z_OK) throw std::bad_alloc();
  }
  ~Inflater() { inflateEnd(&z_); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  // With last set, this read ends the image data: once its bytes are all there, a fault in
  // what follows them (a damaged checksum) no longer matters, as for a stream inflated whole.
  void Read(uint8_t* out, size_t size, bool last = false) {
    z_.next_out = out;
    while (size > 0) {
      const uInt step = size > 0x40000000 ? 0x40000000 : static_cast<uInt>(size);
      z_.avail_out = step;
      while (z_.avail_out > 0) {
        if (z_.avail_in == 0) {
          while (next_ < spans_.size() && spans_[next_].size == 0) ++next_;
          if (next_ < spans_.size()) {
            z_.next_in = const_cast<Bytef*>(spans_[next_].data);
            z_.avail_in = spans_[next_].size;
            ++next_;
          }
        }
        const int rc = inflate(&z_, Z_NO_FLUSH);
        if (last && z_.avail_out == 0 && size == step) return;
        if (rc == Z_STREAM_END) {
          if (z_.avail_out > 0) FailInflate("unexpected end of compressed data");
          break;
        }
        if (rc == Z_BUF_ERROR) {
          // No progress possible: the data ran out before the picture was complete.
          FailInflate("unexpected end of compressed data");
        }
        if (rc != Z_OK) FailInflate(z_.msg ? z_.msg : zError(rc));
      }
      size -= step;
    }
  }

 private:
  const std::vector<Span>& spans_;
  size_t next_ = 0;
  z_stream z_;
};

inline uint8_t Paeth(int a, int b, int c) {
  const int pa = std::abs(b - c);
  const int pb = std::abs(a - c);
  const int pc = std::abs(a + b - 2 * c);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  return static_cast<uint8_t>(pb <= pc ? b : c);
}

#if defined(__SSE2__)
// Filters for 3- and 4-byte pixels, one pixel at a time in 16-bit lanes: each pixel
// depends on the one before it, but its channels go together.
template <size_t kBpp>
inline __m128i LoadPixel(const uint8_t* p) {
  // Assembled in a register: a 3-byte copy through memory would stall the wide read.
  uint32_t v;
  if constexpr (kBpp == 4) {
    std::memcpy(&v, p, 4);
  } else {
    v = uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
  }
  return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(v)), _mm_setzero_si128());
}
template <size_t kBpp>
inline void StorePixel(uint8_t* p, __m128i v) {
  const uint32_t packed = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(v, v)));
  if constexpr (kBpp == 4) {
    std::memcpy(p, &packed, 4);
  } else {
    p[0] = static_cast<uint8_t>(packed);
    p[1] = static_cast<uint8_t>(packed >> 8);
    p[2] = static_cast<uint8_t>(packed >> 16);
  }
}
inline __m128i Abs16(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }

template <size_t bpp>
void UnfilterSubPixels(uint8_t* row, size_t length) {
  const __m128i mask = _mm_set1_epi16(0xFF);
  __m128i a = _mm_setzero_si128();
  for (size_t i = 0; i + bpp <= length; i += bpp) {
    a = _mm_and_si128(_mm_add_epi16(LoadPixel<bpp>(row + i), a), mask);
    StorePixel<bpp>(row + i, a);
  }
}

template <size_t bpp>
void UnfilterAveragePixels(uint8_t* row, const uint8_t* prev, size_t length) {
  const __m128i mask = _mm_set1_epi16(0xFF);
  __m128i a = _mm_setzero_si128();
  for (size_t i = 0; i + bpp <= length; i += bpp) {
    const __m128i b = LoadPixel<bpp>(prev + i);
    const __m128i average = _mm_srli_epi16(_mm_add_epi16(a, b), 1);
    a = _mm_and_si128(_mm_add_epi16(LoadPixel<bpp>(row + i), average), mask);
    StorePixel<bpp>(row + i, a);
  }
}

template <size_t bpp>
void UnfilterPaethPixels(uint8_t* row, const uint8_t* prev, size_t length) {
  const __m128i mask = _mm_set1_epi16(0xFF);
  __m128i a = _mm_setzero_si128();
  __m128i c = _mm_setzero_si128();
  for (size_t i = 0; i + bpp <= length; i += bpp) {
    const __m128i b = LoadPixel<bpp>(prev + i);
    const __m128i bc = _mm_sub_epi16(b, c);
    const __m128i ac = _mm_sub_epi16(a, c);
    const __m128i pa = Abs16(bc);
    const __m128i pb = Abs16(ac);
    const __m128i pc = Abs16(_mm_add_epi16(bc, ac));
    const __m128i smallest = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
    // Ties go to a, then b, then c.
    __m128i nearest = c;
    __m128i pick = _mm_cmpeq_epi16(pb, smallest);
    nearest = _mm_or_si128(_mm_and_si128(pick, b), _mm_andnot_si128(pick, nearest));
    pick = _mm_cmpeq_epi16(pa, smallest);
    nearest = _mm_or_si128(_mm_and_si128(pick, a), _mm_andnot_si128(pick, nearest));
    a = _mm_and_si128(_mm_add_epi16(LoadPixel<bpp>(row + i), nearest), mask);
    StorePixel<bpp>(row + i, a);
    c = b;
  }
}
#endif

// Reverses a row's filter in place; prev is the previous unfiltered row (zeros for the first).
void Unfilter(uint8_t filter, uint8_t* row, const uint8_t* prev, size_t length, size_t bpp) {
#if defined(__SSE2__)
  const bool pixels = (bpp == 3 || bpp == 4) && length % bpp == 0;
#endif
  switch (filter) {
    case 0:
      return;
    case 1:
#if defined(__SSE2__)
      if (pixels) return bpp == 3 ? UnfilterSubPixels<3>(row, length) : UnfilterSubPixels<4>(row, length);
#endif
      for (size_t i = bpp; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - bpp]);
      return;
    case 2:
      for (size_t i = 0; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + prev[i]);
      return;
    case 3:
#if defined(__SSE2__)
      if (pixels)
        return bpp == 3 ? UnfilterAveragePixels<3>(row, prev, length) : UnfilterAveragePixels<4>(row, prev, length);
#endif
      for (size_t i = 0; i < bpp && i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + (prev[i] >> 1));
      for (size_t i = bpp; i < length; ++i)
        row[i] = static_cast<uint8_t>(row[i] + ((row[i - bpp] + prev[i]) >> 1));
      return;
    case 4:
#if defined(__SSE2__)
      if (pixels)
        return bpp == 3 ? UnfilterPaethPixels<3>(row, prev, length) : UnfilterPaethPixels<4>(row, prev, length);
#endif
      for (size_t i = 0; i < bpp && i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + prev[i]);
      for (size_t i = bpp; i < length; ++i)
        row[i] = static_cast<uint8_t>(row[i] + Paeth(row[i - bpp], prev[i], prev[i - bpp]));
      return;
    default:
      FailFilterType();
  }
}

struct Pass {
  uint32_t x0, y0, dx, dy;
};
constexpr Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

// Hands out the rows of one pass (or of a picture without interlacing) unfiltered. Many rows
// are inflated at a time into one small buffer, so that zlib works in long runs while the
// rows are still in the cache when they are unfiltered and stored.
class RowStream {
 public:
  // endsData: these rows are the last of the image data (see Inflater::Read).
  RowStream(Inflater& inflater, size_t rowBytes, uint32_t rows, size_t bpp, bool endsData)
      : inflater_(inflater), rowBytes_(rowBytes), stride_(rowBytes + 1), left_(rows), bpp_(bpp), endsData_(endsData) {
    const size_t perChunk = std::max<size_t>(1, kChunkBytes / stride_);
    chunk_.resize(std::min<size_t>(perChunk, rows) * stride_);
    previous_.assign(rowBytes, 0);
  }

  // The next row's samples; valid until the following call.
  const uint8_t* Next() {
    if (at_ == inChunk_) Refill();
    uint8_t* row = chunk_.data() + at_ * stride_ + 1;
    const uint8_t* above = at_ == 0 ? previous_.data() : row - stride_;
    Unfilter(row[-1], row, above, rowBytes_, bpp_);
    if (++at_ == inChunk_) std::memcpy(previous_.data(), row, rowBytes_);
    return row;
  }

 private:
  static constexpr size_t kChunkBytes = 128 * 1024;

  void Refill() {
    inChunk_ = std::min<size_t>(chunk_.size() / stride_, left_);
    left_ -= inChunk_;
    inflater_.Read(chunk_.data(), inChunk_ * stride_, endsData_ && left_ == 0);
    at_ = 0;
  }

  Inflater& inflater_;
  size_t rowBytes_;
  size_t stride_;
  size_t left_;
  size_t bpp_;
  bool endsData_;
  size_t at_ = 0;
  size_t inChunk_ = 0;
  std::vector<uint8_t> chunk_;
  std::vector<uint8_t> previous_;  // the row above the chunk's first row
};

// Writes pixels i = 0 .. count-1 of a row to out[x0 + i * dx]; a whole row (dx 1) is a
// plain loop that the compiler can vectorise.
template <typename PixelAt>
inline void PutPixels(uint32_t* out, uint32_t count, uint32_t x0, uint32_t dx, PixelAt pixelAt) {
  if (dx == 1) {
    out += x0;
    for (uint32_t i = 0; i < count; ++i) out[i] = pixelAt(i);
  } else {
    for (uint32_t i = 0; i < count; ++i) out[x0 + static_cast<size_t>(i) * dx] = pixelAt(i);
  }
}

class Decoder {
 public:
  Decoder(PngPicture& p, const std::vector<Span>& idat) : p_(p), idat_(idat) {}

  void Run() {
    channels_ = FileChannels(p_.colorType);
    bitsPerPixel_ = static_cast<uint32_t>(channels_) * p_.bitDepth;
    bpp_ = bitsPerPixel_ >= 8 ? bitsPerPixel_ / 8 : 1;
    const size_t pixels = CheckPictureSize(p_.width, p_.height);
    // Deflate cannot expand data more than about 1032 times, so image data too short for
    // the declared size fails here, before a buffer the size of the picture is made.
    uint64_t compressed = 0;
    for (const Span& span : idat_) compressed += span.size;
    if (compressed * kMaxDeflateRatio < FilteredSize()) FailInflate("unexpected end of compressed data");
    PrepareKey();
    gammaIdentity_ = GammaIsIdentity();
    try {
      if (p_.colorType == kPngPalette) p_.indices.resize(pixels);
    } catch (const std::bad_alloc&) {
      ThrowPictureTooLarge();
    }
    if (p_.interlace == 0 && DecodeWhole()) return;
    p_.pixels = QImage(static_cast<int>(p_.width), static_cast<int>(p_.height), QImage::Format_ARGB32);
    if (p_.pixels.isNull()) ThrowPictureTooLarge();
    Inflater inflater(idat_);
    if (p_.interlace == 0) {
      // 8-bit pictures have always been read as one whole stream, which accepts damage
      // after the last pixel; the other depths have always failed on it.
      DecodePass(inflater, Pass{0, 0, 1, 1}, p_.bitDepth == 8);
    } else {
      for (const Pass& pass : kAdam7) DecodePass(inflater, pass, false);
    }
  }

 private:
  size_t RowBytes(uint32_t pixels) const { return (static_cast<size_t>(pixels) * bitsPerPixel_ + 7) / 8; }

  // The size of the inflated image data: every row of every pass with its filter byte.
  uint64_t FilteredSize() const {
    if (p_.interlace == 0) return (uint64_t{RowBytes(p_.width)} + 1) * p_.height;
    uint64_t total = 0;
    for (const Pass& pass : kAdam7) {
      if (p_.width <= pass.x0 || p_.height <= pass.y0) continue;
      const uint32_t passWidth = (p_.width - pass.x0 + pass.dx - 1) / pass.dx;
      const uint32_t passHeight = (p_.height - pass.y0 + pass.dy - 1) / pass.dy;
      total += (uint64_t{RowBytes(passWidth)} + 1) * passHeight;
    }
    return total;
  }

  // The tRNS colour key of gray and RGB pictures, at the file's bit depth.
  void PrepareKey() {
    const QByteArray& t = p_.transparencyChunk;
    if (t.isEmpty()) return;
    const auto* d = reinterpret_cast<const uint8_t*>(t.constData());
    if (p_.colorType == kPngGray && t.size() == 2) {
      keyActive_ = true;
      key_ = {static_cast<uint16_t>((d[0] << 8) | d[1])};
    } else if (p_.colorType == kPngRgb && t.size() == 6) {
      keyActive_ = true;
      key_ = {static_cast<uint16_t>((d[0] << 8) | d[1]), static_cast<uint16_t>((d[2] << 8) | d[3]),
              static_cast<uint16_t>((d[4] << 8) | d[5])};
    }
  }

  bool GammaIsIdentity() const {
    for (int i = 0; i < 256; ++i)
      if (p_.gammaTable[i] != i) return false;
    return true;
  }

  // A picture of the size of a cover, not interlaced: all image data inflated at once, at
  // the end of the buffer that then becomes the picture, and turned into pixels from the
  // front, row by row. Each row's pixels end before the next row's data begins, so one
  // buffer the size of the picture (or of the inflated data, when that is larger) serves
  // both. Larger pictures stream. False when the data needs zlib's verdict.
  bool DecodeWhole() {
    const size_t rowBytes = RowBytes(p_.width);
    const size_t stride = rowBytes + 1;
    const size_t pixelBytes = CheckedBufferSize(CheckedBufferSize(p_.width, p_.height), 4);
    if (pixelBytes > kWholeInflateLimit) return false;
    const size_t filteredBytes = CheckedBufferSize(stride, p_.height);
    const size_t bufferBytes = std::max(pixelBytes, filteredBytes);
    auto* buffer = static_cast<uint8_t*>(std::malloc(bufferBytes));
    if (!buffer) ThrowPictureTooLarge();
    QImage image(buffer, static_cast<int>(p_.width), static_cast<int>(p_.height), static_cast<qsizetype>(p_.width) * 4,
                 QImage::Format_ARGB32, std::free, buffer);
    if (image.isNull()) {
      std::free(buffer);
      ThrowPictureTooLarge();
    }
    uint8_t* filtered = buffer + (bufferBytes - filteredBytes);
    if (!InflateWhole(idat_, filtered, filteredBytes)) return false;  // the image frees the buffer
    p_.pixels = std::move(image);
    // The row above, unfiltered: the picture's pixels may already cover its place.
    std::vector<uint8_t> above(rowBytes, 0);
    for (uint32_t y = 0; y < p_.height; ++y) {
      uint8_t* row = filtered + static_cast<size_t>(y) * stride + 1;
      Unfilter(row[-1], row, above.data(), rowBytes, bpp_);
      std::memcpy(above.data(), row, rowBytes);
      StoreRow(above.data(), p_.width, y, 0, 1);
    }
    return true;
  }

  void DecodePass(Inflater& inflater, const Pass& pass, bool endsData) {
    if (p_.width <= pass.x0 || p_.height <= pass.y0) return;
    const uint32_t passWidth = (p_.width - pass.x0 + pass.dx - 1) / pass.dx;
    const uint32_t passHeight = (p_.height - pass.y0 + pass.dy - 1) / pass.dy;
    RowStream rows(inflater, RowBytes(passWidth), passHeight, bpp_, endsData);
    for (uint32_t r = 0; r < passHeight; ++r) StoreRow(rows.Next(), passWidth, pass.y0 + r * pass.dy, pass.x0, pass.dx);
  }

  // Writes one unfiltered row of the file's samples into the picture: 32-bit pixels, colour
  // through the gamma table, alpha from the alpha channel, the colour key or the palette.
  void StoreRow(const uint8_t* row, uint32_t count, uint32_t y, uint32_t x0, uint32_t dx) {
    auto* out = reinterpret_cast<uint32_t*>(p_.pixels.scanLine(static_cast<int>(y)));
    if (p_.colorType == kPngPalette) return StorePaletteRow(row, count, y, x0, dx, out);
    if (p_.bitDepth < 8) return StoreLowGrayRow(row, count, x0, dx, out);
    if (p_.bitDepth == 16) return StoreDeepRow(row, count, x0, dx, out);
    if (gammaIdentity_ && !keyActive_) {
      switch (p_.colorType) {
        case kPngRgba:
          return PutPixels(out, count, x0, dx, [row](uint32_t i) {
            const uint8_t* s = row + 4 * static_cast<size_t>(i);
            return (uint32_t{s[3]} << 24) | (uint32_t{s[0]} << 16) | (uint32_t{s[1]} << 8) | s[2];
          });
        case kPngRgb:
          return PutPixels(out, count, x0, dx, [row](uint32_t i) {
            const uint8_t* s = row + 3 * static_cast<size_t>(i);
            return 0xFF000000u | (uint32_t{s[0]} << 16) | (uint32_t{s[1]} << 8) | s[2];
          });
      }
    }
    const auto& g = p_.gammaTable;
    const uint16_t* key = keyActive_ ? key_.data() : nullptr;
    switch (p_.colorType) {
      case kPngGray:
        return PutPixels(out, count, x0, dx, [&](uint32_t i) {
          const uint32_t a = key && row[i] == key[0] ? 0u : 255u;
          return (a << 24) | (uint32_t{g[row[i]]} * 0x010101u);
        });
      case kPngGrayAlpha:
        return PutPixels(out, count, x0, dx, [&](uint32_t i) {
          const uint8_t* s = row + 2 * static_cast<size_t>(i);
          return (uint32_t{s[1]} << 24) | (uint32_t{g[s[0]]} * 0x010101u);
        });
      case kPngRgb:
        return PutPixels(out, count, x0, dx, [&](uint32_t i) {
          const uint8_t* s = row + 3 * static_cast<size_t>(i);
          const uint32_t a = key && s[0] == key[0] && s[1] == key[1] && s[2] == key[2] ? 0u : 255u;
          return (a << 24) | (uint32_t{g[s[0]]} << 16) | (uint32_t{g[s[1]]} << 8) | g[s[2]];
        });
      default:  // kPngRgba
        return PutPixels(out, count, x0, dx, [&](uint32_t i) {
          const uint8_t* s = row + 4 * static_cast<size_t>(i);
          return (uint32_t{s[3]} << 24) | (uint32_t{g[s[0]]} << 16) | (uint32_t{g[s[1]]} << 8) | g[s[2]];
        });
    }
  }

  // Palette indices of 1 to 8 bits: kept as indices and drawn through the palette.
  void StorePaletteRow(const uint8_t* row, uint32_t count, uint32_t y, uint32_t x0, uint32_t dx, uint32_t* out) {
    uint8_t* indices = p_.indices.data() + static_cast<size_t>(y) * p_.width;
    const uint8_t depth = p_.bitDepth;
    const uint32_t maxValue = (1u << depth) - 1;
    for (uint32_t i = 0; i < count; ++i) {
      uint8_t v;
      if (depth == 8) {
        v = row[i];
      } else {
        const size_t bit = static_cast<size_t>(i) * depth;
        v = static_cast<uint8_t>((row[bit >> 3] >> (8 - depth - (bit & 7))) & maxValue);
      }
      const size_t x = x0 + static_cast<size_t>(i) * dx;
      indices[x] = v;
      out[x] = p_.palette[v];
    }
  }

  // Gray of 1, 2 or 4 bits, scaled to 0..255; the key is compared at the file's depth.
  void StoreLowGrayRow(const uint8_t* row, uint32_t count, uint32_t x0, uint32_t dx, uint32_t* out) {
    const uint8_t depth = p_.bitDepth;
    const uint32_t maxValue = (1u << depth) - 1;
    const auto& g = p_.gammaTable;
    PutPixels(out, count, x0, dx, [&](uint32_t i) {
      const size_t bit = static_cast<size_t>(i) * depth;
      const uint32_t v = (row[bit >> 3] >> (8 - depth - (bit & 7))) & maxValue;
      const uint32_t a = keyActive_ && v == key_[0] ? 0u : 255u;
      return (a << 24) | (uint32_t{g[v * 255 / maxValue]} * 0x010101u);
    });
  }

  // 16 bits: the high byte of each sample; the key is compared at full precision.
  void StoreDeepRow(const uint8_t* row, uint32_t count, uint32_t x0, uint32_t dx, uint32_t* out) {
    const size_t ch = static_cast<size_t>(channels_);
    const bool hasAlphaChannel = p_.colorType == kPngGrayAlpha || p_.colorType == kPngRgba;
    const size_t colour = hasAlphaChannel ? ch - 1 : ch;
    const auto& g = p_.gammaTable;
    PutPixels(out, count, x0, dx, [&](uint32_t i) {
      const uint8_t* s = row + static_cast<size_t>(i) * ch * 2;
      uint32_t a = hasAlphaChannel ? s[2 * colour] : 255u;
      if (keyActive_) {
        bool match = true;
        for (size_t c = 0; c < ch; ++c) match = match && ((s[2 * c] << 8) | s[2 * c + 1]) == key_[c];
        if (match) a = 0;
      }
      if (colour == 1) return (a << 24) | (uint32_t{g[s[0]]} * 0x010101u);
      return (a << 24) | (uint32_t{g[s[0]]} << 16) | (uint32_t{g[s[2]]} << 8) | g[s[4]];
    });
  }

  PngPicture& p_;
  const std::vector<Span>& idat_;
  int channels_ = 0;
  uint32_t bitsPerPixel_ = 0;
  size_t bpp_ = 1;
  bool keyActive_ = false;
  bool gammaIdentity_ = true;
  std::vector<uint16_t> key_;
};

uint32_t PixelAt(const QImage& image, size_t pixel, uint32_t width) {
  const auto* line = reinterpret_cast<const uint32_t*>(image.constScanLine(static_cast<int>(pixel / width)));
  return line[pixel % width];
}

void AppendChunk(QByteArray& out, const char* type, const QByteArray& data) {
  uint8_t head[8];
  PutBe32(head, static_cast<uint32_t>(data.size()));
  std::memcpy(head + 4, type, 4);
  out.append(reinterpret_cast<const char*>(head), 8);
  out.append(data);
  uLong crc = crc32(0, head + 4, 4);
  crc = crc32(crc, reinterpret_cast<const Bytef*>(data.constData()), static_cast<uInt>(data.size()));
  uint8_t tail[4];
  PutBe32(tail, static_cast<uint32_t>(crc));
  out.append(reinterpret_cast<const char*>(tail), 4);
}

}  // namespace

int PngPicture::Channels() const { return FileChannels(colorType); }

bool PngPicture::HasAlpha() const {
  return colorType == kPngGrayAlpha || colorType == kPngRgba || !transparencyChunk.isEmpty();
}

std::array<uint8_t, 256> PngGammaTable(uint32_t gamma) {
  std::array<uint8_t, 256> table{};
  for (int s = 0; s < 256; ++s) table[s] = static_cast<uint8_t>(s);
  if (gamma == 0) return table;
  const double exponent = 1.0 / (2.2 * gamma / 100000.0);
  for (int s = 0; s < 256; ++s) {
    const double v = std::nearbyint(255.0 * std::pow(s / 255.0, exponent));
    table[s] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
  return table;
}

bool HasPngSignature(const uint8_t* data, size_t size) {
  return size >= 8 && std::memcmp(data, kSignature, 8) == 0;
}

PngPicture DecodePng(const uint8_t* data, size_t size) {
  if (!HasPngSignature(data, size)) FailSignature();
  PngPicture p;
  std::vector<Span> idat;
  bool haveHeader = false;
  bool havePalette = false;
  bool seenData = false;
  size_t pos = 8;
  for (;;) {
    // Data that ends where a chunk should begin is cut short; data that ends inside a
    // chunk (even inside its length or type) cannot carry the right CRC.
    if (pos == size) FailUnexpectedEnd();
    if (size - pos < 12) FailCrc();
    const uint32_t length = Be32(data + pos);
    const uint8_t* type = data + pos + 4;
    if (length > kMaxChunkLength || size - pos - 12 < length) FailCrc();
    const uint8_t* body = data + pos + 8;
    const uint32_t storedCrc = Be32(body + length);
    if (crc32(crc32(0, type, 4), body, length) != storedCrc) FailCrc();
    pos += 12 + static_cast<size_t>(length);

    if (!haveHeader) {
      if (!TypeIs(type, "IHDR")) FailHeaderNotFirst();
      if (length != 13) FailHeader();
      p.width = Be32(body);
      p.height = Be32(body + 4);
      p.bitDepth = body[8];
      p.colorType = body[9];
      if (p.width > kMaxDimension || p.height > kMaxDimension) FailTooWide();
      if (p.width == 0 || p.height == 0) FailSize();
      if (FileChannels(p.colorType) == 0) FailColorType();
      if (!ValidDepth(p.colorType, p.bitDepth)) FailBitDepth();
      if (body[10] != 0) FailCompression();
      if (body[11] != 0) FailFilterMethod();
      if (body[12] > 1) FailInterlace();
      p.interlace = body[12];
      haveHeader = true;
      continue;
    }
    if (TypeIs(type, "IHDR")) FailHeader();
    if (TypeIs(type, "IEND")) break;
    if (TypeIs(type, "IDAT")) {
      if (p.colorType == kPngPalette && !havePalette) FailMissingPalette();
      idat.push_back(Span{body, length});
      seenData = true;
      continue;
    }
    if (TypeIs(type, "PLTE")) {
      if (havePalette || seenData || length == 0 || length % 3 != 0 || length / 3 > 256) FailPalette();
      if (p.colorType == kPngGray || p.colorType == kPngGrayAlpha) FailPalette();
      if (p.colorType == kPngPalette && length / 3 > (1u << p.bitDepth)) FailPalette();
      p.paletteChunk = QByteArray(reinterpret_cast<const char*>(body), static_cast<qsizetype>(length));
      havePalette = true;
      continue;
    }
    if (!(type[0] & 0x20)) FailUnknownCritical();
    if (TypeIs(type, "tRNS")) {
      // A key of the wrong size, or one on a picture with an alpha channel, is ignored.
      const bool fits = (p.colorType == kPngGray && length == 2) || (p.colorType == kPngRgb && length == 6) ||
                        (p.colorType == kPngPalette && havePalette && length > 0 &&
                         length <= static_cast<uint32_t>(p.paletteChunk.size() / 3));
      if (fits && p.transparencyChunk.isEmpty() && !seenData)
        p.transparencyChunk = QByteArray(reinterpret_cast<const char*>(body), static_cast<qsizetype>(length));
      continue;
    }
    PngChunk chunk;
    std::memcpy(chunk.type.data(), type, 4);
    chunk.data = QByteArray(reinterpret_cast<const char*>(body), static_cast<qsizetype>(length));
    chunk.place = seenData ? PngChunkPlace::AfterData
                           : (havePalette ? PngChunkPlace::BeforeData : PngChunkPlace::BeforePalette);
    if (TypeIs(type, "gAMA") && length == 4 && !havePalette && !seenData) p.gamma = Be32(body);
    p.ancillary.push_back(std::move(chunk));
  }
  if (idat.empty()) FailNoData();
  if (p.colorType == kPngPalette && !havePalette) FailMissingPalette();

  p.gammaTable = PngGammaTable(p.gamma);
  const auto* pal = reinterpret_cast<const uint8_t*>(p.paletteChunk.constData());
  const auto* trns = reinterpret_cast<const uint8_t*>(p.transparencyChunk.constData());
  const int entries = static_cast<int>(p.paletteChunk.size() / 3);
  for (int i = 0; i < 256; ++i) {
    uint32_t argb = 0xFF000000u;
    if (i < entries) {
      argb |= (uint32_t{p.gammaTable[pal[3 * i]]} << 16) | (uint32_t{p.gammaTable[pal[3 * i + 1]]} << 8) |
              p.gammaTable[pal[3 * i + 2]];
    }
    if (p.colorType == kPngPalette && i < p.transparencyChunk.size()) argb = (argb & 0xFFFFFF) | (uint32_t{trns[i]} << 24);
    p.palette[i] = argb;
  }

  Decoder(p, idat).Run();
  return p;
}

QImage PngPicture::ToImage() const { return pixels; }

QByteArray EncodePng(const PngPicture& p) {
  const bool palette = p.colorType == kPngPalette;
  const size_t ch = static_cast<size_t>(p.Channels());
  const bool hasAlphaChannel = p.colorType == kPngGrayAlpha || p.colorType == kPngRgba;
  const size_t colour = palette ? 0 : (hasAlphaChannel ? ch - 1 : ch);
  const size_t pixels = static_cast<size_t>(p.width) * p.height;

  // Inverse gamma: the smallest sample that the table maps to at least the value.
  std::array<uint8_t, 256> inverse{};
  for (int v = 0, s = 0; v < 256; ++v) {
    while (s < 255 && p.gammaTable[s] < v) ++s;
    inverse[v] = static_cast<uint8_t>(s);
  }
  const bool keyedFile = (p.colorType == kPngGray || p.colorType == kPngRgb) && !p.transparencyChunk.isEmpty();
  // Sample c of a pixel as stored: palette index, or the 32-bit pixel's channel (gray in
  // the blue byte, alpha last) through the inverse gamma table for colour.
  auto encoded = [&](size_t pixel, size_t c) -> uint8_t {
    if (palette) return p.indices[pixel];
    const uint32_t argb = PixelAt(p.pixels, pixel, p.width);
    const int shift = c == colour ? 24 : (colour == 1 ? 0 : 16 - 8 * static_cast<int>(c));
    const auto v = static_cast<uint8_t>(argb >> shift);
    return c < colour ? inverse[v] : v;
  };
  auto hidden = [&](size_t pixel) { return keyedFile && (PixelAt(p.pixels, pixel, p.width) >> 24) == 0; };

  // A gray or RGB picture with a colour key is written at 8 bits, so the key must be an
  // 8-bit value that no visible pixel is written as. The file's key reduced to 8 bits
  // is kept when it is free; otherwise the first free value is used, and when every gray
  // level is taken the picture is written with an alpha channel instead.
  uint8_t colorType = p.colorType;
  bool keyed = keyedFile;
  uint32_t key = 0;
  if (keyed) {
    const auto* t = reinterpret_cast<const uint8_t*>(p.transparencyChunk.constData());
    auto reduce = [&](int i) {
      uint32_t v = (uint32_t{t[2 * i]} << 8) | t[2 * i + 1];
      if (p.bitDepth == 16) return v >> 8;
      if (p.bitDepth < 8) {
        const uint32_t maxValue = (1u << p.bitDepth) - 1;
        return v > maxValue ? 0u : v * 255 / maxValue;
      }
      return v & 0xFF;
    };
    for (size_t c = 0; c < ch; ++c) key = (key << 8) | inverse[p.gammaTable[reduce(static_cast<int>(c))]];
    std::vector<bool> used(ch == 1 ? 256 : (size_t{1} << 24), false);
    for (size_t i = 0; i < pixels; ++i) {
      if (hidden(i)) continue;
      uint32_t v = 0;
      for (size_t c = 0; c < ch; ++c) v = (v << 8) | encoded(i, c);
      used[v] = true;
    }
    if (used[key]) {
      keyed = false;
      for (uint32_t v = 0; v < used.size(); ++v)
        if (!used[v]) {
          key = v;
          keyed = true;
          break;
        }
      if (!keyed) colorType = ch == 1 ? kPngGrayAlpha : kPngRgba;
    }
  }
  const size_t outChannels = colorType == p.colorType ? ch : ch + 1;

  QByteArray out(reinterpret_cast<const char*>(kSignature), 8);
  QByteArray header(13, '\0');
  auto* h = reinterpret_cast<uint8_t*>(header.data());
  PutBe32(h, p.width);
  PutBe32(h + 4, p.height);
  h[8] = 8;
  h[9] = colorType;
  AppendChunk(out, "IHDR", header);
  auto writePlace = [&](PngChunkPlace place) {
    for (const PngChunk& c : p.ancillary)
      if (c.place == place) AppendChunk(out, c.type.data(), c.data);
  };
  writePlace(PngChunkPlace::BeforePalette);
  if (!p.paletteChunk.isEmpty()) AppendChunk(out, "PLTE", p.paletteChunk);
  if (palette && !p.transparencyChunk.isEmpty()) AppendChunk(out, "tRNS", p.transparencyChunk);
  std::array<uint8_t, 3> keySamples{};
  if (keyed) {
    QByteArray trns;
    for (size_t c = 0; c < ch; ++c) {
      keySamples[c] = static_cast<uint8_t>(key >> (8 * (ch - 1 - c)));
      trns.append('\0');
      trns.append(static_cast<char>(keySamples[c]));
    }
    AppendChunk(out, "tRNS", trns);
  }
  writePlace(PngChunkPlace::BeforeData);

  const size_t rowBytes = CheckedBufferSize(p.width, outChannels);
  std::vector<uint8_t> raw(CheckedBufferSize(rowBytes + 1, p.height));
  for (uint32_t y = 0; y < p.height; ++y) {
    uint8_t* dst = raw.data() + static_cast<size_t>(y) * (rowBytes + 1);
    *dst++ = 0;
    for (uint32_t x = 0; x < p.width; ++x) {
      const size_t i = static_cast<size_t>(y) * p.width + x;
      const bool transparent = hidden(i);
      for (size_t c = 0; c < ch; ++c) *dst++ = transparent && keyed ? keySamples[c] : encoded(i, c);
      if (outChannels > ch) *dst++ = transparent ? 0 : 255;
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  QByteArray packed(static_cast<qsizetype>(packedSize), '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK)
    throw PictureError(QStringLiteral("Could not compress the image data"));
  packed.truncate(static_cast<qsizetype>(packedSize));
  AppendChunk(out, "IDAT", packed);
  writePlace(PngChunkPlace::AfterData);
  AppendChunk(out, "IEND", QByteArray());
  return out;
}

}  // namespace orvelle
