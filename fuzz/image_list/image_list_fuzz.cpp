// Any bytes load as an image list or fail with an Error. A list that loaded is written back to a
// stream that loads again to the same header values and images, and every image draws, enabled
// and dimmed.
#include "service/error.h"
#include "toolkit/image_list.h"

#include <QPainter>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  orvelle::ImageList list;
  try {
    list.LoadFromStream(bytes);
  } catch (const orvelle::Error&) {
    return 0;
  }

  orvelle::ImageList copy;
  copy.LoadFromStream(list.SaveToStream());
  if (copy.Count() != list.Count() || copy.Width() != list.Width() || copy.Height() != list.Height() ||
      copy.Capacity() != list.Capacity() || copy.GrowBy() != list.GrowBy() ||
      copy.BackgroundColor() != list.BackgroundColor() || copy.Overlays() != list.Overlays()) {
    std::abort();
  }
  for (int index = 0; index < list.Count(); ++index) {
    if (copy.Image(index) != list.Image(index)) std::abort();
  }

  QImage canvas(list.Width() + 2, list.Height() + 2, QImage::Format_ARGB32_Premultiplied);
  canvas.fill(Qt::white);
  QPainter painter(&canvas);
  for (int index = -1; index <= list.Count(); ++index) {
    list.Draw(painter, 1, 1, index, true);
    list.Draw(painter, 1, 1, index, false);
  }
  return 0;
}
