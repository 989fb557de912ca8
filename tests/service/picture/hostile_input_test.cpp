// Hostile input: the pixel limit applies before any buffer is made, and no prefix or
// small mutation of a valid file crashes, hangs or reports success for garbage in a way
// that later breaks the conversion.

#include "picture_fixtures.h"
#include "service/picture/jpeg_graphic.h"
#include "service/picture/picture_container.h"
#include "service/picture/picture_error.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace orvelle {
namespace {

using test::Bytes;

QByteArray Be32(uint32_t v) { return Bytes({int(v >> 24), int((v >> 16) & 255), int((v >> 8) & 255), int(v & 255)}); }

QString LoadAndConvert(const QByteArray& bytes) {
  PictureContainer container;
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  try {
    container.LoadFromStream(buffer);
    if (container.Graphic()) container.Graphic()->ToImage();
  } catch (const PictureError& error) {
    return error.Message();
  }
  return QString();
}

QByteArray JpegWithSize(int width, int height) {
  QByteArray file = test::BuildJpeg(8, 8, 3, test::Gradient(8, 8));
  const qsizetype sof = file.indexOf(QByteArray("\xFF\xC0", 2));
  file[sof + 5] = static_cast<char>(height >> 8);
  file[sof + 6] = static_cast<char>(height & 255);
  file[sof + 7] = static_cast<char>(width >> 8);
  file[sof + 8] = static_cast<char>(width & 255);
  return file;
}

TEST(PictureLimit, PicturesAboveSixtyFourMegapixelsFailBeforeAllocation) {
  auto pngHeader = [](uint32_t w, uint32_t h, int depth, int type) {
    return test::PngBuilder()
        .Chunk("IHDR", Be32(w) + Be32(h) + Bytes({depth, type, 0, 0, 0}))
        .Chunk("IDAT", Bytes({0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01}))
        .End()
        .bytes;
  };
  test::GifBuilder bigScreen(10000, 10000, {0, 0xFFFFFF});
  bigScreen.Image(0, 0, 1, 1, {1}).Trailer();
  test::GifBuilder bigFrame(10, 10, {0, 0xFFFFFF});
  bigFrame.Image(0, 0, 1, 1, {1}).Trailer();
  bigFrame.bytes[13 + 6 + 6] = static_cast<char>(0x40);  // frame width 16384
  bigFrame.bytes[13 + 6 + 8] = static_cast<char>(0x40);  // frame height 16384
  test::BmpLayout bmp;
  bmp.width = 10000;
  bmp.height = 8000;
  bmp.bitCount = 24;
  bmp.pixels = QByteArray(64, '\0');
  test::BmpLayout iconBmp = bmp;
  iconBmp.height = 16000;
  const struct {
    const char* name;
    QByteArray file;
  } cases[] = {
      {"PNG 65535 x 65535 RGBA", pngHeader(65535, 65535, 16, 6)},
      {"PNG 9000 x 8000 gray", pngHeader(9000, 8000, 1, 0)},
      {"GIF screen 10000 x 10000", bigScreen.bytes},
      {"GIF frame 16384 x 16384", bigFrame.bytes},
      {"BMP 10000 x 8000", test::BuildBmp(bmp)},
      {"BMP in icon 10000 x 8000", test::BuildIcon({{0, 0, 24, test::BuildDib(iconBmp)}})},
      {"JPEG 65000 x 65000", JpegWithSize(65000, 65000)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LoadAndConvert(c.file), QStringLiteral("Picture too large"));
  }
  // The limit itself: 8000 x 8000 is 64 megapixels, one more column is too many. A JPEG
  // shows it at load, which reads only the header.
  JpegGraphic atLimit;
  EXPECT_NO_THROW(atLimit.LoadFromBytes(JpegWithSize(8000, 8000)));
  JpegGraphic aboveLimit;
  EXPECT_THROW(aboveLimit.LoadFromBytes(JpegWithSize(8001, 8000)), PictureError);
  EXPECT_NE(LoadAndConvert(JpegWithSize(65000, 16)), QStringLiteral("Picture too large"));
}

std::vector<std::pair<const char*, QByteArray>> ValidFiles() {
  test::GifBuilder gif(12, 9, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
  std::vector<uint8_t> indices(12 * 9);
  for (size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<uint8_t>((i * 7 / 3) % 4);
  gif.ControlExtension(2).Image(0, 0, 12, 9, indices).Comment("c").Image(2, 2, 4, 3, std::vector<uint8_t>(12, 1), {}, true).Trailer();
  test::BmpLayout rle;
  rle.width = 7;
  rle.height = 3;
  rle.bitCount = 8;
  rle.compression = 1;
  rle.palette = {0x102030, 0x405060};
  rle.pixels = Bytes({3, 1, 0, 3, 0, 1, 1, 0, 0, 0, 0, 2, 2, 1, 5, 0, 0, 1});
  test::BmpLayout icon;
  icon.width = 4;
  icon.height = 8;
  icon.bitCount = 32;
  icon.pixels = QByteArray(4 * 4 * 4 + 16, '\x40');
  return {
      {"PNG RGBA", test::ReadTestFile("pngsuite/basn6a08.png")},
      {"PNG interlaced palette", test::ReadTestFile("pngsuite/basi3p02.png")},
      {"PNG 16-bit interlaced", test::ReadTestFile("pngsuite/basi2c16.png")},
      {"GIF", gif.bytes},
      {"BMP RLE8", test::BuildBmp(rle)},
      {"icon", test::BuildIcon({{4, 4, 32, test::BuildDib(icon)}})},
      {"JPEG", test::BuildJpeg(24, 16, 3, test::Gradient(24, 16))},
      {"progressive JPEG", test::BuildJpeg(24, 16, 3, test::Gradient(24, 16), true)},
  };
}

TEST(HostileInput, EveryPrefixOfAValidFileLoadsOrFailsCleanly) {
  for (const auto& [name, file] : ValidFiles()) {
    SCOPED_TRACE(name);
    ASSERT_EQ(LoadAndConvert(file), QString());
    for (qsizetype length = 0; length < file.size(); ++length) LoadAndConvert(file.left(length));
  }
}

TEST(HostileInput, ChangedBytesLoadOrFailCleanly) {
  uint32_t state = 2024;
  for (const auto& [name, file] : ValidFiles()) {
    SCOPED_TRACE(name);
    for (qsizetype at = 0; at < file.size(); ++at) {
      for (int round = 0; round < 3; ++round) {
        state = state * 1664525u + 1013904223u;
        QByteArray changed = file;
        changed[at] = static_cast<char>(round == 0 ? 0xFF : round == 1 ? 0 : (state >> 24));
        LoadAndConvert(changed);
      }
    }
  }
}

}  // namespace
}  // namespace orvelle
