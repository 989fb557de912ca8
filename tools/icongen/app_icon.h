#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <vector>

// The application icon: a record turning on its spindle, seen from above. It is described once, as
// a few round shapes on a 256-unit canvas, and rendered from that description both as a scalable
// SVG document and as pixel images of any size, so that the two always show the same picture.
namespace orvelle::icongen {

// One shape of the icon, centred on the canvas's centre.
struct IconShape {
  enum class Kind {
    Disc,  // a filled circle of `radius`
    Ring,  // a circle of `radius` stroked `width` wide
    Arc,   // part of a circle of `radius`, stroked `width` wide with round ends, from `start`
           // degrees (0 at three o'clock, clockwise on screen) over `span` degrees
  };
  Kind kind = Kind::Disc;
  double radius = 0;
  double width = 0;
  double start = 0;
  double span = 0;
  QColor colour;
};

inline constexpr double kAppIconCanvas = 256;
// The pixel sizes installed into the hicolor theme beside the scalable one.
inline const std::vector<int> kAppIconSizes = {16, 22, 24, 32, 48, 64, 128, 256};

// The icon's shapes, back to front.
std::vector<IconShape> AppIconShapes();
// The icon as an SVG document of kAppIconCanvas units square.
QString AppIconSvg();
// The icon painted anti-aliased into a transparent square image of `size` pixels.
QImage PaintAppIcon(int size);

}  // namespace orvelle::icongen
