// PNG decoding: the PNG Suite against libpng, the decoder's error texts, and the
// save/load round trip.

#include "picture_fixtures.h"
#include "service/picture/png_graphic.h"
#include "service/picture/picture_error.h"

#include <QBuffer>
#include <QDir>

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>

namespace orvelle {
namespace {

using test::Bytes;
using test::PngBuilder;

struct MemoryReader {
  const QByteArray* data;
  qsizetype pos = 0;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (r->pos + static_cast<qsizetype>(length) > r->data->size()) png_error(png, "read past end");
  std::memcpy(out, r->data->constData() + r->pos, length);
  r->pos += static_cast<qsizetype>(length);
}

// libpng's decode of the raw samples as 8-bit RGBA (16-bit samples reduced to their high
// byte, tRNS turned into alpha), with the colour channels put through the gamma table
// that the file's gAMA gives.
QImage ReferenceDecode(const QByteArray& file) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  MemoryReader reader{&file};
  QImage* result = new QImage();
  std::vector<uint8_t>* rows = new std::vector<uint8_t>();
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    delete result;
    delete rows;
    return QImage();
  }
  png_set_read_fn(png, &reader, ReadFromMemory);
  png_read_info(png, info);
  const int colorType = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (depth == 16) png_set_strip_16(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const uint32_t width = png_get_image_width(png, info);
  const uint32_t height = png_get_image_height(png, info);
  rows->assign(static_cast<size_t>(width) * height * 4, 0);
  std::vector<png_bytep> pointers(height);
  for (uint32_t y = 0; y < height; ++y) pointers[y] = rows->data() + static_cast<size_t>(y) * width * 4;
  png_read_image(png, pointers.data());
  png_fixed_point gamma = 0;
  png_get_gAMA_fixed(png, info, &gamma);
  const auto table = PngGammaTable(static_cast<uint32_t>(gamma));
  *result = QImage(static_cast<int>(width), static_cast<int>(height), QImage::Format_ARGB32);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* p = pointers[y] + x * 4;
      result->setPixel(static_cast<int>(x), static_cast<int>(y),
                       qRgba(table[p[0]], table[p[1]], table[p[2]], p[3]));
    }
  }
  png_destroy_read_struct(&png, &info, nullptr);
  QImage out = *result;
  delete result;
  delete rows;
  return out;
}

QStringList SuiteFiles() {
  QDir dir(QStringLiteral(ORVELLE_TEST_DATA "/pngsuite"));
  return dir.entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
}

TEST(PngSuite, EveryValidFileMatchesTheReferenceDecode) {
  const QStringList files = SuiteFiles();
  ASSERT_GT(files.size(), 150);
  for (const QString& name : files) {
    if (name.startsWith(QLatin1Char('x'))) continue;
    SCOPED_TRACE(name.toStdString());
    const QByteArray file = test::ReadTestFile("pngsuite/" + name.toStdString());
    PngGraphic graphic;
    ASSERT_NO_THROW(graphic.LoadFromBytes(file));
    const QImage expected = ReferenceDecode(file);
    ASSERT_FALSE(expected.isNull());
    ASSERT_EQ(graphic.Width(), expected.width());
    ASSERT_EQ(graphic.Height(), expected.height());
    const QImage actual = graphic.ToImage();
    int mismatches = 0;
    for (int y = 0; y < expected.height() && mismatches < 3; ++y)
      for (int x = 0; x < expected.width() && mismatches < 3; ++x)
        if (actual.pixel(x, y) != expected.pixel(x, y)) {
          ++mismatches;
          ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << actual.pixel(x, y) << " expected "
                        << expected.pixel(x, y);
        }
  }
}

const char* const kSignatureText =
    "The file being read is not a valid \"Portable Network Graphics\" image because it contains an invalid header. "
    "This file may be corrupted, try obtaining it again";
const char* const kCrcText =
    "This \"Portable Network Graphics\" image is not valid because it contains invalid pieces of data (crc error)";
const char* const kColorTypeText =
    "This \"Portable Network Graphics\" image uses an unknown color type which could not be decoded.";
const char* const kNoDataText = "This \"Portable Network Graphics\" image contains no data.";

