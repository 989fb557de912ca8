#include "toolkit/image_list.h"

#include "service/error.h"

#include <QFile>
#include <QMetaObject>
#include <QPainter>
#include <QVariant>
#include <QtEndian>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <limits>
#include <set>
#include <vector>

namespace orvelle {
namespace {

// ---------------------------------------------------------------------------------------------
// Raw access to a stream's bytes, by the offsets of the stored form, independent of the reader.

quint16 U16(const QByteArray& bytes, qint64 at) {
  return qFromLittleEndian<quint16>(reinterpret_cast<const uchar*>(bytes.constData()) + at);
}
quint32 U32(const QByteArray& bytes, qint64 at) {
  return qFromLittleEndian<quint32>(reinterpret_cast<const uchar*>(bytes.constData()) + at);
}

// Counts the Changed signals of a list while it lives.
class ChangeCounter {
 public:
  explicit ChangeCounter(ImageList& list)
      : connection_(QObject::connect(&list, &ImageList::Changed, [this] { ++count_; })) {}
  ~ChangeCounter() { QObject::disconnect(connection_); }
  int count() const { return count_; }

 private:
  int count_ = 0;
  QMetaObject::Connection connection_;
};

QByteArray ReadResource(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    ADD_FAILURE() << "cannot open " << path.toStdString();
    return {};
  }
  return file.readAll();
}

// The generated lists: what the header must hold and how the bitmaps are sized.
struct ListExpectation {
  const char* path;
  int count, capacity, grow_by, cell;
  int bitmap_width, bitmap_height;
  // The colour of each image's opaque pixels; the help icon lists its three colours.
  std::vector<std::vector<QRgb>> colours;
  // Index pairs that show the same motif in two colours.
  std::vector<std::pair<int, int>> pairs;
};

constexpr QRgb kHelpRing = 0xFFFC445C;
constexpr QRgb kHelpMark = 0xFFFD8F9E;
constexpr QRgb kHelpDot = 0xFFFF9B56;

// clang-format off
const ListExpectation kLarge{
    ":/icons/transport_icons.imagelist", /*count*/ 13, /*capacity*/ 96, /*grow_by*/ 104, /*cell*/ 24, /*bitmap*/ 96, 96,
    {{0xFF8A8A8A}, {0xFFE6E6E6},   // skip to next
     {0xFF8A8A8A}, {0xFFE6E6E6},   // pause
     {0xFF505050}, {0xFFDBDBDB},   // lyrics character
     {0xFF505050}, {0xFFDBDBDB},   // return arrow
     {0xFF6F6F6F}, {0xFFDBDBDB},   // thin arrow
     {kHelpRing, kHelpMark, kHelpDot},
     {0xFF6F6F6F}, {0xFFDBDBDB}},  // play
    {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {8, 9}, {11, 12}}};

const ListExpectation kSmall{
    ":/icons/speaker_font_icons.imagelist", /*count*/ 8, /*capacity*/ 32, /*grow_by*/ 32, /*cell*/ 20, /*bitmap*/ 80, 60,
    {{0xFF6F6F6F}, {0xFFDBDBDB},   // muted loudspeaker
     {0xFF6F6F6F}, {0xFFDBDBDB},   // sounding loudspeaker
     {0xFF6F6F6F}, {0xFFDBDBDB},   // A+
     {0xFF6F6F6F}, {0xFFDBDBDB}},  // A-
    {{0, 1}, {2, 3}, {4, 5}, {6, 7}}};
// clang-format on

class GeneratedListTest : public testing::TestWithParam<const ListExpectation*> {
 protected:
  const ListExpectation& Expect() const { return *GetParam(); }
  // Offsets of the two bitmaps inside the stream.
  static constexpr qint64 kColourAt = 28;
  qint64 MaskAt() const { return kColourAt + 54 + qint64(Expect().bitmap_width) * Expect().bitmap_height * 4; }
  qint64 MaskStride() const { return (Expect().bitmap_width + 31) / 32 * 4; }

  // Pixel (x, y) of the colour bitmap, y counted from the top, as stored: B, G, R, A.
  QRgb RawPixel(const QByteArray& bytes, int x, int y) const {
    const qint64 at = kColourAt + 54 + (qint64(Expect().bitmap_height - 1 - y) * Expect().bitmap_width + x) * 4;
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData()) + at;
    return qRgba(p[2], p[1], p[0], p[3]);
  }
  bool RawMaskBit(const QByteArray& bytes, int x, int y) const {
    const qint64 at = MaskAt() + 62 + qint64(Expect().bitmap_height - 1 - y) * MaskStride() + x / 8;
    return (uchar(bytes[at]) >> (7 - x % 8)) & 1;
  }
};

