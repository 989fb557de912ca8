// The picture container and the format registry: recognition, load-then-swap, copies and
// change notification.

#include "picture_fixtures.h"
#include "service/picture/format_registry.h"
#include "service/picture/jpeg_graphic.h"
#include "service/picture/metafile_graphic.h"
#include "service/picture/picture_container.h"
#include "service/picture/picture_error.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <optional>

namespace orvelle {
namespace {

using test::Bytes;

QByteArray SmallPng() {
  QByteArray rows;
  for (int y = 0; y < 2; ++y) {
    rows.append('\0');
    for (int x = 0; x < 3; ++x) rows.append(test::Bytes({x * 80, y * 200, 7, 255 - x * 100}));
  }
  return test::PngBuilder().Header(3, 2, 8, 6).Data(rows).End().bytes;
}

QByteArray SmallGif() {
  test::GifBuilder builder(2, 2, {0x112233, 0x445566});
  builder.Image(0, 0, 2, 2, {0, 1, 1, 0}).Trailer();
  return builder.bytes;
}

void Load(PictureContainer& container, const QByteArray& bytes) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  container.LoadFromStream(buffer);
}

QString LoadError(PictureContainer& container, const QByteArray& bytes) {
  try {
    Load(container, bytes);
  } catch (const PictureError& error) {
    return error.Message();
  }
  return QString();
}

TEST(FormatRegistry, ListsTheElevenEntriesInOrder) {
  const struct {
    const char* extension;
    const char* description;
    GraphicKind kind;
  } expected[] = {
      {"tiff", "TIFF Images", GraphicKind::Tiff},
      {"tif", "TIFF Images", GraphicKind::Tiff},
      {"wmf", "Metafiles", GraphicKind::Metafile},
      {"emf", "Enhanced Metafiles", GraphicKind::Metafile},
      {"ico", "Icons", GraphicKind::Icon},
      {"bmp", "Bitmaps", GraphicKind::Bitmap},
      {"png", "Portable Network Graphics", GraphicKind::Png},
      {"jpeg", "JPEG Image File", GraphicKind::Jpeg},
      {"jpg", "JPEG Image File", GraphicKind::Jpeg},
      {"", "", GraphicKind::OlePicture},
      {"gif", "GIF Image", GraphicKind::Gif},
  };
  const auto& formats = PictureFormats();
  ASSERT_EQ(formats.size(), std::size(expected));
  for (size_t i = 0; i < formats.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(formats[i].extension, QLatin1String(expected[i].extension));
    EXPECT_EQ(formats[i].description, QLatin1String(expected[i].description));
    EXPECT_EQ(formats[i].kind, expected[i].kind);
  }
}

QByteArray EmfHeader(int size) {
  QByteArray h(size, '\0');
  h[0] = 1;
  h[40] = 0x20;
  h[41] = 0x45;
  h[42] = 0x4D;
  h[43] = 0x46;
  return h;
}

QByteArray PlaceableHeader(bool goodChecksum) {
  QByteArray h = Bytes({0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0, 0x10, 0, 0x20, 0, 0x60, 0, 0, 0, 0, 0, 0, 0});
  uint16_t sum = 0;
  for (int i = 0; i < 10; ++i) sum ^= static_cast<uint16_t>(static_cast<uint8_t>(h[2 * i]) | (static_cast<uint8_t>(h[2 * i + 1]) << 8));
  if (!goodChecksum) sum ^= 1;
  h[20] = static_cast<char>(sum & 0xFF);
  h[21] = static_cast<char>(sum >> 8);
  return h;
}

TEST(FormatRegistry, RecognisesByLeadingBytesAndRestoresThePosition) {
  const std::optional<GraphicKind> none;
  const struct {
    const char* name;
    QByteArray bytes;
    std::optional<GraphicKind> kind;
  } cases[] = {
      {"GIF", QByteArray("GIF89a"), GraphicKind::Gif},
      {"gif in lower case", QByteArray("gif87a"), GraphicKind::Gif},
      {"GIF with 5 bytes", QByteArray("GIF89"), none},
      {"JPEG with JFIF marker", Bytes({0xFF, 0xD8, 0xFF, 0xE0}), GraphicKind::Jpeg},
      {"JPEG with Exif marker", Bytes({0xFF, 0xD8, 0xFF, 0xE1}), GraphicKind::Jpeg},
      {"JPEG starting with a quantisation table", Bytes({0xFF, 0xD8, 0xFF, 0xDB, 0, 0x43}), none},
      {"PNG", Bytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}), GraphicKind::Png},
      {"nothing left", QByteArray(), GraphicKind::Bitmap},
      {"BM with 14 bytes", QByteArray("BM") + QByteArray(12, '\0'), GraphicKind::Bitmap},
      {"BM with 13 bytes", QByteArray("BM") + QByteArray(11, '\0'), none},
      {"icon 00 00 01 00", Bytes({0, 0, 1, 0, 1, 0}), GraphicKind::Icon},
      {"icon 00 00 00 00", Bytes({0, 0, 0, 0, 0, 0}), GraphicKind::Icon},
      {"cursor 00 00 02 00", Bytes({0, 0, 2, 0, 1, 0}), none},
      {"enhanced metafile", EmfHeader(109), GraphicKind::Metafile},
      {"enhanced metafile of 108 bytes", EmfHeader(108), none},
      {"placeable metafile", PlaceableHeader(true), GraphicKind::Metafile},
      {"placeable metafile, bad checksum", PlaceableHeader(false), none},
      {"TIFF little-endian", Bytes({'I', 'I', 42, 0, 8, 0, 0, 0}), none},
      {"TIFF big-endian", Bytes({'M', 'M', 0, 42, 0, 0, 0, 8}), none},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QBuffer buffer;
    buffer.setData(QByteArray("xyz") + c.bytes);
    buffer.open(QIODevice::ReadOnly);
    buffer.seek(3);
    const PictureFormat* format = FindPictureFormat(buffer);
    EXPECT_EQ(buffer.pos(), 3);
    if (c.kind) {
      ASSERT_NE(format, nullptr);
      EXPECT_EQ(format->kind, *c.kind);
    } else {
      EXPECT_EQ(format, nullptr);
    }
  }
}