TEST(PngSuite, EveryBrokenFileFailsWithAMessage) {
  const std::map<QString, QString> known = {
      {"xs1n0g01.png", kSignatureText}, {"xs2n0g01.png", kSignatureText}, {"xs4n0g01.png", kSignatureText},
      {"xs7n0g01.png", kSignatureText}, {"xcrn0g04.png", kSignatureText}, {"xlfn0g04.png", kSignatureText},
      {"xhdn0g08.png", kCrcText},       {"xcsn0g01.png", kCrcText},       {"xc1n0g08.png", kColorTypeText},
      {"xc9n2c08.png", kColorTypeText}, {"xdtn0g01.png", kNoDataText},
  };
  int broken = 0;
  for (const QString& name : SuiteFiles()) {
    if (!name.startsWith(QLatin1Char('x'))) continue;
    ++broken;
    SCOPED_TRACE(name.toStdString());
    PngGraphic graphic;
    try {
      graphic.LoadFromBytes(test::ReadTestFile("pngsuite/" + name.toStdString()));
      ADD_FAILURE() << "loaded";
    } catch (const PictureError& error) {
      EXPECT_FALSE(error.Message().isEmpty());
      auto it = known.find(name);
      if (it != known.end()) {
        EXPECT_EQ(error.Message(), it->second);
      }
    }
  }
  EXPECT_EQ(broken, 14);
}

QByteArray Header(uint32_t w, uint32_t h, int depth, int type) {
  QByteArray out = Bytes({0, 0, 0, 0, 0, 0, 0, 0, depth, type, 0, 0, 0});
  for (int i = 0; i < 4; ++i) {
    out[i] = static_cast<char>(w >> (24 - 8 * i));
    out[4 + i] = static_cast<char>(h >> (24 - 8 * i));
  }
  return out;
}

QByteArray GrayRows(int w, int h) {
  QByteArray rows;
  for (int y = 0; y < h; ++y) {
    rows.append('\0');
    for (int x = 0; x < w; ++x) rows.append(static_cast<char>(x * 40 + y));
  }
  return rows;
}

TEST(PngDecoder, ChunkFaultsGiveTheirTexts) {
  const QByteArray ok = PngBuilder().Header(4, 2, 8, 0).Data(GrayRows(4, 2)).End().bytes;
  QByteArray badCrc = ok;
  badCrc[8 + 8 + 3] = 'X';  // a byte of IHDR's data
  QByteArray noEnd = PngBuilder().Header(4, 2, 8, 0).Data(GrayRows(4, 2)).bytes;
  QByteArray cutInChunk = ok.left(ok.size() - 6);
  QByteArray badZlib = PngBuilder().Header(4, 2, 8, 0).Chunk("IDAT", Bytes({0x78, 0x9C, 0xFF, 0xFF, 0xFF})).End().bytes;
  const struct {
    const char* name;
    QByteArray file;
    QString message;
  } cases[] = {
      {"signature", QByteArray("\x89PNG\r\n\x1a\x0b", 8) + ok.mid(8), kSignatureText},
      {"crc", badCrc, kCrcText},
      {"cut inside a chunk", cutInChunk, kCrcText},
      {"no IEND",
       noEnd,
       "This \"Portable Network Graphics\" image is invalid because the decoder found an unexpected end of the file."},
      {"IHDR not first",
       PngBuilder().Chunk("tEXt", "a\0b").Header(4, 2, 8, 0).Data(GrayRows(4, 2)).End().bytes,
       "This \"Portable Network Graphics\" image is not supported or it might be invalid.\r\n(IHDR chunk is not the first)"},
      {"unknown critical chunk",
       PngBuilder().Header(4, 2, 8, 0).Chunk("CRIT", "x").Data(GrayRows(4, 2)).End().bytes,
       "This \"Portable Network Graphics\" image contains an unknown critical part which could not be decoded."},
      {"no IDAT", PngBuilder().Header(4, 2, 8, 0).End().bytes, kNoDataText},
      {"width above 65535",
       PngBuilder().Chunk("IHDR", Header(65536, 1, 8, 0)).Data(GrayRows(4, 2)).End().bytes,
       "This \"Portable Network Graphics\" image is not supported because either its width or height exceeds the "
       "maximum size of 65535 pixels."},
      {"colour type", PngBuilder().Chunk("IHDR", Header(4, 2, 8, 5)).Data(GrayRows(4, 2)).End().bytes, kColorTypeText},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PngGraphic graphic;
    try {
      graphic.LoadFromBytes(c.file);
      ADD_FAILURE() << "loaded";
    } catch (const PictureError& error) {
      EXPECT_EQ(error.Message(), c.message);
    }
  }
  PngGraphic graphic;
  try {
    graphic.LoadFromBytes(badZlib);
    ADD_FAILURE() << "loaded";
  } catch (const PictureError& error) {
    EXPECT_TRUE(error.Message().startsWith(
        "Could not decompress the image because it contains invalid compressed data.\r\n Description: "))
        << error.what();
    EXPECT_GT(error.Message().size(), 90);
  }
}