TEST_P(GeneratedListTest, StreamHoldsTheStoredFormFieldByField) {
  const ListExpectation& e = Expect();
  const QByteArray bytes = ReadResource(QString::fromLatin1(e.path));
  const qint64 colour_size = qint64(e.bitmap_width) * e.bitmap_height * 4;
  const qint64 mask_size = MaskStride() * e.bitmap_height;
  ASSERT_EQ(bytes.size(), 28 + 54 + colour_size + 62 + mask_size + 22);

  // Header.
  EXPECT_EQ(U16(bytes, 0), 0x4C49);
  EXPECT_EQ(bytes.left(2), QByteArray("IL"));
  EXPECT_EQ(U16(bytes, 2), 0x0101);
  EXPECT_EQ(U16(bytes, 4), e.count);
  EXPECT_EQ(U16(bytes, 6), e.capacity);
  EXPECT_EQ(U16(bytes, 8), e.grow_by);
  EXPECT_EQ(U16(bytes, 10), e.cell);
  EXPECT_EQ(U16(bytes, 12), e.cell);
  EXPECT_EQ(U32(bytes, 14), 0xFFFFFFFFu);
  EXPECT_EQ(U16(bytes, 18), 0x1021);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(qint16(U16(bytes, 20 + 2 * i)), -1) << "overlay " << i;
  }

  // Colour bitmap headers, then mask bitmap headers and palette: {offset, value}.
  struct Field {
    qint64 at;
    int size;
    qint64 value;
  };
  const qint64 c = kColourAt;
  const qint64 m = MaskAt();
  const Field fields[] = {
      {c + 0, 2, 0x4D42},          {c + 2, 4, 54},
      {c + 6, 4, 0},               {c + 10, 4, 54},
      {c + 14, 4, 40},             {c + 18, 4, e.bitmap_width},
      {c + 22, 4, e.bitmap_height}, {c + 26, 2, 1},
      {c + 28, 2, 32},             {c + 30, 4, 0},
      {c + 34, 4, colour_size},    {c + 38, 4, 0},
      {c + 42, 4, 0},              {c + 46, 4, 0},
      {m + 0, 2, 0x4D42},          {m + 2, 4, 62},
      {m + 6, 4, 0},               {m + 10, 4, 62},
      {m + 14, 4, 40},             {m + 18, 4, e.bitmap_width},
      {m + 22, 4, e.bitmap_height}, {m + 26, 2, 1},
      {m + 28, 2, 1},              {m + 30, 4, 0},
      {m + 34, 4, mask_size},      {m + 38, 4, 0},
      {m + 42, 4, 0},              {m + 54, 4, 0x00000000},
      {m + 58, 4, 0x00FFFFFF},
  };
  for (const Field& f : fields) {
    const qint64 actual = f.size == 2 ? qint64(U16(bytes, f.at)) : qint64(U32(bytes, f.at));
    EXPECT_EQ(actual, f.value) << "at offset " << f.at;
  }
  for (qint64 at = bytes.size() - 22; at < bytes.size(); ++at) {
    EXPECT_EQ(bytes[at], '\0') << "closing byte at " << at;
  }
}

TEST_P(GeneratedListTest, LoadsThroughSourceWithTheHeaderValues) {
  const ListExpectation& e = Expect();
  ImageList list;
  list.SetSource(QString::fromLatin1(e.path));
  EXPECT_EQ(list.Source(), QString::fromLatin1(e.path));
  EXPECT_EQ(list.Count(), e.count);
  EXPECT_EQ(list.Width(), e.cell);
  EXPECT_EQ(list.Height(), e.cell);
  EXPECT_EQ(list.Capacity(), e.capacity);
  EXPECT_EQ(list.GrowBy(), e.grow_by);
  EXPECT_EQ(list.BackgroundColor(), 0xFFFFFFFFu);
  EXPECT_EQ(list.Overlays(), (std::array<std::int16_t, 4>{-1, -1, -1, -1}));
  // Written back, the list gives the same stream.
  EXPECT_EQ(list.SaveToStream(), ReadResource(QString::fromLatin1(e.path)));
}

