#pragma once

#include <QImage>
#include <QString>

#include <functional>

namespace orvelle {

// The current song's cover as a PNG file that desktop widgets can show (an MPRIS art address).
// The file lives in the user's runtime folder, gets a new name at every change so that clients
// holding the old address notice, and is removed when replaced and when this object goes (at
// exit), with the folder when no other file is left in it. A process killed before it could
// remove its file leaves it behind: the next Orvelle removes the files of processes that have
// ended when it starts.
class CoverArtFile {
 public:
  // `folder` empty: "orvelle" in the user's runtime folder; when the user has none, no file is
  // saved (logged once). Removes the cover files in the folder left by processes that have ended.
  explicit CoverArtFile(QString folder = {});
  ~CoverArtFile();
  CoverArtFile(const CoverArtFile&) = delete;
  CoverArtFile& operator=(const CoverArtFile&) = delete;

  // Makes the file show the cover known by `key` (any text that changes with the cover), painting
  // it with `image` only when the key differs from the last one. Returns the file's file:// URL;
  // empty when the image is null or cannot be saved (logged).
  QString Update(const QString& key, const std::function<QImage()>& image);

  // The file's path; empty when there is none.
  const QString& Path() const { return path_; }

 private:
  void Remove();
  void RemoveCoversOfEndedProcesses() const;

  QString folder_;
  QString key_;
  QString path_;
  int saved_ = 0;
};

}  // namespace orvelle
