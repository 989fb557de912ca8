// GIF decoding: frames, colour tables, transparency, tolerated oddities and error texts.

#include "picture_fixtures.h"
#include "service/picture/gif_graphic.h"
#include "service/picture/picture_error.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace orvelle {
namespace {

using test::Bytes;
using test::GifBuilder;

const std::vector<uint32_t> kColors = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

std::vector<uint8_t> Pattern(int w, int h, int colors) {
  std::vector<uint8_t> out(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) out[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>((x * 7 + y * 3 + x * y) % colors);
  return out;
}

void ExpectFrame(const QImage& image, int left, int top, int w, int h, const std::vector<uint8_t>& indices,
                 const std::vector<uint32_t>& colors) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t expected = 0xFF000000u | colors[indices[static_cast<size_t>(y) * w + x]];
      if (image.pixel(left + x, top + y) != expected) {
        ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << image.pixel(left + x, top + y)
                      << " expected " << expected;
        return;
      }
    }
}

std::unique_ptr<GifGraphic> Load(const QByteArray& bytes) {
  auto graphic = std::make_unique<GifGraphic>();
  graphic->LoadFromBytes(bytes);
  return graphic;
}

TEST(GifDecoder, DecodesFrameVariants) {
  std::vector<uint32_t> many(256);
  for (int i = 0; i < 256; ++i) many[static_cast<size_t>(i)] = static_cast<uint32_t>(i * 0x010203);
  struct Case {
    const char* name;
    const char* signature;
    int w, h;
    bool interlaced;
    bool local;
    int colors;
  } cases[] = {
      {"plain", "GIF89a", 4, 3, false, false, 4},
      {"lower-case signature", "gif89a", 4, 3, false, false, 4},
      {"GIF87a", "GIF87a", 5, 2, false, false, 4},
      {"interlaced", "GIF89a", 5, 11, true, false, 4},
      {"local colour table", "GIF89a", 6, 4, false, true, 4},
      {"256 colours, table refills", "GIF89a", 300, 200, false, false, 256},
      {"interlaced 256 colours", "GIF89a", 61, 37, true, true, 256},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint32_t>& palette = c.colors == 256 ? many : kColors;
    const auto indices = Pattern(c.w, c.h, c.colors);
    GifBuilder builder(c.w, c.h, c.local ? std::vector<uint32_t>{} : palette, 0, c.signature);
    builder.Image(0, 0, c.w, c.h, indices, c.local ? palette : std::vector<uint32_t>{}, c.interlaced).Trailer();
    auto graphic = Load(builder.bytes);
    EXPECT_EQ(graphic->Width(), c.w);
    EXPECT_EQ(graphic->Height(), c.h);
    ASSERT_EQ(graphic->Frames().size(), 1u);
    ExpectFrame(graphic->ToImage(), 0, 0, c.w, c.h, indices, palette);
  }
}

TEST(GifDecoder, FullTableWithoutClearKeepsTwelveBitCodes) {
  const int w = 256, h = 256;
  std::vector<uint8_t> indices(static_cast<size_t>(w) * h);
  uint32_t state = 12345;
  for (auto& i : indices) {
    state = state * 1103515245u + 12345u;
    i = static_cast<uint8_t>((state >> 16) & 15);
  }
  std::vector<uint32_t> colors(16);
  for (int i = 0; i < 16; ++i) colors[static_cast<size_t>(i)] = static_cast<uint32_t>(i * 0x0F0F0F);
  GifBuilder builder(w, h, colors);
  builder.bytes.append(Bytes({',', 0, 0, 0, 0, 0, 1, 0, 1, 0, 4}));
  builder.bytes.append(test::GifLzw(indices, 4, /*clearWhenFull=*/false));
  builder.Trailer();
  ExpectFrame(Load(builder.bytes)->ToImage(), 0, 0, w, h, indices, colors);
}

TEST(GifDecoder, TransparentPixelsShowTheBackgroundWhenConverted) {
  const std::vector<uint8_t> indices = {0, 1, 2, 0};
  GifBuilder builder(4, 4, kColors, /*background=*/3);
  builder.ControlExtension(0).Image(1, 1, 2, 2, indices).Trailer();
  auto graphic = Load(builder.bytes);
  ASSERT_EQ(graphic->Frames().front().transparentIndex, 0);
  const QImage image = graphic->ToImage();
  EXPECT_EQ(image.pixel(0, 0), 0xFFFFFFFFu);  // outside the frame: background (white)
  EXPECT_EQ(image.pixel(1, 1), 0xFFFFFFFFu);  // transparent index
  EXPECT_EQ(image.pixel(2, 1), 0xFF00FF00u);
  EXPECT_EQ(image.pixel(1, 2), 0xFF0000FFu);

  // Drawn on a canvas, the transparent pixels and the rest of the screen stay undrawn.
  QImage canvas(4, 4, QImage::Format_ARGB32);
  canvas.fill(0xFFFF00FFu);
  {
    QPainter painter(&canvas);
    graphic->Draw(painter, QRectF(0, 0, 4, 4));
  }
  EXPECT_EQ(canvas.pixel(0, 0), 0xFFFF00FFu);
  EXPECT_EQ(canvas.pixel(1, 1), 0xFFFF00FFu);
  EXPECT_EQ(canvas.pixel(2, 1), 0xFF00FF00u);

  // With Transparent off, the index is drawn in its colour.
  graphic->SetTransparent(false);
  EXPECT_EQ(graphic->ToImage().pixel(1, 1), 0xFFFF0000u);
}