TEST_P(GeneratedListTest, ImagesHaveTheirColoursOnTransparentGround) {
  const ListExpectation& e = Expect();
  ImageList list;
  list.SetSource(QString::fromLatin1(e.path));
  ASSERT_EQ(list.Count(), e.count);
  for (int index = 0; index < e.count; ++index) {
    SCOPED_TRACE(testing::Message() << e.path << " image " << index);
    const QImage image = list.Image(index);
    ASSERT_EQ(image.size(), QSize(e.cell, e.cell));
    ASSERT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
    const std::vector<QRgb>& colours = e.colours[index];
    std::set<QRgb> opaque_colours;
    int opaque = 0, covered = 0, stray = 0;
    for (int y = 0; y < e.cell; ++y) {
      for (int x = 0; x < e.cell; ++x) {
        const QRgb p = image.pixel(x, y);
        const int a = qAlpha(p);
        if (a == 0) {
          EXPECT_EQ(p, 0u) << "transparent pixel with colour at " << x << "," << y;
          continue;
        }
        ++covered;
        if (a == 255) {
          ++opaque;
          opaque_colours.insert(p);
        }
        // Every drawn pixel, anti-aliased edges included, is one of the colours premultiplied by
        // its alpha (to rounding): no blend of two colours and no stray colour.
        bool matches = false;
        for (const QRgb colour : colours) {
          matches |= std::abs(qRed(p) - qRed(colour) * a / 255.0) <= 1.0 &&
                     std::abs(qGreen(p) - qGreen(colour) * a / 255.0) <= 1.0 &&
                     std::abs(qBlue(p) - qBlue(colour) * a / 255.0) <= 1.0;
        }
        stray += matches ? 0 : 1;
      }
    }
    EXPECT_EQ(stray, 0) << "pixels off the image's colours";
    EXPECT_EQ(opaque_colours, std::set<QRgb>(colours.begin(), colours.end()))
        << "the opaque pixels must show exactly the image's colours";
    // A glyph, not a speck and not a filled cell.
    EXPECT_GE(opaque, e.cell);
    EXPECT_LE(covered, e.cell * e.cell * 3 / 4);
  }
}

TEST_P(GeneratedListTest, PairsShareTheirMotifAndMotifsDiffer) {
  const ListExpectation& e = Expect();
  ImageList list;
  list.SetSource(QString::fromLatin1(e.path));
  const auto alpha = [&](int index) {
    std::vector<int> values;
    const QImage image = list.Image(index);
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        values.push_back(qAlpha(image.pixel(x, y)));
      }
    }
    return values;
  };
  for (const auto& [normal, hot] : e.pairs) {
    EXPECT_EQ(alpha(normal), alpha(hot)) << "images " << normal << " and " << hot;
    EXPECT_NE(list.Image(normal), list.Image(hot));
  }
  // One image of each motif: no two alike.
  std::vector<int> motifs;
  for (int index = 0; index < e.count; ++index) {
    const bool second_of_pair =
        std::any_of(e.pairs.begin(), e.pairs.end(), [&](const auto& pair) { return pair.second == index; });
    if (!second_of_pair) {
      motifs.push_back(index);
    }
  }
  for (size_t i = 0; i < motifs.size(); ++i) {
    for (size_t j = i + 1; j < motifs.size(); ++j) {
      const std::vector<int> a = alpha(motifs[i]);
      const std::vector<int> b = alpha(motifs[j]);
      int differing = 0;
      for (size_t k = 0; k < a.size(); ++k) {
        differing += std::abs(a[k] - b[k]) > 128 ? 1 : 0;
      }
      EXPECT_GE(differing, 8) << "motifs of images " << motifs[i] << " and " << motifs[j];
    }
  }
}

