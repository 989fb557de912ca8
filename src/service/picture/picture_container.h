#pragma once

#include "service/picture/graphic.h"

#include <functional>
#include <memory>

class QIODevice;

namespace orvelle {

// The picture of an image control: holds at most one decoded graphic and tells its owner
// after every change.
class PictureContainer {
 public:
  PictureContainer();
  ~PictureContainer();
  PictureContainer(const PictureContainer&) = delete;
  PictureContainer& operator=(const PictureContainer&) = delete;

  // The current graphic, nullptr when there is none.
  ::orvelle::Graphic* Graphic() const { return graphic_.get(); }
  int Width() const;
  int Height() const;

  // Recognises the format of the bytes from the stream's position to its end, decodes
  // them and replaces the graphic. On failure the old graphic stays and the PictureError
  // comes out; an error thrown by OnChange comes out after the graphic was replaced.
  void LoadFromStream(QIODevice& stream);

  // Replaces the graphic by an independent copy of the source's (nullptr: no graphic).
  void Assign(const PictureContainer* source);
  void Assign(const ::orvelle::Graphic* source);

  // Raised after every change of the graphic and whenever the graphic reports a change.
  std::function<void()> OnChange;

 private:
  void Replace(std::unique_ptr<::orvelle::Graphic> graphic);
  void Changed();

  std::unique_ptr<::orvelle::Graphic> graphic_;
};

}  // namespace orvelle