TEST(PngDecoder, TruncatedImageDataFailsInsteadOfShowingGarbage) {
  QByteArray rows = GrayRows(8, 8);
  uLongf size = compressBound(static_cast<uLong>(rows.size()));
  QByteArray packed(static_cast<qsizetype>(size), '\0');
  compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(rows.constData()),
            static_cast<uLong>(rows.size() / 2), 6);  // only half the rows
  packed.truncate(static_cast<qsizetype>(size));
  const QByteArray file = PngBuilder().Header(8, 8, 8, 0).Chunk("IDAT", packed).End().bytes;
  PngGraphic graphic;
  EXPECT_THROW(graphic.LoadFromBytes(file), PictureError);
}

// RGB rows with every filter type in turn, split over IDAT chunks of 64 KiB as encoders do.
QByteArray FilteredRgbPng(int w, int h) {
  QByteArray rows;
  for (int y = 0; y < h; ++y) {
    rows.append(static_cast<char>(y % 5));
    for (int x = 0; x < w * 3; ++x) rows.append(static_cast<char>((x * 7 + y * 13 + (x * y >> 6)) & 255));
  }
  uLongf size = compressBound(static_cast<uLong>(rows.size()));
  QByteArray packed(static_cast<qsizetype>(size), '\0');
  compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(rows.constData()),
            static_cast<uLong>(rows.size()), 6);
  packed.truncate(static_cast<qsizetype>(size));
  PngBuilder png;
  png.Header(static_cast<uint32_t>(w), static_cast<uint32_t>(h), 8, 2);
  for (qsizetype at = 0; at < packed.size(); at += 65536) png.Chunk("IDAT", packed.mid(at, 65536));
  return png.End().bytes;
}

TEST(PngDecoder, CoverSizedAndLargePicturesMatchTheReferenceDecode) {
  // Covers are inflated whole, pictures above 16 MiB of pixels row by row.
  for (const int side : {300, 2100}) {
    SCOPED_TRACE(side);
    const QByteArray file = FilteredRgbPng(side, side);
    PngGraphic graphic;
    graphic.LoadFromBytes(file);
    EXPECT_EQ(graphic.ToImage(), ReferenceDecode(file));
  }
}

TEST(PngDecoder, EightBitImageDataWithoutItsChecksumStillDecodes) {
  // The pixels are all there; only the stream's closing checksum is missing or wrong.
  const QByteArray packed = qCompress(GrayRows(8, 8)).mid(4);  // qCompress puts a length first
  for (const QByteArray& data : {packed.left(packed.size() - 4), packed.left(packed.size() - 1) + '\x55'}) {
    const QByteArray file = PngBuilder().Header(8, 8, 8, 0).Chunk("IDAT", data).End().bytes;
    PngGraphic graphic;
    graphic.LoadFromBytes(file);
    EXPECT_EQ(graphic.ToImage().pixel(3, 2), qRgb(122, 122, 122));
  }
}

TEST(PngDecoder, GammaTableFollowsTheFormula) {
  const auto identity = PngGammaTable(0);
  for (int s = 0; s < 256; ++s) EXPECT_EQ(identity[s], s);
  const auto g = PngGammaTable(100000);  // exponent 1 / 2.2
  EXPECT_EQ(g[0], 0);
  EXPECT_EQ(g[255], 255);
  EXPECT_EQ(g[128], 186);  // 255 * (128/255)^(1/2.2) = 186.42
  EXPECT_EQ(g[10], 59);    // 255 * (10/255)^(1/2.2) = 58.51
  // gAMA 0 would divide by zero; it is treated as absent.
  EXPECT_EQ(PngGammaTable(0)[100], 100);
}

TEST(PngDecoder, GammaAppliesToColourButNotToAlpha) {
  QByteArray rows = Bytes({0, 128, 100});  // one gray + alpha pixel
  QByteArray gama = Bytes({0, 0x01, 0x86, 0xA0});  // 100000
  PngGraphic graphic;
  graphic.LoadFromBytes(PngBuilder().Header(1, 1, 8, 4).Chunk("gAMA", gama).Data(rows).End().bytes);
  EXPECT_EQ(graphic.ToImage().pixel(0, 0), qRgba(186, 186, 186, 100));
}

