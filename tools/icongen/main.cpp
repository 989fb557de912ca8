// Draws the main window's two icon sets and writes them as image-list streams:
//   orvelle_icongen OUTPUT_FOLDER [--preview FILE.png]
// writes OUTPUT_FOLDER/speaker_font_icons.imagelist (20 x 20, the loudspeaker and font-size icons)
// and OUTPUT_FOLDER/transport_icons.imagelist (24 x 24, the transport, lyrics, arrow and help
// icons), and the same drawings at twice the resolution for high-density screens,
// speaker_font_icons@2x.imagelist (40 x 40) and transport_icons@2x.imagelist (48 x 48). With
// --preview it also reads both streams back and renders them enlarged, on a dark and a light
// background, into FILE.png for looking at them.
//
// Draws the application icon into an icon theme's folders:
//   orvelle_icongen --app-icon NAME THEME_FOLDER
// writes THEME_FOLDER/scalable/apps/NAME.svg and THEME_FOLDER/SxS/apps/NAME.png for every size S.

#include "app_icon.h"
#include "icon_art.h"
#include "service/error.h"
#include "toolkit/image_list.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QSaveFile>
#include <QString>

#include <cstdio>

namespace {

using orvelle::ImageList;
using orvelle::icongen::IconSet;

QByteArray Stream(const IconSet& set) {
  ImageList list;
  list.SetWidth(set.size);
  list.SetHeight(set.size);
  list.SetCapacity(set.capacity);
  list.SetGrowBy(set.grow_by);
  for (const QImage& image : set.images) {
    list.Add(image);
  }
  return list.SaveToStream();
}

void Write(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    throw orvelle::Error(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
  }
}

// Every image of both lists, read back from their streams, 8 times enlarged: one row per list on
// the window's dark background, the same rows again on white.
void WritePreview(const QString& path, const std::vector<QByteArray>& streams) {
  constexpr int kZoom = 8;
  constexpr int kGap = 4;
  std::vector<std::unique_ptr<ImageList>> lists;
  int width = 0;
  int height = 0;
  for (const QByteArray& bytes : streams) {
    auto list = std::make_unique<ImageList>();
    list->LoadFromStream(bytes);
    width = std::max(width, list->Count() * (list->Width() * kZoom + kGap) + kGap);
    height += list->Height() * kZoom + kGap;
    lists.push_back(std::move(list));
  }
  height += kGap;
  QImage preview(width, 2 * height, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&preview);
  const QColor backgrounds[] = {QColor(0x24, 0x29, 0x30), Qt::white};
  for (int half = 0; half < 2; ++half) {
    painter.fillRect(0, half * height, width, height, backgrounds[half]);
    int y = half * height + kGap;
    for (const auto& list : lists) {
      for (int index = 0; index < list->Count(); ++index) {
        const QImage image = list->Image(index);
        painter.drawImage(QRect(kGap + index * (list->Width() * kZoom + kGap), y, image.width() * kZoom,
                                image.height() * kZoom),
                          image);
      }
      y += list->Height() * kZoom + kGap;
    }
  }
  painter.end();
  if (!preview.save(path)) {
    throw orvelle::Error(QStringLiteral("Cannot write %1").arg(path));
  }
}

void WriteAppIcon(const QString& name, const QString& theme_folder) {
  const QDir theme(theme_folder);
  const auto folder = [&](const QString& size) {
    const QString path = theme.filePath(size + QStringLiteral("/apps"));
    if (!QDir().mkpath(path)) throw orvelle::Error(QStringLiteral("Cannot create %1").arg(path));
    return QDir(path);
  };
  Write(folder(QStringLiteral("scalable")).filePath(name + QStringLiteral(".svg")),
        orvelle::icongen::AppIconSvg().toUtf8());
  for (const int size : orvelle::icongen::kAppIconSizes) {
    const QString path = folder(QStringLiteral("%1x%1").arg(size)).filePath(name + QStringLiteral(".png"));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!orvelle::icongen::PaintAppIcon(size).save(&buffer, "PNG")) {
      throw orvelle::Error(QStringLiteral("Cannot encode %1").arg(path));
    }
    Write(path, png);
  }
}

int AppIconMain(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s --app-icon NAME THEME_FOLDER\n", argv[0]);
    return 2;
  }
  try {
    WriteAppIcon(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "orvelle_icongen: %s\n", error.what());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && QString::fromLocal8Bit(argv[1]) == QLatin1String("--app-icon")) {
    return AppIconMain(argc, argv);
  }
  if (argc != 2 && !(argc == 4 && QString::fromLocal8Bit(argv[2]) == QLatin1String("--preview"))) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER [--preview FILE.png]\n", argv[0]);
    return 2;
  }
  try {
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const std::vector<QByteArray> streams = {Stream(orvelle::icongen::PaintSmallIcons()),
                                             Stream(orvelle::icongen::PaintLargeIcons())};
    Write(folder.filePath(QStringLiteral("speaker_font_icons.imagelist")), streams[0]);
    Write(folder.filePath(QStringLiteral("transport_icons.imagelist")), streams[1]);
    Write(folder.filePath(QStringLiteral("speaker_font_icons@2x.imagelist")), Stream(orvelle::icongen::PaintSmallIcons(2)));
    Write(folder.filePath(QStringLiteral("transport_icons@2x.imagelist")), Stream(orvelle::icongen::PaintLargeIcons(2)));
    if (argc == 4) {
      WritePreview(QString::fromLocal8Bit(argv[3]), streams);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "orvelle_icongen: %s\n", error.what());
    return 1;
  }
  return 0;
}
