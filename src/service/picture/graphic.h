#pragma once

#include <QByteArray>
#include <QImage>

#include <functional>
#include <memory>

class QIODevice;
class QPainter;
class QRectF;

namespace orvelle {

// The picture formats a container can hold.
enum class GraphicKind { Tiff, Metafile, Icon, Bitmap, Png, Jpeg, OlePicture, Gif };

// A decoded picture of one format. Every kind has a size, a Transparent flag, an empty
// state (0 x 0) and a change notification that its container listens to.
class Graphic {
 public:
  Graphic() = default;
  Graphic(const Graphic&) = delete;
  Graphic& operator=(const Graphic&) = delete;
  virtual ~Graphic();

  virtual GraphicKind Kind() const = 0;
  // The kind's type name, used in conversion messages.
  virtual const char* ClassName() const = 0;

  virtual int Width() const = 0;
  virtual int Height() const = 0;
  bool Empty() const { return Width() <= 0 || Height() <= 0; }

  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);

  // Reads the picture from the stream's position to its end.
  void LoadFromStream(QIODevice& stream);
  // The same from a whole file held in memory.
  virtual void LoadFromBytes(const QByteArray& bytes) = 0;

  // Writes the picture in the kind's own file format. Kinds without an encoder fail with
  // a PictureError.
  virtual void SaveToStream(QIODevice& stream) const;

  // The drawing-ready form: a 32-bit image (QImage::Format_ARGB32) of Width x Height.
  // Kinds with alpha (PNG, icons) keep it; the others are opaque.
  virtual QImage ToImage() const = 0;

  // Draws the picture stretched into the rectangle. The default draws ToImage(). Like
  // ToImage(), it can fail with a PictureError (a JPEG whose pixels do not decode), so
  // painting code catches it.
  virtual void Draw(QPainter& painter, const QRectF& target) const;

  // A new graphic of the same kind holding an independent copy of this picture.
  virtual std::unique_ptr<Graphic> Clone() const = 0;

  // Raised after every change of the picture or of its settings.
  std::function<void()> OnChange;

 protected:
  void Changed();
  void CopyBaseSettingsFrom(const Graphic& other) { transparent_ = other.transparent_; }
  bool transparent_ = false;
};

}  // namespace orvelle
