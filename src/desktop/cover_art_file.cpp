#include "desktop/cover_art_file.h"

#include "service/log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

namespace orvelle {

namespace {

// "orvelle" in the user's runtime folder; empty when the user has none (Qt has then logged why).
QString DefaultFolder() {
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (runtime.isEmpty()) {
    qCWarning(lcDesktop) << "No runtime folder: the desktop's player controls show no cover";
    return {};
  }
  return QDir(runtime).filePath(QStringLiteral("orvelle"));
}

bool SavePng(const QImage& image, const QString& path) {
  QSaveFile file(path);
  return file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.commit();
}

}  // namespace

CoverArtFile::CoverArtFile(QString folder) : folder_(folder.isEmpty() ? DefaultFolder() : std::move(folder)) {}

CoverArtFile::~CoverArtFile() { Remove(); }

QString CoverArtFile::Update(const QString& key, const std::function<QImage()>& image) {
  if (key != key_ && !folder_.isEmpty()) {
    key_ = key;
    Remove();
    const QImage cover = image();
    if (!cover.isNull()) {
      const QString path =
          QDir(folder_).filePath(QStringLiteral("cover-%1-%2.png").arg(QCoreApplication::applicationPid()).arg(++saved_));
      if (QDir().mkpath(folder_) && SavePng(cover, path)) {
        path_ = path;
      } else {
        qCWarning(lcDesktop) << "Cannot save the cover for the desktop's player controls as" << path;
      }
    }
  }
  return path_.isEmpty() ? QString() : QUrl::fromLocalFile(path_).toString();
}

void CoverArtFile::Remove() {
  if (path_.isEmpty()) return;
  if (!QFile::remove(path_)) qCDebug(lcDesktop) << "Cannot remove the cover file" << path_;
  path_.clear();
}

}  // namespace orvelle
