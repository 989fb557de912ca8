// JPEG through libjpeg: header at load, pixels on demand, output kinds, cut and broken data.

#include "picture_fixtures.h"
#include "service/picture/jpeg_graphic.h"
#include "service/picture/picture_error.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <jerror.h>

#include <QRegularExpression>

namespace orvelle {
namespace {

// A plain libjpeg decode to 24-bit RGB with its default settings.
std::vector<uint8_t> PlainDecode(const QByteArray& file) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(file.constData()), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  std::vector<uint8_t> out(static_cast<size_t>(cinfo.output_width) * cinfo.output_height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out.data() + static_cast<size_t>(cinfo.output_scanline) * cinfo.output_width * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return out;
}

// A JPEG whose header reads but whose first component uses an undefined quantisation table.
QByteArray UndecodableJpeg() {
  QByteArray file = test::BuildJpeg(16, 16, 3, test::Gradient(16, 16));
  const qsizetype dqt = file.indexOf(QByteArray("\xFF\xDB", 2));
  file[dqt + 4] = 3;
  return file;
}

TEST(JpegDecoder, ReadsTheHeaderAtLoadAndThePixelsWhenNeeded) {
  const QByteArray file = test::BuildJpeg(40, 24, 3, test::Gradient(40, 24), false, 95);
  JpegGraphic graphic;
  graphic.LoadFromBytes(file);
  EXPECT_EQ(graphic.Width(), 40);
  EXPECT_EQ(graphic.Height(), 24);
  EXPECT_FALSE(graphic.Grayscale());
  EXPECT_FALSE(graphic.ProgressiveEncoding());
  EXPECT_FALSE(graphic.Decoded());
  const QImage image = graphic.ToImage();
  EXPECT_TRUE(graphic.Decoded());
  EXPECT_EQ(graphic.Bitmap().bitsPerPixel, 24);
  const std::vector<uint8_t> reference = PlainDecode(file);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 40; ++x) {
      const uint8_t* p = reference.data() + (static_cast<size_t>(y) * 40 + x) * 3;
      ASSERT_EQ(image.pixel(x, y), qRgb(p[0], p[1], p[2])) << x << "," << y;
    }
}

TEST(JpegDecoder, OutputKindFollowsTheColourSpaceAndSetting) {
  struct Case {
    const char* name;
    QByteArray file;
    bool eightBitSetting;
    int bitsPerPixel;
    bool grayscale;
    bool progressive;
  };
  const Case cases[] = {
      {"colour", test::BuildJpeg(16, 16, 3, test::Gradient(16, 16)), false, 24, false, false},
      {"progressive colour", test::BuildJpeg(16, 16, 3, test::Gradient(16, 16), true), false, 24, false, true},
      {"grayscale", test::BuildJpeg(16, 16, 1, test::Gradient(16, 16, 1)), false, 8, true, false},
      {"CMYK", test::BuildJpeg(16, 16, 4, std::vector<uint8_t>(16 * 16 * 4, 255)), false, 32, false, false},
      {"colour, 8-bit setting", test::BuildJpeg(16, 16, 3, test::Gradient(16, 16)), true, 8, false, false},
      {"CMYK, 8-bit setting", test::BuildJpeg(16, 16, 4, std::vector<uint8_t>(16 * 16 * 4, 255)), true, 8, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    JpegGraphic graphic;
    if (c.eightBitSetting) graphic.SetOutputPixelFormat(JpegGraphic::PixelFormat::Bits8);
    graphic.LoadFromBytes(c.file);
    EXPECT_EQ(graphic.Grayscale(), c.grayscale);
    EXPECT_EQ(graphic.ProgressiveEncoding(), c.progressive);
    EXPECT_EQ(graphic.Bitmap().bitsPerPixel, c.bitsPerPixel);
    if (c.bitsPerPixel == 8) {
      EXPECT_GT(graphic.Bitmap().palette.size(), 1u);
      EXPECT_LE(graphic.Bitmap().palette.size(), static_cast<size_t>(JpegGraphic::kQuantizedColors));
    }
    const QImage image = graphic.ToImage();
    ASSERT_EQ(image.size(), QSize(16, 16));
    EXPECT_EQ(qAlpha(image.pixel(5, 5)), 255);
  }
  // CMYK samples of 255 in an Adobe file mean no ink: white.
  JpegGraphic cmyk;
  cmyk.LoadFromBytes(cases[3].file);
  EXPECT_EQ(cmyk.ToImage().pixel(8, 8), qRgb(255, 255, 255));
  // Under the 8-bit setting a CMYK picture keeps its colours through the palette: left half
  // cyan ink only, right half no ink (Adobe files store 255 - ink).
  std::vector<uint8_t> inks(16 * 16 * 4, 255);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 8; ++x) inks[(static_cast<size_t>(y) * 16 + x) * 4] = 0;
  JpegGraphic cmyk8;
  cmyk8.SetOutputPixelFormat(JpegGraphic::PixelFormat::Bits8);
  cmyk8.LoadFromBytes(test::BuildJpeg(16, 16, 4, inks));
  const QImage cmyk8Image = cmyk8.ToImage();
  EXPECT_EQ(cmyk8.Bitmap().bitsPerPixel, 8);
  EXPECT_EQ(cmyk8Image.pixel(3, 8), qRgb(0, 255, 255));
  EXPECT_EQ(cmyk8Image.pixel(12, 8), qRgb(255, 255, 255));
  // Gray levels survive the 8-bit palette closely.
  JpegGraphic gray;
  gray.LoadFromBytes(cases[2].file);
  EXPECT_NEAR(qRed(gray.ToImage().pixel(15, 0)), 255, 4);
  EXPECT_NEAR(qRed(gray.ToImage().pixel(0, 0)), 0, 4);
}

TEST(JpegDecoder, CutFileStillDecodes) {
  const QByteArray file = test::BuildJpeg(64, 64, 3, test::Gradient(64, 64), false, 95);
  for (const bool progressive : {false, true}) {
    SCOPED_TRACE(progressive ? "progressive" : "baseline");
    const QByteArray whole = progressive ? test::BuildJpeg(64, 64, 3, test::Gradient(64, 64), true, 95) : file;
    JpegGraphic graphic;
    graphic.LoadFromBytes(test::CutInLastScan(whole));
    QImage image;
    ASSERT_NO_THROW(image = graphic.ToImage());
    EXPECT_EQ(image.size(), QSize(64, 64));
    // The top-left corner came before the cut.
    EXPECT_NEAR(qRed(image.pixel(1, 1)), 4, 10);
  }
}

TEST(JpegDecoder, FailuresCarryLibjpegsCode) {
  const struct {
    const char* name;
    QByteArray file;
  } loadCases[] = {
      {"empty", QByteArray()},
      {"only the start marker", QByteArray("\xFF\xD8", 2)},
      {"no frame", QByteArray("\xFF\xD8\xFF\xE0\x00\x04" "ab\xFF\xD9", 10)},
  };
  for (const auto& c : loadCases) {
    SCOPED_TRACE(c.name);
    JpegGraphic graphic;
    try {
      graphic.LoadFromBytes(c.file);
      ADD_FAILURE() << "loaded";
    } catch (const PictureError& error) {
      EXPECT_TRUE(QRegularExpression("^JPEG error #\\d+$").match(error.Message()).hasMatch()) << error.what();
    }
  }
  // A broken table loads (header only) and fails when the pixels are made.
  JpegGraphic broken;
  ASSERT_NO_THROW(broken.LoadFromBytes(UndecodableJpeg()));
  EXPECT_EQ(broken.Width(), 16);
  try {
    broken.ToImage();
    ADD_FAILURE() << "decoded";
  } catch (const PictureError& error) {
    EXPECT_EQ(error.Message(), QStringLiteral("JPEG error #%1").arg(JERR_NO_QUANT_TABLE));
  }
  EXPECT_THROW(broken.Clone(), PictureError);
}

// The file with its last scan repeated: each repeat is one more pass over the picture.
QByteArray WithRepeatedLastScan(const QByteArray& jpeg, int repeats) {
  const qsizetype scan = jpeg.lastIndexOf(QByteArray("\xFF\xDA", 2));
  const QByteArray last = jpeg.mid(scan, jpeg.size() - 2 - scan);
  QByteArray out = jpeg.left(jpeg.size() - 2);
  for (int i = 0; i < repeats; ++i) out.append(last);
  return out + QByteArray("\xFF\xD9", 2);
}

TEST(JpegDecoder, ProgressiveFilesWithEndlessScansAreRefused) {
  const QByteArray file = test::BuildJpeg(16, 16, 3, test::Gradient(16, 16), true);
  JpegGraphic few;
  few.LoadFromBytes(WithRepeatedLastScan(file, 3));
  EXPECT_NO_THROW(few.ToImage());
  JpegGraphic many;
  many.LoadFromBytes(WithRepeatedLastScan(file, JpegGraphic::kMaxScans + 10));
  try {
    many.ToImage();
    ADD_FAILURE() << "decoded";
  } catch (const PictureError& error) {
    EXPECT_EQ(error.Message(), QStringLiteral("JPEG error #%1").arg(JMSG_LASTMSGCODE));
  }
}

TEST(JpegDecoder, CopySharesBytesAndCopiesTheBitmap) {
  JpegGraphic source;
  source.LoadFromBytes(test::BuildJpeg(16, 8, 3, test::Gradient(16, 8)));
  auto copy = source.Clone();
  auto* jpeg = dynamic_cast<JpegGraphic*>(copy.get());
  ASSERT_NE(jpeg, nullptr);
  EXPECT_TRUE(source.Decoded());  // decoded for the copy
  EXPECT_TRUE(jpeg->Decoded());
  EXPECT_EQ(jpeg->Data().constData(), source.Data().constData());
  EXPECT_EQ(jpeg->ToImage(), source.ToImage());
}

}  // namespace
}  // namespace orvelle