QByteArray RgbaRows(int w, int h) {
  QByteArray rows;
  for (int y = 0; y < h; ++y) {
    rows.append(static_cast<char>(y % 5));  // every filter type
    for (int x = 0; x < w; ++x) rows.append(Bytes({x * 30, y * 40, (x * y) & 0xFF, x == 0 ? 0 : 60 + x * 20}));
  }
  return rows;
}

TEST(PngDecoder, SaveAndLoadKeepSizeColourTypeAlphaAndAncillaryChunks) {
  const QByteArray gama = Bytes({0, 0, 0xAF, 0xC8});  // 45000
  const QByteArray phys = Bytes({0, 0, 0x0B, 0x13, 0, 0, 0x0B, 0x13, 1});
  const QByteArray file = PngBuilder()
                              .Header(6, 5, 8, 6)
                              .Chunk("gAMA", gama)
                              .Chunk("pHYs", phys)
                              .Chunk("tEXt", QByteArray("Title\0Cover", 11))
                              .Chunk("prVt", "private data")
                              .Data(RgbaRows(6, 5))
                              .Chunk("tIME", Bytes({0x07, 0xEA, 12, 10, 11, 0, 0}))
                              .End()
                              .bytes;
  PngGraphic first;
  first.LoadFromBytes(file);
  QBuffer saved;
  saved.open(QIODevice::ReadWrite);
  first.SaveToStream(saved);
  PngGraphic second;
  second.LoadFromBytes(saved.data());
  EXPECT_EQ(second.Width(), 6);
  EXPECT_EQ(second.Height(), 5);
  EXPECT_EQ(second.Picture().colorType, kPngRgba);
  EXPECT_EQ(second.Picture().gamma, 45000u);
  EXPECT_EQ(second.ToImage(), first.ToImage());
  EXPECT_EQ(qAlpha(second.ToImage().pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(second.ToImage().pixel(5, 0)), 160);
  ASSERT_EQ(second.Picture().ancillary.size(), first.Picture().ancillary.size());
  for (size_t i = 0; i < first.Picture().ancillary.size(); ++i) {
    EXPECT_EQ(second.Picture().ancillary[i].type, first.Picture().ancillary[i].type);
    EXPECT_EQ(second.Picture().ancillary[i].data, first.Picture().ancillary[i].data);
    EXPECT_EQ(second.Picture().ancillary[i].place, first.Picture().ancillary[i].place);
  }
}

TEST(PngDecoder, SaveKeepsPaletteAndColourKeyTransparency) {
  struct Case {
    const char* name;
    QByteArray file;
  };
  QByteArray paletteRows = Bytes({0, 0x01, 0x23, 0, 0x32, 0x10});  // 2 rows of 4 pixels at 4 bits
  QByteArray gray16Rows = Bytes({0, 0x12, 0x34, 0x12, 0x35, 0, 0x12, 0x34, 0x00, 0x00});
  const Case cases[] = {
      {"palette with tRNS", PngBuilder()
                                .Header(4, 2, 4, 3)
                                .Chunk("PLTE", Bytes({255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9}))
                                .Chunk("tRNS", Bytes({0, 128}))
                                .Data(paletteRows)
                                .End()
                                .bytes},
      {"16-bit gray with key", PngBuilder()
                                   .Header(2, 2, 16, 0)
                                   .Chunk("tRNS", Bytes({0x12, 0x34}))
                                   .Data(gray16Rows)
                                   .End()
                                   .bytes},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PngGraphic first;
    first.LoadFromBytes(c.file);
    QBuffer saved;
    saved.open(QIODevice::ReadWrite);
    first.SaveToStream(saved);
    PngGraphic second;
    second.LoadFromBytes(saved.data());
    EXPECT_EQ(second.Picture().colorType, first.Picture().colorType);
    // Colours under full transparency may differ; what is seen may not.
    EXPECT_EQ(second.ToImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
              first.ToImage().convertToFormat(QImage::Format_ARGB32_Premultiplied));
  }
  PngGraphic gray;
  gray.LoadFromBytes(cases[1].file);
  // The key matches 0x1234 exactly, not 0x1235, though both reduce to 0x12.
  EXPECT_EQ(qAlpha(gray.ToImage().pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(gray.ToImage().pixel(1, 0)), 255);
  EXPECT_EQ(qAlpha(gray.ToImage().pixel(0, 1)), 0);
  EXPECT_EQ(qAlpha(gray.ToImage().pixel(1, 1)), 255);
}

}  // namespace
}  // namespace orvelle
