#include "desktop/cover_art_file.h"

#include "service/log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QRegularExpression>
#include <QUrl>

#include <cerrno>
#include <limits>

#include <signal.h>

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

// The cover files' names: "cover-<process id>-<count>.png".
const QRegularExpression& CoverFileName() {
  static const QRegularExpression name(QStringLiteral("^cover-(\\d{1,10})-\\d+\\.png$"));
  return name;
}

// Whether a process of that id has ended (kill with no signal finds none). A process of another
// user counts as running.
bool ProcessEnded(qint64 pid) {
  if (pid <= 0 || pid > std::numeric_limits<pid_t>::max()) return true;
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

bool SavePng(const QImage& image, const QString& path) {
  QSaveFile file(path);
  return file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.commit();
}

}  // namespace

CoverArtFile::CoverArtFile(QString folder) : folder_(folder.isEmpty() ? DefaultFolder() : std::move(folder)) {
  RemoveCoversOfEndedProcesses();
}

CoverArtFile::~CoverArtFile() {
  Remove();
  // The folder goes with its last file; another Orvelle's covers keep it (rmdir refuses).
  if (!folder_.isEmpty() && QFileInfo(folder_).isDir()) QDir().rmdir(folder_);
}

void CoverArtFile::RemoveCoversOfEndedProcesses() const {
  if (folder_.isEmpty()) return;
  const QDir folder(folder_);
  for (const QString& name : folder.entryList({QStringLiteral("cover-*.png")}, QDir::Files)) {
    const QRegularExpressionMatch match = CoverFileName().match(name);
    if (!match.hasMatch() || !ProcessEnded(match.captured(1).toLongLong())) continue;
    if (QFile::remove(folder.filePath(name))) {
      qCDebug(lcDesktop) << "Removed the cover file of an Orvelle that ended without removing it:" << name;
    } else {
      qCWarning(lcDesktop) << "Cannot remove the cover file of an ended Orvelle:" << folder.filePath(name);
    }
  }
}

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
