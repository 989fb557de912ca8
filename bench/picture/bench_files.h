#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

// The pictures the picture benchmarks decode, made by the reference encoders (libpng, giflib,
// libjpeg) from one photograph-like test picture.
namespace orvelle::bench {

// Smooth shading with texture and a little noise; channels 3 (RGB) or 4 (RGBA, with a round
// opaque middle and translucent corners, like a cover with a cut-out disc).
std::vector<uint8_t> TestPicture(int width, int height, int channels);

enum class PngLayout { Rgb, Rgba, Palette };

// libpng at zlib level 6 with its default filter choice. A palette picture has 256 colours
// and a tRNS entry that makes colour 0 transparent.
QByteArray EncodePng(int width, int height, PngLayout layout, bool interlaced = false);

// One PNG row by row, so that a picture larger than memory's comfort can be made; rows
// come from TestPicture's formula.
QByteArray EncodeLargePng(int width, int height, PngLayout layout);

// giflib, 256 colours; frames > 1 gives an animation whose frames shift the picture.
QByteArray EncodeGif(int width, int height, int frames = 1);

// libjpeg at quality 90, baseline or progressive.
QByteArray EncodeJpeg(int width, int height, bool progressive = false);

// A 24-bit Windows BMP, bottom-up.
QByteArray EncodeBmp(int width, int height);

}  // namespace orvelle::bench