TEST(GifDecoder, WithoutGlobalTableTheBackgroundIsTheWindowColour) {
  GifBuilder builder(3, 1);
  builder.ControlExtension(1).Image(0, 0, 3, 1, {0, 1, 2}, kColors).Trailer();
  const QImage image = Load(builder.bytes)->ToImage();
  EXPECT_EQ(image.pixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(image.pixel(1, 0), 0xFF000000u | GifGraphic::kSystemWindowColor);
}

TEST(GifDecoder, AnimationLoadsEveryFrameAndShowsTheFirst) {
  GifBuilder builder(2, 2, kColors);
  builder.ControlExtension(-1).Image(0, 0, 2, 2, {0, 0, 0, 0});
  builder.ControlExtension(-1).Image(0, 0, 2, 2, {1, 1, 1, 1});
  builder.ControlExtension(-1).Image(0, 0, 2, 2, {2, 2, 2, 2}).Trailer();
  auto graphic = Load(builder.bytes);
  EXPECT_EQ(graphic->Frames().size(), 3u);
  EXPECT_EQ(graphic->Frames()[2].IndexAt(1, 1), 2);
  EXPECT_FALSE(graphic->Animate());
  EXPECT_TRUE(graphic->Transparent());
  EXPECT_EQ(graphic->ToImage().pixel(1, 1), 0xFFFF0000u);
}

TEST(GifDecoder, ToleratesMissingTrailerZeroBytesAndClosingExtensions) {
  const std::vector<uint8_t> indices = {0, 1, 2, 3};
  struct Case {
    const char* name;
    QByteArray file;
    size_t frames;
  };
  GifBuilder noTrailer(2, 2, kColors);
  noTrailer.Image(0, 0, 2, 2, indices);
  GifBuilder zeros(2, 2, kColors);
  zeros.Raw(Bytes({0, 0, 0})).Comment("hi").Raw(Bytes({0})).Image(0, 0, 2, 2, indices).Raw(Bytes({0, 0})).Trailer();
  GifBuilder closingComment(2, 2, kColors);
  closingComment.Image(0, 0, 2, 2, indices).Comment("made here").Trailer();
  GifBuilder otherByte(2, 2, kColors);
  otherByte.Image(0, 0, 2, 2, indices).Raw("junk");
  const Case cases[] = {
      {"no trailer", noTrailer.bytes, 1},
      {"zero bytes between blocks", zeros.bytes, 1},
      {"comment after the last image", closingComment.bytes, 1},
      {"other byte ends the frames", otherByte.bytes, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto graphic = Load(c.file);
    EXPECT_EQ(graphic->Frames().size(), c.frames);
    ExpectFrame(graphic->ToImage(), 0, 0, 2, 2, indices, kColors);
  }
  auto withComment = Load(zeros.bytes);
  ASSERT_EQ(withComment->Frames()[0].extensions.size(), 1u);
  EXPECT_EQ(withComment->Frames()[0].extensions[0].label, 0xFE);
  EXPECT_EQ(withComment->Frames()[0].extensions[0].data, QByteArray("hi"));
}

TEST(GifDecoder, SignatureIsTriedAgainFourBytesOn) {
  GifBuilder builder(2, 1, kColors);
  builder.Image(0, 0, 2, 1, {1, 2}).Trailer();
  auto graphic = Load(QByteArray("abcd") + builder.bytes);
  EXPECT_EQ(graphic->ToImage().pixel(1, 0), 0xFF0000FFu);
}

TEST(GifDecoder, CutImageDataKeepsWhatWasDecoded) {
  const auto indices = Pattern(40, 40, 4);
  GifBuilder builder(40, 40, kColors);
  builder.Image(0, 0, 40, 40, indices);
  const QByteArray cut = builder.bytes.left(builder.bytes.size() - 20);
  auto graphic = Load(cut);
  ASSERT_EQ(graphic->Frames().size(), 1u);
  EXPECT_GT(graphic->Frames()[0].indices.size(), 40u);
  EXPECT_LT(graphic->Frames()[0].indices.size(), 1600u);
  EXPECT_EQ(graphic->ToImage().pixel(0, 0), 0xFF000000u | kColors[indices[0]]);
}

TEST(GifDecoder, FaultsGiveTheirTexts) {
  GifBuilder good(4, 4, kColors);
  good.Image(0, 0, 4, 4, Pattern(4, 4, 4)).Trailer();
  GifBuilder badCode(2, 2, kColors);
  // Code size 2: clear (4) then code 7, which is not in the table yet.
  badCode.Raw(Bytes({',', 0, 0, 0, 0, 2, 0, 2, 0, 0, 2, 1, 0x3C, 0})).Trailer();
  GifBuilder badIntroducer(2, 2, kColors);
  badIntroducer.Comment("x").Raw("?");
  const struct {
    const char* name;
    QByteArray file;
    const char* message;
  } cases[] = {
      {"not a GIF", QByteArray("PNGxxxxxxxxxxxxxx"), "Invalid GIF signature"},
      {"cut in the screen descriptor", good.bytes.left(9), "Premature end of data"},
      {"cut in the global colour table", good.bytes.left(15), "Premature end of data"},
      {"cut in the image descriptor", good.bytes.left(13 + 12 + 5), "Premature end of data"},
      {"extension not followed by an image", badIntroducer.bytes, "Invalid GIF data"},
      {"code not in the table", badCode.bytes, "Circular decoder table entry"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    GifGraphic graphic;
    try {
      graphic.LoadFromBytes(c.file);
      ADD_FAILURE() << "loaded";
    } catch (const PictureError& error) {
      EXPECT_EQ(error.Message(), QString::fromLatin1(c.message));
    }
  }
}

}  // namespace
}  // namespace orvelle