TEST(PictureContainer, LoadReplacesTheGraphicAndNotifies) {
  PictureContainer container;
  int changes = 0;
  container.OnChange = [&] { ++changes; };
  EXPECT_EQ(container.Graphic(), nullptr);
  EXPECT_EQ(container.Width(), 0);
  Load(container, SmallPng());
  ASSERT_NE(container.Graphic(), nullptr);
  EXPECT_EQ(container.Graphic()->Kind(), GraphicKind::Png);
  EXPECT_EQ(container.Width(), 3);
  EXPECT_EQ(container.Height(), 2);
  EXPECT_EQ(changes, 1);
  container.Graphic()->SetTransparent(true);  // a change of the graphic itself
  EXPECT_EQ(changes, 2);
  Load(container, QByteArray());  // an empty buffer is an empty bitmap
  EXPECT_EQ(container.Graphic()->Kind(), GraphicKind::Bitmap);
  EXPECT_EQ(container.Width(), 0);
  EXPECT_EQ(changes, 3);
}

TEST(PictureContainer, FailedLoadKeepsTheOldGraphic) {
  QByteArray brokenPng = SmallPng();
  brokenPng[20] = 'X';
  const struct {
    const char* name;
    QByteArray bytes;
    QString message;
  } cases[] = {
      {"unrecognised", QByteArray("hello world, not a picture"), "Unsupported stream format"},
      {"TIFF", Bytes({'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0}), "Unsupported stream format"},
      {"JPEG starting with FF D8 FF DB", Bytes({0xFF, 0xD8, 0xFF, 0xDB, 0, 0x43, 0}), "Unsupported stream format"},
      {"broken PNG", brokenPng,
       "This \"Portable Network Graphics\" image is not valid because it contains invalid pieces of data (crc error)"},
      {"metafile", EmfHeader(200), "Metafile is not valid"},
      {"broken bitmap", QByteArray("BM") + QByteArray(40, '\x01'), "Bitmap image is not valid"},
      {"broken icon", Bytes({0, 0, 1, 0, 0, 0, 9}), "Icon image is not valid"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PictureContainer container;
    Load(container, SmallGif());
    const Graphic* before = container.Graphic();
    int changes = 0;
    container.OnChange = [&] { ++changes; };
    EXPECT_EQ(LoadError(container, c.bytes), c.message);
    EXPECT_EQ(container.Graphic(), before);
    EXPECT_EQ(container.Width(), 2);
    EXPECT_EQ(changes, 0);
  }
}

TEST(PictureContainer, LoadsFromTheStreamPosition) {
  QBuffer buffer;
  buffer.setData(QByteArray("junk") + SmallGif());
  buffer.open(QIODevice::ReadOnly);
  buffer.seek(4);
  PictureContainer container;
  container.LoadFromStream(buffer);
  EXPECT_EQ(container.Graphic()->Kind(), GraphicKind::Gif);
  EXPECT_EQ(container.Graphic()->ToImage().pixel(1, 0), 0xFF445566u);
}

TEST(PictureContainer, ReadsTheStreamToItsEndFromAnyPosition) {
  // From the start a memory buffer's bytes are taken whole; further on they are read.
  for (const int start : {0, 4}) {
    SCOPED_TRACE(start);
    QBuffer buffer;
    buffer.setData(QByteArray(start, 'j') + SmallPng());
    buffer.open(QIODevice::ReadOnly);
    buffer.seek(start);
    PictureContainer container;
    container.LoadFromStream(buffer);
    EXPECT_EQ(container.Graphic()->Kind(), GraphicKind::Png);
    EXPECT_TRUE(buffer.atEnd());
  }
}

TEST(PictureContainer, CopiesAreIndependentOfTheirSource) {
  for (const QByteArray& bytes : {SmallPng(), SmallGif(), test::BuildJpeg(8, 8, 3, test::Gradient(8, 8))}) {
    PictureContainer source;
    Load(source, bytes);
    const QImage original = source.Graphic()->ToImage();
    PictureContainer copy;
    int changes = 0;
    copy.OnChange = [&] { ++changes; };
    copy.Assign(&source);
    EXPECT_EQ(changes, 1);
    ASSERT_NE(copy.Graphic(), nullptr);
    EXPECT_NE(copy.Graphic(), source.Graphic());
    EXPECT_EQ(copy.Graphic()->Kind(), source.Graphic()->Kind());
    source.Graphic()->SetTransparent(!source.Graphic()->Transparent());
    EXPECT_EQ(changes, 1);  // the source's change does not reach the copy
    source.Assign(static_cast<const PictureContainer*>(nullptr));
    EXPECT_EQ(source.Graphic(), nullptr);
    EXPECT_EQ(copy.Graphic()->ToImage(), original);
    copy.Assign(static_cast<const Graphic*>(nullptr));
    EXPECT_EQ(copy.Graphic(), nullptr);
    EXPECT_EQ(changes, 2);
  }
  // The same bytes loaded twice give two graphics.
  PictureContainer a, b;
  Load(a, SmallPng());
  Load(b, SmallPng());
  EXPECT_NE(a.Graphic(), b.Graphic());
  a.Assign(static_cast<const Graphic*>(nullptr));
  EXPECT_EQ(b.Width(), 3);
}

QByteArray UndecodableJpeg() {
  QByteArray file = test::BuildJpeg(16, 16, 3, test::Gradient(16, 16));
  file[file.indexOf(QByteArray("\xFF\xDB", 2)) + 4] = 3;
  return file;
}

TEST(PictureContainer, UndecodableJpegFailsOnlyWhenItsPixelsAreNeeded) {
  // Loaded into a holder that does not convert: no error.
  PictureContainer holder;
  Load(holder, UndecodableJpeg());
  EXPECT_EQ(holder.Width(), 16);
  // Copied into another container: the copy decodes and fails; the target keeps its picture.
  PictureContainer target;
  Load(target, SmallGif());
  const Graphic* before = target.Graphic();
  EXPECT_THROW(target.Assign(&holder), PictureError);
  EXPECT_EQ(target.Graphic(), before);
  // Loaded into a container whose owner converts every new picture: the error comes out
  // of the load, and the container holds the undecodable graphic.
  PictureContainer converting;
  converting.OnChange = [&] {
    if (converting.Graphic()) converting.Graphic()->ToImage();
  };
  try {
    Load(converting, UndecodableJpeg());
    ADD_FAILURE() << "loaded";
  } catch (const PictureError& error) {
    EXPECT_TRUE(error.Message().startsWith("JPEG error #"));
  }
  ASSERT_NE(converting.Graphic(), nullptr);
  EXPECT_EQ(converting.Graphic()->Kind(), GraphicKind::Jpeg);
}

TEST(PictureContainer, CutJpegLoadsAndDraws) {
  const QByteArray file = test::BuildJpeg(48, 48, 3, test::Gradient(48, 48));
  PictureContainer container;
  container.OnChange = [&] { container.Graphic()->ToImage(); };
  Load(container, test::CutInLastScan(file));
  EXPECT_EQ(container.Width(), 48);
}

TEST(MetafileGraphic, CannotBecomeABitmap) {
  MetafileGraphic metafile;
  try {
    metafile.ToImage();
    ADD_FAILURE() << "converted";
  } catch (const PictureError& error) {
    EXPECT_EQ(error.Message(), QStringLiteral("Cannot assign a MetafileGraphic to a BitmapGraphic"));
  }
}

}  // namespace
}  // namespace orvelle
