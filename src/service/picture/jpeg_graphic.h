#pragma once

#include "service/picture/graphic.h"

#include <QByteArray>
#include <QRgb>

#include <cstdint>
#include <vector>

namespace orvelle {

// The bitmap a JPEG decodes into: 24-bit RGB, 32-bit CMYK, or 8-bit palette indices.
struct JpegBitmap {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;  // 24, 32 or 8
  size_t stride = 0;     // bytes per row
  QByteArray pixels;  // rows of stride bytes
  std::vector<QRgb> palette;  // 8-bit bitmaps only
  bool invertedCmyk = false;  // CMYK samples stored inverted (Adobe files)
};

// A JPEG picture: all its bytes and its header values; the pixels are decoded the first
// time they are needed (drawing, conversion, copy). Decoding runs through libjpeg.
class JpegGraphic : public Graphic {
 public:
  enum class PixelFormat { Bits24, Bits8 };
  enum class ColorSpace { Unknown, Grayscale, Rgb, YCbCr, Cmyk, Ycck };

  JpegGraphic();

  GraphicKind Kind() const override { return GraphicKind::Jpeg; }
  const char* ClassName() const override { return "JpegGraphic"; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }

  // FF D8 FF, then a byte from E0 to FF (an application or later marker).
  static bool CanLoadFromStream(QIODevice& stream);

  // Keeps every byte and reads the header; a broken header fails with "JPEG error #%d".
  void LoadFromBytes(const QByteArray& bytes) override;
  // Writes the file's bytes.
  void SaveToStream(QIODevice& stream) const override;
  QImage ToImage() const override;
  void Draw(QPainter& painter, const QRectF& target) const override;
  // The copy shares the file bytes and gets a copy of the decoded bitmap; the pixels are
  // decoded first, so an undecodable picture fails the copy.
  std::unique_ptr<Graphic> Clone() const override;

  // Decodes the pixels unless that has been done; fails with "JPEG error #%d".
  void Decode() const;
  bool Decoded() const { return decoded_; }
  const JpegBitmap& Bitmap() const;

  bool Grayscale() const { return colorSpace_ == ColorSpace::Grayscale; }
  bool ProgressiveEncoding() const { return progressive_; }
  ColorSpace JpegColorSpace() const { return colorSpace_; }
  const QByteArray& Data() const { return data_; }

  PixelFormat OutputPixelFormat() const { return pixelFormat_; }
  void SetOutputPixelFormat(PixelFormat format);

  // The output format new graphics start with: 8-bit on screens of 8 bits per pixel or
  // fewer, decided once at program start; 24-bit otherwise.
  static void SetDefaultPixelFormat(PixelFormat format);
  static PixelFormat DefaultPixelFormat();

  // How many colours the quantiser is asked for in 8-bit output.
  static constexpr int kQuantizedColors = 236;
  // Progressive files with more scans than this are refused (each scan costs a pass over
  // the whole picture).
  static constexpr int kMaxScans = 500;

 private:
  QByteArray data_;
  int width_ = 0;
  int height_ = 0;
  ColorSpace colorSpace_ = ColorSpace::Unknown;
  bool progressive_ = false;
  PixelFormat pixelFormat_;
  mutable bool decoded_ = false;
  mutable JpegBitmap bitmap_;
};

}  // namespace orvelle
