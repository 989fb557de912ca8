// Windows bitmaps and icons: every header and pixel layout, built in code, decoded to
// the same picture; broken files give their texts.

#include "picture_fixtures.h"
#include "service/picture/bitmap_graphic.h"
#include "service/picture/icon_graphic.h"
#include "service/picture/picture_error.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <functional>

namespace orvelle {
namespace {

using test::BmpLayout;
using test::Bytes;

const std::vector<uint32_t> kPalette = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
constexpr int kW = 5;
constexpr int kH = 3;

int IndexAt(int x, int y, int colors) { return (x + 2 * y) % colors; }

// Rows in file order (bottom-up unless topDown), each padded to 4 bytes.
QByteArray Rows(int bitCount, bool topDown, const std::function<uint32_t(int, int)>& value) {
  QByteArray out;
  const int stride = ((kW * bitCount + 31) / 32) * 4;
  for (int r = 0; r < kH; ++r) {
    const int y = topDown ? r : kH - 1 - r;
    QByteArray row(stride, '\0');
    for (int x = 0; x < kW; ++x) {
      const uint32_t v = value(x, y);
      if (bitCount < 8) {
        const int bit = x * bitCount;
        row[bit / 8] = static_cast<char>(row[bit / 8] | (v << (8 - bitCount - bit % 8)));
      } else {
        for (int b = 0; b < bitCount / 8; ++b) row[x * bitCount / 8 + b] = static_cast<char>(v >> (8 * b));
      }
    }
    out.append(row);
  }
  return out;
}

uint32_t Color(int x, int y, int colors = 4) { return kPalette[static_cast<size_t>(IndexAt(x, y, colors))]; }

QByteArray Rle8() {
  QByteArray out;
  for (int r = 0; r < kH; ++r) {
    const int y = kH - 1 - r;
    if (r == 0) {  // absolute run, padded
      out.append(Bytes({0, kW}));
      for (int x = 0; x < kW; ++x) out.append(static_cast<char>(IndexAt(x, y, 4)));
      out.append('\0');
    } else {
      for (int x = 0; x < kW; ++x) out.append(Bytes({1, IndexAt(x, y, 4)}));
    }
    out.append(Bytes({0, 0}));
  }
  out.append(Bytes({0, 1}));
  return out;
}

QByteArray Rle4() {
  QByteArray out;
  for (int r = 0; r < kH; ++r) {
    const int y = kH - 1 - r;
    auto pair = [&](int x) { return (IndexAt(x, y, 4) << 4) | (x + 1 < kW ? IndexAt(x + 1, y, 4) : 0); };
    if (r == 0) {  // absolute run of 5 nibbles in 3 bytes, padded to 4
      out.append(Bytes({0, kW, pair(0), pair(2), pair(4), 0}));
    } else {
      for (int x = 0; x < kW; x += 2) out.append(Bytes({x + 1 < kW ? 2 : 1, pair(x)}));
    }
    out.append(Bytes({0, 0}));
  }
  out.append(Bytes({0, 1}));
  return out;
}

TEST(BitmapDecoder, EveryLayoutGivesTheSamePicture) {
  auto index = [](int colors) { return [colors](int x, int y) { return static_cast<uint32_t>(IndexAt(x, y, colors)); }; };
  auto bgr = [](int x, int y) { return Color(x, y); };
  auto rgb555 = [](int x, int y) {
    const uint32_t c = Color(x, y);
    return ((c >> 19) & 31) << 10 | ((c >> 11) & 31) << 5 | ((c >> 3) & 31);
  };
  auto rgb565 = [](int x, int y) {
    const uint32_t c = Color(x, y);
    return ((c >> 19) & 31) << 11 | ((c >> 10) & 63) << 5 | ((c >> 3) & 31);
  };
  auto bgrx = [](int x, int y) { return Color(x, y) | 0x7F000000u; };
  auto xbgr = [](int x, int y) {
    const uint32_t c = Color(x, y);
    return ((c >> 16) & 0xFF) | (c & 0xFF00) | ((c & 0xFF) << 16);
  };
  auto bgra = [](int x, int y) { return Color(x, y) | (static_cast<uint32_t>(x * 40) << 24); };
  const std::vector<uint32_t> two(kPalette.begin(), kPalette.begin() + 2);
  struct Case {
    const char* name;
    BmpLayout layout;
    int colors;
  } cases[] = {
      {"core header, 8-bit", {12, kW, kH, 8, 0, kPalette, {}, Rows(8, false, index(4))}, 4},
      {"core header, 24-bit", {12, kW, kH, 24, 0, {}, {}, Rows(24, false, bgr)}, 4},
      {"1-bit", {40, kW, kH, 1, 0, two, {}, Rows(1, false, index(2))}, 2},
      {"4-bit", {40, kW, kH, 4, 0, kPalette, {}, Rows(4, false, index(4))}, 4},
      {"8-bit", {40, kW, kH, 8, 0, kPalette, {}, Rows(8, false, index(4))}, 4},
      {"8-bit top-down", {40, kW, -kH, 8, 0, kPalette, {}, Rows(8, true, index(4))}, 4},
      {"16-bit 5-5-5", {40, kW, kH, 16, 0, {}, {}, Rows(16, false, rgb555)}, 4},
      {"16-bit 5-6-5 bit fields", {40, kW, kH, 16, 3, {}, {0xF800, 0x07E0, 0x001F}, Rows(16, false, rgb565)}, 4},
      {"24-bit", {40, kW, kH, 24, 0, {}, {}, Rows(24, false, bgr)}, 4},
      {"32-bit", {40, kW, kH, 32, 0, {}, {}, Rows(32, false, bgrx)}, 4},
      {"32-bit swapped bit fields", {40, kW, kH, 32, 3, {}, {0xFF, 0xFF00, 0xFF0000}, Rows(32, false, xbgr)}, 4},
      {"V4 header, 32-bit with alpha mask",
       {108, kW, kH, 32, 3, {}, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, Rows(32, false, bgra)}, 4},
      {"V5 header, 24-bit top-down", {124, kW, -kH, 24, 0, {}, {}, Rows(24, true, bgr)}, 4},
      {"RLE8", {40, kW, kH, 8, 1, kPalette, {}, Rle8()}, 4},
      {"RLE4", {40, kW, kH, 4, 2, kPalette, {}, Rle4()}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BitmapGraphic graphic;
    ASSERT_NO_THROW(graphic.LoadFromBytes(test::BuildBmp(c.layout)));
    ASSERT_EQ(graphic.Width(), kW);
    ASSERT_EQ(graphic.Height(), kH);
    const QImage image = graphic.ToImage();
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x)
        ASSERT_EQ(image.pixel(x, y), 0xFF000000u | Color(x, y, c.colors)) << x << "," << y;
  }
}

TEST(BitmapDecoder, EmptyStreamGivesAnEmptyBitmap) {
  BitmapGraphic graphic;
  graphic.LoadFromBytes(QByteArray());
  EXPECT_EQ(graphic.Width(), 0);
  EXPECT_EQ(graphic.Height(), 0);
  EXPECT_TRUE(graphic.Empty());
}

TEST(BitmapDecoder, BrokenFilesAreNotValid) {
  const QByteArray good = test::BuildBmp({40, kW, kH, 24, 0, {}, {}, Rows(24, false, [](int x, int y) { return Color(x, y); })});
  auto patched = [&](int offset, std::initializer_list<int> bytes) {
    QByteArray b = good;
    int i = offset;
    for (int v : bytes) b[i++] = static_cast<char>(v);
    return b;
  };
  const struct {
    const char* name;
    QByteArray file;
  } cases[] = {
      {"not BM", patched(0, {'B', 'A'})},
      {"header only", good.left(30)},
      {"pixels cut", good.left(good.size() - 10)},
      {"unknown header size", patched(14, {41})},
      {"bit count 7", patched(28, {7})},
      {"zero width", patched(18, {0, 0, 0, 0})},
      {"compression JPEG", patched(30, {4})},
      {"RLE8 on 24 bits", patched(30, {1})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BitmapGraphic graphic;
    try {
      graphic.LoadFromBytes(c.file);
      ADD_FAILURE() << "loaded";
    } catch (const PictureError& error) {
      EXPECT_EQ(error.Message(), QStringLiteral("Bitmap image is not valid"));
    }
  }
}

// An icon image: 4 x 4, 8-bit palette or 32-bit, with its AND mask.
QByteArray IconDib(int bitCount, const std::vector<uint8_t>& alpha, const std::vector<bool>& andMask) {
  const int w = 4, h = 4;
  BmpLayout layout;
  layout.width = w;
  layout.height = 2 * h;
  layout.bitCount = bitCount;
  if (bitCount == 8) layout.palette = kPalette;
  for (int r = 0; r < h; ++r) {
    const int y = h - 1 - r;
    for (int x = 0; x < w; ++x) {
      if (bitCount == 8) {
        layout.pixels.append(static_cast<char>((x + y) % 4));
      } else {
        const uint32_t c = kPalette[static_cast<size_t>((x + y) % 4)];
        layout.pixels.append(Bytes({static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                                  static_cast<int>(c >> 16), alpha.empty() ? 0 : alpha[static_cast<size_t>(y * w + x)]}));
      }
    }
  }
  for (int r = 0; r < h; ++r) {
    const int y = h - 1 - r;
    int bits = 0;
    for (int x = 0; x < w; ++x)
      if (!andMask.empty() && andMask[static_cast<size_t>(y * w + x)]) bits |= 0x80 >> x;
    layout.pixels.append(Bytes({bits, 0, 0, 0}));
  }
  return test::BuildDib(layout);
}

TEST(IconDecoder, DecodesMaskedAlphaAndPngImages) {
  std::vector<bool> mask(16, false);
  mask[0] = true;  // top-left transparent
  std::vector<uint8_t> alpha(16, 255);
  alpha[5] = 0x80;
  QByteArray pngRows;
  for (int y = 0; y < 2; ++y) {
    pngRows.append('\0');
    for (int x = 0; x < 3; ++x) pngRows.append(Bytes({10, 20, 30, x * 100}));
  }
  const QByteArray png = test::PngBuilder().Header(3, 2, 8, 6).Data(pngRows).End().bytes;

  IconGraphic masked;
  masked.LoadFromBytes(test::BuildIcon({{4, 4, 8, IconDib(8, {}, mask)}}));
  EXPECT_EQ(masked.Width(), 4);
  EXPECT_EQ(masked.ToImage().pixel(0, 0), 0u);
  EXPECT_EQ(masked.ToImage().pixel(1, 0), 0xFF00FF00u);
  EXPECT_EQ(masked.ToImage().pixel(3, 3), 0xFF0000FFu);

  IconGraphic withAlpha;
  withAlpha.LoadFromBytes(test::BuildIcon({{4, 4, 32, IconDib(32, alpha, mask)}}));
  EXPECT_EQ(withAlpha.ToImage().pixel(1, 1), 0x800000FFu);  // alpha from the pixels, mask ignored
  EXPECT_EQ(withAlpha.ToImage().pixel(0, 0), 0xFFFF0000u);

  IconGraphic pngIcon;
  pngIcon.LoadFromBytes(test::BuildIcon({{3, 2, 32, png}}));
  EXPECT_EQ(pngIcon.Width(), 3);
  EXPECT_EQ(pngIcon.Height(), 2);
  EXPECT_EQ(pngIcon.ToImage().pixel(2, 1), qRgba(10, 20, 30, 200));
}

TEST(IconDecoder, TheLargestImageIsTheOneShown) {
  std::vector<uint8_t> bigRows;
  BmpLayout big;
  big.width = 8;
  big.height = 16;
  big.bitCount = 24;
  big.pixels = QByteArray(8 * 3 * 8 + 4 * 8, '\x55');
  const QByteArray file = test::BuildIcon({{4, 4, 8, IconDib(8, {}, {})}, {8, 8, 24, test::BuildDib(big)},
                                           {4, 4, 32, IconDib(32, {}, {})}});
  IconGraphic icon;
  icon.LoadFromBytes(file);
  EXPECT_EQ(icon.ImageCount(), 3);
  EXPECT_EQ(icon.Width(), 8);
  EXPECT_EQ(icon.Height(), 8);
  QBuffer saved;
  saved.open(QIODevice::WriteOnly);
  icon.SaveToStream(saved);
  EXPECT_EQ(saved.data(), file);
}

TEST(IconDecoder, BrokenIconsAreNotValid) {
  const QByteArray good = test::BuildIcon({{4, 4, 8, IconDib(8, {}, {})}});
  QByteArray noImages = good;
  noImages[4] = 0;
  QByteArray offsetPastEnd = good;
  offsetPastEnd[6 + 12 + 1] = 0x10;
  const struct {
    const char* name;
    QByteArray file;
  } cases[] = {
      {"no images", noImages},
      {"offset past the end", offsetPastEnd},
      {"directory cut", good.left(12)},
      {"image data cut", good.left(good.size() - 30)},
      {"garbage image", test::BuildIcon({{4, 4, 8, QByteArray(60, '\x7F')}})},
      {"broken PNG image", test::BuildIcon({{4, 4, 32, QByteArray("\x89PNG\r\n\x1a\n garbage", 17)}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    IconGraphic graphic;
    try {
      graphic.LoadFromBytes(c.file);
      ADD_FAILURE() << "loaded";
    } catch (const PictureError& error) {
      EXPECT_EQ(error.Message(), QStringLiteral("Icon image is not valid"));
    }
  }
}

}  // namespace
}  // namespace orvelle