TEST_P(GeneratedListTest, BitmapsLayCellsFourToARowWithMaskAgreeingWithAlpha) {
  const ListExpectation& e = Expect();
  const QByteArray bytes = ReadResource(QString::fromLatin1(e.path));
  ImageList list;
  list.LoadFromStream(bytes);
  const int columns = e.bitmap_width / e.cell;
  ASSERT_EQ(columns, 4);
  const int cells = columns * (e.bitmap_height / e.cell);
  for (int cell = 0; cell < cells; ++cell) {
    SCOPED_TRACE(testing::Message() << e.path << " cell " << cell);
    const int left = cell % columns * e.cell;
    const int top = cell / columns * e.cell;
    const QImage image = list.Image(cell);
    const QImage mask = list.Mask(cell);
    EXPECT_EQ(image.isNull(), cell >= e.count);
    int mismatches = 0;
    for (int y = 0; y < e.cell; ++y) {
      for (int x = 0; x < e.cell; ++x) {
        const QRgb raw = RawPixel(bytes, left + x, top + y);
        const bool mask_bit = RawMaskBit(bytes, left + x, top + y);
        if (cell >= e.count) {
          // Empty cells are fully transparent.
          mismatches += raw == 0 && mask_bit ? 0 : 1;
          continue;
        }
        // Premultiplied, the reader hands out the stored pixel, and a set mask bit is alpha 0.
        mismatches += qRed(raw) <= qAlpha(raw) && qGreen(raw) <= qAlpha(raw) && qBlue(raw) <= qAlpha(raw) ? 0 : 1;
        mismatches += image.pixel(x, y) == raw ? 0 : 1;
        mismatches += mask_bit == (qAlpha(raw) == 0) ? 0 : 1;
        mismatches += mask.pixelIndex(x, y) == int(mask_bit) ? 0 : 1;
      }
    }
    EXPECT_EQ(mismatches, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(IconSets, GeneratedListTest, testing::Values(&kLarge, &kSmall),
                         [](const auto& info) { return info.param == &kLarge ? "il2" : "il1"; });

// ---------------------------------------------------------------------------------------------
// Streams built by hand, field by field, from the stored form.

struct BitmapFields {
  QByteArray magic = "BM";
  quint32 file_size_field = 0;
  quint32 pixel_offset = 0;
  quint32 info_size = 40;
  qint32 width = 0;
  qint32 height = 0;
  quint16 planes = 1;
  quint16 bits = 32;
  quint32 compression = 0;
  quint32 image_size = 0;
  quint32 colors_used = 0;
  QByteArray palette;
  QByteArray pixels;
};

struct StreamFields {
  QByteArray magic = "IL";
  quint16 version = 0x0101;
  quint16 count = 0;
  quint16 capacity = 0;
  quint16 grow_by = 0;
  quint16 cell_width = 0;
  quint16 cell_height = 0;
  quint32 background = 0xFFFFFFFF;
  quint16 flags = 0x1021;
  std::array<qint16, 4> overlays{-1, -1, -1, -1};
  BitmapFields colour;
  bool with_mask = true;
  BitmapFields mask;
  int trailer = 22;

  QByteArray Bytes() const {
    QByteArray out;
    const auto u16 = [&](quint16 v) {
      uchar b[2];
      qToLittleEndian(v, b);
      out.append(reinterpret_cast<const char*>(b), 2);
    };
    const auto u32 = [&](quint32 v) {
      uchar b[4];
      qToLittleEndian(v, b);
      out.append(reinterpret_cast<const char*>(b), 4);
    };
    const auto bitmap = [&](const BitmapFields& f) {
      out.append(f.magic);
      u32(f.file_size_field);
      u32(0);
      u32(f.pixel_offset);
      u32(f.info_size);
      u32(quint32(f.width));
      u32(quint32(f.height));
      u16(f.planes);
      u16(f.bits);
      u32(f.compression);
      u32(f.image_size);
      u32(0);
      u32(0);
      u32(f.colors_used);
      u32(0);
      out.append(f.palette);
      out.append(f.pixels);
    };
    out.append(magic);
    for (const quint16 v : {version, count, capacity, grow_by, cell_width, cell_height}) {
      u16(v);
    }
    u32(background);
    u16(flags);
    for (const qint16 v : overlays) {
      u16(quint16(v));
    }
    bitmap(colour);
    if (with_mask) {
      bitmap(mask);
    }
    out.append(trailer, '\0');
    return out;
  }
};

// The fixture's images: 2 x 3 cells (not square, to catch swapped axes), five of them, so that
// the bitmap has two rows of four cells and the fifth image starts the second row. Every pixel
// differs; colours are premultiplied; the fifth image has one transparent pixel.
constexpr int kCellW = 2;
constexpr int kCellH = 3;
constexpr int kImages = 5;

QRgb FixturePixel(int image, int x, int y) {
  if (image == 4 && x == 0 && y == 0) {
    return 0;
  }
  const int a = 15 + (image * 6 + y * 2 + x) * 8;
  return qRgba(a * (x + 1) / 2, a * (y + 1) / 3, std::min(image * 10, a), a);
}

// The fixture as a stream; with `top_down` the colour bitmap is stored top row first.
StreamFields FixtureStream(bool top_down = false) {
  constexpr int width = 4 * kCellW;
  constexpr int height = 2 * kCellH;
  StreamFields s;
  s.count = kImages;
  s.capacity = 8;
  s.grow_by = 4;
  s.cell_width = kCellW;
  s.cell_height = kCellH;
  s.colour.file_size_field = s.colour.pixel_offset = 54;
  s.colour.width = width;
  s.colour.height = top_down ? -height : height;
  s.colour.image_size = width * height * 4;
  s.mask.file_size_field = s.mask.pixel_offset = 62;
  s.mask.width = width;
  s.mask.height = height;
  s.mask.bits = 1;
  s.mask.image_size = 4 * height;  // 8 bits padded to a 4-byte row
  s.mask.palette = QByteArray("\0\0\0\0\xFF\xFF\xFF\0", 8);
  for (int row = 0; row < height; ++row) {
    const int y = top_down ? row : height - 1 - row;
    QByteArray mask_row(4, '\0');
    for (int x = 0; x < width; ++x) {
      const int image = y / kCellH * 4 + x / kCellW;
      const QRgb p = image < kImages ? FixturePixel(image, x % kCellW, y % kCellH) : 0;
      const char bgra[4] = {char(qBlue(p)), char(qGreen(p)), char(qRed(p)), char(qAlpha(p))};
      s.colour.pixels.append(bgra, 4);
      if (qAlpha(p) == 0) {
        mask_row[x / 8] = char(uchar(mask_row[x / 8]) | (0x80 >> (x % 8)));
      }
    }
    // The mask stays bottom row first, as the writer stores it.
    if (top_down) {
      s.mask.pixels.prepend(mask_row);
    } else {
      s.mask.pixels.append(mask_row);
    }
  }
  return s;
}

void ExpectFixtureImages(const ImageList& list) {
  ASSERT_EQ(list.Count(), kImages);
  EXPECT_EQ(list.Width(), kCellW);
  EXPECT_EQ(list.Height(), kCellH);
  for (int image = 0; image < kImages; ++image) {
    ASSERT_EQ(list.Image(image).size(), QSize(kCellW, kCellH));
    for (int y = 0; y < kCellH; ++y) {
      for (int x = 0; x < kCellW; ++x) {
        EXPECT_EQ(list.Image(image).pixel(x, y), FixturePixel(image, x, y))
            << "image " << image << " at " << x << "," << y;
        EXPECT_EQ(list.Mask(image).pixelIndex(x, y), FixturePixel(image, x, y) == 0 ? 1 : 0)
            << "mask of image " << image << " at " << x << "," << y;
      }
    }
  }
}

TEST(ImageListStream, ReadsHandBuiltStreams) {
  struct Case {
    const char* name;
    std::function<void(StreamFields&)> change;
  };
  const Case cases[] = {
      {"bottom row first", [](StreamFields&) {}},
      {"top row first", [](StreamFields& s) { s = FixtureStream(true); }},
      {"without a mask bitmap", [](StreamFields& s) { s.with_mask = false, s.flags = 0x1020; }},
      {"image size field left zero", [](StreamFields& s) { s.colour.image_size = 0, s.mask.image_size = 0; }},
      {"mask palette counted", [](StreamFields& s) { s.mask.colors_used = 2; }},
      {"gap before the pixels",
       [](StreamFields& s) { s.colour.pixel_offset += 6, s.colour.pixels.prepend(QByteArray(6, 'x')); }},
      {"bytes after the closing zeros", [](StreamFields& s) { s.trailer += 5; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StreamFields fields = FixtureStream();
    c.change(fields);
    ImageList list;
    list.LoadFromStream(fields.Bytes());
    ExpectFixtureImages(list);
  }
}

TEST(ImageListStream, WriterProducesTheStoredFormByteForByte) {
  ImageList list;
  list.SetWidth(kCellW);
  list.SetHeight(kCellH);
  list.SetCapacity(8);
  list.SetGrowBy(4);
  for (int image = 0; image < kImages; ++image) {
    QImage cell(kCellW, kCellH, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < kCellH; ++y) {
      for (int x = 0; x < kCellW; ++x) {
        cell.setPixel(x, y, FixturePixel(image, x, y));
      }
    }
    EXPECT_EQ(list.Add(cell), image);
  }
  EXPECT_EQ(list.SaveToStream(), FixtureStream().Bytes());
}

TEST(ImageListStream, RoundTripsEveryFillOfTheLastRow) {
  // 0, 3, 4 and 5 images: an empty list, a part row, a full row (the writer then adds a row) and
  // one image into the next row; odd, non-square cells; every alpha from 0 to 255.
  for (const int count : {0, 3, 4, 5}) {
    SCOPED_TRACE(testing::Message() << count << " images");
    ImageList list;
    list.SetWidth(7);
    list.SetHeight(5);
    list.SetCapacity(12);
    list.SetGrowBy(3);
    for (int image = 0; image < count; ++image) {
      QImage cell(7, 5, QImage::Format_ARGB32);
      for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
          const int a = (image * 35 + y * 7 + x) * 37 % 256;
          cell.setPixel(x, y, qRgba(x * 36, y * 50, image * 60, a));
        }
      }
      list.Add(cell);  // converted to premultiplied
    }
    const QByteArray stream = list.SaveToStream();
    EXPECT_EQ(U32(stream, 28 + 22), quint32(count / 4 + 1) * 5) << "bitmap rows";
    ImageList copy;
    ChangeCounter changed(copy);
    copy.LoadFromStream(stream);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(copy.Count(), count);
    EXPECT_EQ(copy.Width(), 7);
    EXPECT_EQ(copy.Height(), 5);
    EXPECT_EQ(copy.Capacity(), 12);
    EXPECT_EQ(copy.GrowBy(), 3);
    for (int image = 0; image < count; ++image) {
      EXPECT_EQ(copy.Image(image), list.Image(image)) << "image " << image;
      EXPECT_EQ(copy.Mask(image), list.Mask(image)) << "mask " << image;
    }
    EXPECT_EQ(copy.SaveToStream(), stream);
  }
}

TEST(ImageListStream, WriterRefusesWhatTheReaderWouldRefuse) {
  // Sixteen cells of the largest size fill four rows; the row the writer adds for a further image
  // would take the bitmap past the reader's pixel limit.
  ImageList list;
  list.SetWidth(ImageList::kMaxCellSide);
  list.SetHeight(ImageList::kMaxCellSide);
  QImage cell(ImageList::kMaxCellSide, ImageList::kMaxCellSide, QImage::Format_ARGB32_Premultiplied);
  cell.fill(Qt::transparent);
  for (int image = 0; image < 16; ++image) {
    list.Add(cell);
  }
  ASSERT_GT(qint64(4) * ImageList::kMaxCellSide * 5 * ImageList::kMaxCellSide, ImageList::kMaxBitmapPixels);
  EXPECT_THROW(list.SaveToStream(), Error);
}

TEST(ImageListStream, MalformedStreamsFailCleanlyAndKeepTheList) {
  struct Case {
    const char* name;
    std::function<void(StreamFields&)> change;
    const char* message;
  };
  const Case cases[] = {
      {"wrong magic", [](StreamFields& s) { s.magic = "LI"; }, "\"IL\""},
      {"unknown version", [](StreamFields& s) { s.version = 0x0600; }, "version 0x0600"},
      {"zero cell width", [](StreamFields& s) { s.cell_width = 0; }, "cell size 0 x 3"},
      {"huge cell", [](StreamFields& s) { s.cell_height = 60000; }, "cell size"},
      {"24-bit colour", [](StreamFields& s) { s.flags = 0x1019; }, "colour depth"},
      {"colour bitmap not BM", [](StreamFields& s) { s.colour.magic = "MB"; }, "colour bitmap does not start"},
      {"colour bitmap of 24 bits", [](StreamFields& s) { s.colour.bits = 24; }, "uncompressed 32-bit"},
      {"compressed colour bitmap", [](StreamFields& s) { s.colour.compression = 3; }, "uncompressed 32-bit"},
      {"two planes", [](StreamFields& s) { s.colour.planes = 2; }, "uncompressed 32-bit"},
      {"short information header", [](StreamFields& s) { s.colour.info_size = 12; }, "information header of 12"},
      {"information header past the end", [](StreamFields& s) { s.colour.info_size = 0xFFFFFFF0; },
       "ends inside the colour bitmap header"},
      {"zero height", [](StreamFields& s) { s.colour.height = 0; }, "size 8 x 0"},
      {"lowest height", [](StreamFields& s) { s.colour.height = std::numeric_limits<qint32>::min(); }, "size 8 x"},
      {"negative width", [](StreamFields& s) { s.colour.width = -8; }, "size -8 x"},
      {"image size field wrong", [](StreamFields& s) { s.colour.image_size = 100; }, "image size field"},
      {"pixel offset inside the headers", [](StreamFields& s) { s.colour.pixel_offset = 40; }, "pixel offset"},
      {"pixel offset past the end", [](StreamFields& s) { s.colour.pixel_offset = 1u << 30; },
       "ends inside the colour bitmap"},
      {"bitmap not four cells wide",
       [](StreamFields& s) { s.colour.width = 6, s.colour.image_size = 0; }, "does not hold whole rows"},
      {"bitmap height not whole cells",
       [](StreamFields& s) { s.colour.height = 5, s.colour.image_size = 0; }, "does not hold whole rows"},
      {"more images than cells", [](StreamFields& s) { s.count = 9; }, "9 images do not fit in 8 cells"},
      {"bitmap too large to allocate",
       [](StreamFields& s) {
         s.cell_width = s.cell_height = 1024;
         s.colour.width = 4096, s.colour.height = 8192, s.colour.image_size = 0;
       },
       "colour bitmap is too large"},
      {"large bitmap missing its pixels",
       [](StreamFields& s) {
         s.cell_width = s.cell_height = 1024;
         s.colour.width = 4096, s.colour.height = 4096, s.colour.image_size = 0;
       },
       "ends inside the colour bitmap pixels"},
      {"mask of another size", [](StreamFields& s) { s.mask.width = 16, s.mask.image_size = 0; }, "mask bitmap's size"},
      {"mask of 8 bits", [](StreamFields& s) { s.mask.bits = 8; }, "uncompressed 1-bit"},
      {"mask palette of 3 entries", [](StreamFields& s) { s.mask.colors_used = 3; }, "palette of 3 entries"},
      {"mask flag without a mask", [](StreamFields& s) { s.with_mask = false; }, "mask bitmap does not start"},
      {"no closing bytes", [](StreamFields& s) { s.trailer = 0; }, "ends inside the closing bytes"},
  };
  ImageList list;
  list.SetSource(QStringLiteral(":/icons/speaker_font_icons.imagelist"));
  const QImage first = list.Image(0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StreamFields fields = FixtureStream();
    c.change(fields);
    ChangeCounter changed(list);
    try {
      list.LoadFromStream(fields.Bytes());
      ADD_FAILURE() << "no error";
    } catch (const Error& error) {
      EXPECT_TRUE(error.Message().startsWith(QStringLiteral("Invalid image list stream: ")))
          << error.Message().toStdString();
      EXPECT_TRUE(error.Message().contains(QString::fromLatin1(c.message))) << error.Message().toStdString();
    }
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(list.Count(), 8);
    EXPECT_EQ(list.Width(), 20);
    EXPECT_EQ(list.Source(), QStringLiteral(":/icons/speaker_font_icons.imagelist"));
    EXPECT_EQ(list.Image(0), first);
  }
}

TEST(ImageListStream, EveryTruncationFailsCleanly) {
  // A hand-built stream and a generated one, cut after every byte.
  const QByteArray streams[] = {FixtureStream().Bytes(), ReadResource(QStringLiteral(":/icons/speaker_font_icons.imagelist"))};
  for (const QByteArray& stream : streams) {
    int failures = 0;
    for (qsizetype length = 0; length < stream.size(); ++length) {
      ImageList list;
      try {
        list.LoadFromStream(stream.left(length));
      } catch (const Error& error) {
        failures += error.Message().contains(QStringLiteral("ends inside")) ? 1 : 0;
        continue;
      }
      ADD_FAILURE() << "a stream cut to " << length << " of " << stream.size() << " bytes loaded";
    }
    EXPECT_EQ(failures, stream.size()) << "every cut names the part where the stream ends";
    ImageList whole;
    EXPECT_NO_THROW(whole.LoadFromStream(stream));
  }
}

// ---------------------------------------------------------------------------------------------
// Drawing.

// A one-image list of 3 x 1 pixels: opaque red, half-transparent green, transparent.
class ImageListDrawTest : public testing::Test {
 protected:
  void SetUp() override {
    list_.SetWidth(3);
    list_.SetHeight(1);
    QImage image(3, 1, QImage::Format_ARGB32_Premultiplied);
    image.setPixel(0, 0, qRgba(255, 0, 0, 255));
    image.setPixel(1, 0, qRgba(0, 128, 0, 128));
    image.setPixel(2, 0, qRgba(0, 0, 0, 0));
    list_.Add(image);
  }

  // Draws image `index` at (1, 1) onto a 5 x 3 canvas filled with `ground`.
  QImage DrawOn(QRgb ground, int index, bool enabled) const {
    QImage canvas(5, 3, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(ground);
    QPainter painter(&canvas);
    painter.setOpacity(1.0);
    list_.Draw(painter, 1, 1, index, enabled);
    EXPECT_EQ(painter.opacity(), 1.0) << "drawing leaves the painter as it was";
    painter.end();
    return canvas;
  }

  ImageList list_;
};

TEST_F(ImageListDrawTest, BlendsThroughTheAlphaChannel) {
  const QRgb blue = qRgba(0, 0, 255, 255);
  const QImage canvas = DrawOn(blue, 0, true);
  EXPECT_EQ(canvas.pixel(1, 1), qRgba(255, 0, 0, 255));
  // Half green over blue: 128 green, blue keeps (255 - 128) / 255 of itself.
  const QRgb half = canvas.pixel(2, 1);
  EXPECT_EQ(qAlpha(half), 255);
  EXPECT_EQ(qRed(half), 0);
  EXPECT_NEAR(qGreen(half), 128, 1);
  EXPECT_NEAR(qBlue(half), 127, 1);
  EXPECT_EQ(canvas.pixel(3, 1), blue);
  // Nothing outside the cell.
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      if (y != 1 || x < 1 || x > 3) {
        EXPECT_EQ(canvas.pixel(x, y), blue) << x << "," << y;
      }
    }
  }
}

TEST_F(ImageListDrawTest, DisabledDrawsGreyAtHalfOpacity) {
  const QImage enabled = DrawOn(0, 0, true);
  const QImage disabled = DrawOn(0, 0, false);
  EXPECT_EQ(enabled.pixel(1, 1), qRgba(255, 0, 0, 255));
  for (int x = 1; x <= 3; ++x) {
    const QRgb source = enabled.pixel(x, 1);
    const QRgb dimmed = disabled.pixel(x, 1);
    EXPECT_NEAR(qAlpha(dimmed), qAlpha(source) / 2.0, 1.0) << "pixel " << x;
    EXPECT_EQ(qRed(dimmed), qGreen(dimmed)) << "pixel " << x;
    EXPECT_EQ(qGreen(dimmed), qBlue(dimmed)) << "pixel " << x;
    EXPECT_LE(qRed(dimmed), qAlpha(dimmed)) << "premultiplied, pixel " << x;
  }
  // The grey keeps the luminance of the colour: red is a dark grey, green a middle one.
  EXPECT_NEAR(qRed(qUnpremultiply(disabled.pixel(1, 1))), qGray(255, 0, 0), 3);
  EXPECT_NEAR(qRed(qUnpremultiply(disabled.pixel(2, 1))), qGray(0, 255, 0), 3);
  EXPECT_EQ(disabled.pixel(3, 1), 0u);
}

TEST_F(ImageListDrawTest, NoImageIndexDrawsNothing) {
  const QRgb ground = qRgba(10, 20, 30, 255);
  QImage untouched(5, 3, QImage::Format_ARGB32_Premultiplied);
  untouched.fill(ground);
  for (const int index : {-1, 1, 2, -5, std::numeric_limits<int>::max()}) {
    for (const bool enabled : {true, false}) {
      EXPECT_EQ(DrawOn(ground, index, enabled), untouched) << "index " << index;
    }
    EXPECT_TRUE(list_.Image(index).isNull()) << "index " << index;
    EXPECT_TRUE(list_.Mask(index).isNull()) << "index " << index;
  }
}

// ---------------------------------------------------------------------------------------------
// Properties as a layout writes them.

TEST(ImageListProperties, LayoutCreatesAndFillsTheListByName) {
  QObject owner;
  QObject* object = ImageList::staticMetaObject.newInstance(Q_ARG(QObject*, &owner));
  ASSERT_NE(object, nullptr);
  auto* list = qobject_cast<ImageList*>(object);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->parent(), &owner);
  EXPECT_TRUE(list->setProperty("Width", 24));
  EXPECT_TRUE(list->setProperty("Height", 24));
  EXPECT_TRUE(list->setProperty("Source", QStringLiteral(":/icons/transport_icons.imagelist")));
  EXPECT_EQ(list->Count(), 13);
  EXPECT_EQ(list->property("Width").toInt(), 24);
  EXPECT_EQ(list->property("Source").toString(), QStringLiteral(":/icons/transport_icons.imagelist"));
}

TEST(ImageListProperties, CellSizeChangesEmptyTheList) {
  struct Case {
    const char* name;
    std::function<void(ImageList&)> change;
    int count, width, height;
  };
  const Case cases[] = {
      {"same width", [](ImageList& l) { l.SetWidth(20); }, 8, 20, 20},
      {"same height", [](ImageList& l) { l.SetHeight(20); }, 8, 20, 20},
      {"zero width ignored", [](ImageList& l) { l.SetWidth(0); }, 8, 20, 20},
      {"negative height ignored", [](ImageList& l) { l.SetHeight(-3); }, 8, 20, 20},
      {"oversized width ignored", [](ImageList& l) { l.SetWidth(ImageList::kMaxCellSide + 1); }, 8, 20, 20},
      {"new width", [](ImageList& l) { l.SetWidth(24); }, 0, 24, 20},
      {"new height", [](ImageList& l) { l.SetHeight(16); }, 0, 20, 16},
      {"empty source", [](ImageList& l) { l.SetSource(QString()); }, 0, 20, 20},
      {"another source", [](ImageList& l) { l.SetSource(QStringLiteral(":/icons/transport_icons.imagelist")); }, 13, 24, 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ImageList list;
    list.SetSource(QStringLiteral(":/icons/speaker_font_icons.imagelist"));
    ChangeCounter changed(list);
    c.change(list);
    EXPECT_EQ(list.Count(), c.count);
    EXPECT_EQ(list.Width(), c.width);
    EXPECT_EQ(list.Height(), c.height);
    EXPECT_EQ(changed.count(), c.count == 8 ? 0 : 1);
    EXPECT_EQ(list.Source().isEmpty(), c.count == 0);
  }
}

TEST(ImageListProperties, UnreadableSourceFailsAndKeepsTheList) {
  ImageList list;
  list.SetSource(QStringLiteral(":/icons/transport_icons.imagelist"));
  try {
    list.SetSource(QStringLiteral(":/icons/missing.imagelist"));
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.Message(), QStringLiteral("Cannot read the image list \":/icons/missing.imagelist\""));
  }
  EXPECT_EQ(list.Count(), 13);
  EXPECT_EQ(list.Source(), QStringLiteral(":/icons/transport_icons.imagelist"));
}

TEST(ImageListProperties, AddRefusesImagesOfAnotherSize) {
  ImageList list;
  list.SetWidth(20);
  list.SetHeight(20);
  for (const QSize size : {QSize(24, 24), QSize(20, 19), QSize(0, 0)}) {
    EXPECT_THROW(list.Add(QImage(size, QImage::Format_ARGB32)), Error) << size.width() << "x" << size.height();
  }
  EXPECT_EQ(list.Count(), 0);
  QImage opaque(20, 20, QImage::Format_RGB32);
  opaque.fill(Qt::white);
  EXPECT_EQ(list.Add(opaque), 0);
  EXPECT_EQ(list.Image(0).format(), QImage::Format_ARGB32_Premultiplied);
  EXPECT_EQ(list.Image(0).pixel(5, 5), qRgba(255, 255, 255, 255));
}

}  // namespace
}  // namespace orvelle
