#pragma once

#include "service/picture/graphic.h"

#include <cstdint>
#include <vector>

namespace orvelle {

// An extension block as read: its label and the data of its sub-blocks joined.
struct GifExtension {
  uint8_t label = 0;
  QByteArray data;
};

// One image of a GIF file with the extension blocks that came before it.
struct GifFrame {
  uint16_t left = 0;
  uint16_t top = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  bool interlaced = false;
  std::vector<uint32_t> localColors;  // RGB; empty when the frame has no local table
  // Colour indices in file row order (interlaced frames keep their pass order). Data that
  // ends early leaves the list shorter than width x height; the missing pixels read as 0.
  std::vector<uint8_t> indices;
  std::vector<GifExtension> extensions;
  int transparentIndex = -1;  // from the graphic control extension; -1 when none

  // The colour index of the pixel at (x, y) of the frame, in display order.
  uint8_t IndexAt(int x, int y) const;
};

// A GIF picture: the logical screen, the colour tables and every frame, all decoded at
// load. It never animates: drawing shows the first frame.
class GifGraphic : public Graphic {
 public:
  GifGraphic();

  GraphicKind Kind() const override { return GraphicKind::Gif; }
  const char* ClassName() const override { return "GifGraphic"; }
  int Width() const override { return screenWidth_; }
  int Height() const override { return screenHeight_; }

  // Six bytes are there and the first three, upper-cased, read "GIF".
  static bool CanLoadFromStream(QIODevice& stream);

  void LoadFromBytes(const QByteArray& bytes) override;
  // The logical screen filled with the background colour and the first frame drawn over it.
  QImage ToImage() const override;
  // Draws the first frame; its transparent pixels are left undrawn while Transparent is on.
  void Draw(QPainter& painter, const QRectF& target) const override;
  std::unique_ptr<Graphic> Clone() const override;

  const std::vector<GifFrame>& Frames() const { return frames_; }
  const std::vector<uint32_t>& GlobalColors() const { return globalColors_; }
  int BackgroundIndex() const { return backgroundIndex_; }

  bool Animate() const { return animate_; }
  bool AnimationLoop() const { return animationLoop_; }
  int AnimationSpeed() const { return animationSpeed_; }
  bool Dithering() const { return dithering_; }

  // The colour behind a converted picture when there is no global colour table.
  static constexpr uint32_t kSystemWindowColor = 0xFFFFFF;

 private:
  // The first frame over a screen-sized image; background ARGB fills what it leaves.
  QImage Render(uint32_t background) const;

  int screenWidth_ = 0;
  int screenHeight_ = 0;
  std::vector<uint32_t> globalColors_;
  int backgroundIndex_ = 0;
  std::vector<GifFrame> frames_;
  bool animate_ = false;
  bool animationLoop_ = true;
  int animationSpeed_ = 100;
  bool dithering_ = false;
};

}  // namespace orvelle
