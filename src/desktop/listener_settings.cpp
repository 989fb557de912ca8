#include "desktop/listener_settings.h"

#include "lyrics/lyrics_font_size.h"
#include "service/log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>

#include <sys/stat.h>

namespace orvelle {

namespace {

constexpr char kChannelKey[] = "channel";
constexpr char kVolumeKey[] = "volume";
constexpr char kMutedKey[] = "muted";
constexpr char kLyricsSizeKey[] = "lyrics_size";
constexpr char kNotifyKey[] = "notify";

// Whether `path` names a regular file (after symbolic links): a folder, a pipe or a device is
// never opened, so that a pipe left in the file's place cannot hold the start up.
bool IsRegularFile(const QString& path) {
  struct stat info {};
  return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

// The value of `key` as one text, as the file writes it (a list "a, b", a group or nothing gives
// nothing), or as the value itself when QSettings still holds what this process wrote.
std::optional<QString> TextValue(const QVariant& value) {
  if (value.typeId() != QMetaType::QString) return std::nullopt;
  return value.toString();
}

bool PrintableText(const QString& text) {
  return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); });
}

std::optional<QString> ChannelValue(const QVariant& value) {
  std::optional<QString> text = TextValue(value);
  if (!text || text->isEmpty() || text->size() > ListenerSettings::kMaxChannelLength || !PrintableText(*text)) {
    return std::nullopt;
  }
  return text;
}

// A whole number, as the file writes it or as this process stored it.
std::optional<int> WholeNumber(const QVariant& value) {
  if (value.typeId() == QMetaType::Int) return value.toInt();
  const std::optional<QString> text = TextValue(value);
  bool ok = false;
  const int number = text ? text->toInt(&ok) : 0;
  if (!ok) return std::nullopt;
  return number;
}

std::optional<int> VolumeValue(const QVariant& value) {
  const std::optional<int> volume = WholeNumber(value);
  if (!volume || *volume < 0 || *volume > ListenerSettings::kMaxVolume) return std::nullopt;
  return volume;
}

std::optional<int> LyricsSizeValue(const QVariant& value) {
  const std::optional<int> pixels = WholeNumber(value);
  if (!pixels || !LyricsFontSize::WithinBounds(*pixels)) return std::nullopt;
  return pixels;
}

std::optional<bool> BooleanValue(const QVariant& value) {
  if (value.typeId() == QMetaType::Bool) return value.toBool();
  const std::optional<QString> text = TextValue(value);
  if (text == QLatin1String("true")) return true;
  if (text == QLatin1String("false")) return false;
  return std::nullopt;
}

// Reads one value into `field`; a value present but unsound is named in `ignored`.
template <class T>
void Take(const QSettings& settings, const char* key, std::optional<T> (*read)(const QVariant&),
          std::optional<T>& field, QStringList& ignored) {
  field = read(settings.value(QLatin1String(key)));
  if (!field && settings.contains(QLatin1String(key))) ignored << QLatin1String(key);
}

}  // namespace

QString ListenerSettings::DefaultPath() {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
      .filePath(QStringLiteral("orvelle/orvelle.conf"));
}

ListenerSettings::ListenerSettings(QString path) : path_(std::move(path)) {
  QStringList ignored_values;
  if (const std::optional<QString> reason = Read(ignored_values)) {
    replace_file_ = true;
    qCWarning(lcDesktop).noquote() << "Settings file" << path_ << "ignored:" << *reason;
  } else if (!ignored_values.isEmpty()) {
    qCWarning(lcDesktop).noquote() << "Settings file" << path_ << "- values ignored:" << ignored_values.join(u", ");
  }
  write_timer_.setSingleShot(true);
  write_timer_.setInterval(kWriteDelayMilliseconds);
  QObject::connect(&write_timer_, &QTimer::timeout, [this] { Write(); });
}

ListenerSettings::~ListenerSettings() { Write(); }

std::optional<QString> ListenerSettings::Read(QStringList& ignored_values) {
  const QFileInfo info(path_);
  if (!info.exists() && !info.isSymLink()) return std::nullopt;  // a first run
  if (!IsRegularFile(path_)) return QStringLiteral("not a regular file");
  if (info.size() > kMaxFileBytes) return QStringLiteral("larger than %1 bytes").arg(kMaxFileBytes);
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly)) return file.errorString();
  const QByteArray bytes = file.read(kMaxFileBytes + 1);
  if (bytes.size() > kMaxFileBytes) return QStringLiteral("larger than %1 bytes").arg(kMaxFileBytes);
  if (bytes.contains('\0')) return QStringLiteral("not a text file");
  const QSettings settings(path_, QSettings::IniFormat);
  switch (settings.status()) {
    case QSettings::NoError:
      break;
    case QSettings::AccessError:
      return QStringLiteral("cannot be read");
    case QSettings::FormatError:
      return QStringLiteral("not an INI file");
  }
  Take(settings, kChannelKey, ChannelValue, channel_, ignored_values);
  Take(settings, kVolumeKey, VolumeValue, volume_, ignored_values);
  Take(settings, kMutedKey, BooleanValue, muted_, ignored_values);
  Take(settings, kLyricsSizeKey, LyricsSizeValue, lyrics_size_, ignored_values);
  Take(settings, kNotifyKey, BooleanValue, notify_, ignored_values);
  return std::nullopt;
}

void ListenerSettings::RememberChannel(const QString& channel_id) {
  Writer().setValue(QLatin1String(kChannelKey), channel_id);
  WriteSoon();
}

void ListenerSettings::RememberVolume(int volume, bool muted) {
  QSettings& writer = Writer();
  writer.setValue(QLatin1String(kVolumeKey), std::clamp(volume, 0, kMaxVolume));
  writer.setValue(QLatin1String(kMutedKey), muted);
  WriteSoon();
}

void ListenerSettings::RememberLyricsSize(int pixels) {
  Writer().setValue(QLatin1String(kLyricsSizeKey), pixels);
  WriteSoon();
}

QSettings& ListenerSettings::Writer() {
  if (!writer_) {
    // QSettings would read the old file again before writing: the ignored one (a pipe, a huge
    // file) goes first. A folder in its place stays, and the write fails (logged).
    const QFileInfo old_file(path_);
    if (replace_file_ && !old_file.isDir() && !QFile::remove(path_)) {
      qCWarning(lcDesktop).noquote() << "Cannot replace the ignored settings file" << path_;
    }
    replace_file_ = false;
    QDir().mkpath(QFileInfo(path_).absolutePath());
    writer_ = std::make_unique<QSettings>(path_, QSettings::IniFormat);
  }
  return *writer_;
}

void ListenerSettings::WriteSoon() {
  if (!write_timer_.isActive()) write_timer_.start();
}

bool ListenerSettings::Write() {
  write_timer_.stop();
  if (!writer_) return true;
  writer_->sync();
  if (writer_->status() == QSettings::NoError) return true;
  if (!write_failure_logged_) {
    write_failure_logged_ = true;
    qCWarning(lcDesktop).noquote() << "Cannot write the settings file" << path_
                                   << "- the listener's choices are not remembered";
  }
  return false;
}

}  // namespace orvelle
