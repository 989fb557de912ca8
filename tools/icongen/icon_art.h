#pragma once

#include <QImage>

#include <vector>

namespace orvelle::icongen {

// One image list as the main window stores it: cell size, the header's capacity and growth step,
// and the images in index order.
struct IconSet {
  int size = 0;
  int capacity = 0;
  int grow_by = 0;
  std::vector<QImage> images;
};

// The transport, lyrics, return, arrow, help and play icons, 24 x 24 times `scale` (the same
// drawing at `scale` times the resolution, for high-density screens).
IconSet PaintLargeIcons(int scale = 1);
// The loudspeaker and lyrics font icons, 20 x 20 times `scale`.
IconSet PaintSmallIcons(int scale = 1);

}  // namespace orvelle::icongen
